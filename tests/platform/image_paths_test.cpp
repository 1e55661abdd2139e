// Every path the program forms stays inside the machine image: relative,
// root-relative, other drives, "..", network paths and symbolic links that
// lead out of the image; and what is made there has a careful service's
// modes, and nothing waits on a FIFO.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/system.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

using test::TempMachine;
constexpr DWORD kBadNetPath = 53;

class ImagePathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.WriteMachineJson(R"({"cwd": "C:\\Windows\\System32"})");
    machine.MakeDirectory("drive_c/Windows/System32");
    machine.Use();
  }

  std::string Image(const std::string& relative) const { return machine.Path(relative); }

  TempMachine machine;
  TempMachine outside;  // another directory: nothing may reach it
};

TEST_F(ImagePathsTest, RelativeAndRootRelativePathsStayOnTheCurrentDrive) {
  EXPECT_EQ(MapPath("logs\\x.log"), Image("drive_c/Windows/System32/logs/x.log"));
  EXPECT_EQ(MapPath(".\\x"), Image("drive_c/Windows/System32/x"));
  EXPECT_EQ(MapPath("..\\..\\..\\..\\..\\x"), Image("drive_c/x"));
  EXPECT_EQ(MapPath("\\Temp\\x"), Image("drive_c/Temp/x"));
  EXPECT_EQ(MapPath("/tmp//a\\b/"), Image("drive_c/tmp/a/b"));
  EXPECT_EQ(MapPath("/"), Image("drive_c"));
  EXPECT_EQ(MapPath("C:x"), Image("drive_c/Windows/System32/x"));
  EXPECT_EQ(MapPath("D:x"), Image("drive_d/x"));
  EXPECT_EQ(MapPath("d:\\Data\\..\\..\\x"), Image("drive_d/x"));
  EXPECT_EQ(MapPath("\\\\?\\C:\\Windows"), Image("drive_c/Windows"));
}

TEST_F(ImagePathsTest, NetworkAndDevicePathsAreNotOnThisComputer) {
  for (const char* path : {"\\\\server\\share\\x.log", "//server/share", "\\\\?\\UNC\\server\\share\\x"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(MapPath(path), "");
    EXPECT_EQ(GetLastError(), kBadNetPath);
    FileHandle file;
    EXPECT_EQ(CreateFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), kBadNetPath);
    EXPECT_EQ(MakeDirectory(path), KV_ENOENT);
  }
  EXPECT_EQ(MapPath("\\\\.\\PhysicalDrive0"), "");
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(MapPath(""), "");
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(ImagePathsTest, LinksThatLeaveTheImageAreNotFollowed) {
  namespace fs = std::filesystem;
  fs::create_directory_symlink(outside.dir(), Image("drive_c/out"));
  fs::create_directory_symlink(Image("drive_c/Windows"), Image("drive_c/in"));
  fs::create_symlink(outside.Path("file.txt"), Image("drive_c/dangling.txt"));
  outside.WriteFile("secret.txt", "secret");

  FileHandle file;
  EXPECT_EQ(CreateFile("C:\\out\\new.log", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateFile("C:\\OUT\\secret.txt", GENERIC_READ, 0, OPEN_EXISTING, 0, &file), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateFile("C:\\dangling.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), ERROR_ACCESS_DENIED);
  EXPECT_EQ(MakeDirectory("C:\\out\\logs"), 13);  // EACCES
  EXPECT_EQ(CreateDirectoryTree("C:\\out\\a\\b"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CopyFile("C:\\out\\secret.txt", "C:\\copy.txt", false), ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetFileAttributes("C:\\out"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(outside.Exists("new.log"));
  EXPECT_FALSE(outside.Exists("logs"));
  EXPECT_FALSE(outside.Exists("file.txt"));

  // A link that stays inside is an ordinary path.
  EXPECT_EQ(CreateFile("C:\\in\\System32\\ok.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), ERROR_SUCCESS);
  EXPECT_TRUE(machine.Exists("drive_c/Windows/System32/ok.txt"));
}

TEST_F(ImagePathsTest, ADriveThatIsALinkOutOfTheImageIsNotFollowed) {
  std::filesystem::create_directory_symlink(outside.dir(), Image("drive_e"));
  FileHandle file;
  EXPECT_EQ(CreateFile("E:\\x.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(outside.Exists("x.txt"));
}

TEST_F(ImagePathsTest, FilesAndDirectoriesHaveCarefulModesWhateverTheUmask) {
  const mode_t previous = ::umask(0);
  FileHandle file;
  EXPECT_EQ(CreateFile("C:\\made.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), ERROR_SUCCESS);
  file.Close();
  EXPECT_EQ(MakeDirectory("C:\\made"), 0);
  EXPECT_EQ(CreateDirectoryTree("C:\\tree\\below"), ERROR_SUCCESS);
  std::FILE* stream = OpenStream("C:\\stream.log", "a+");
  ASSERT_NE(stream, nullptr);
  std::fclose(stream);
  machine.WriteFile("drive_c/open.txt", "x");
  ::chmod(Image("drive_c/open.txt").c_str(), 0777);
  EXPECT_EQ(CopyFile("C:\\open.txt", "C:\\copied.txt", false), ERROR_SUCCESS);
  ::umask(previous);

  const auto mode = [&](const std::string& relative) {
    struct stat st {};
    ::stat(Image(relative).c_str(), &st);
    return st.st_mode & 07777;
  };
  EXPECT_EQ(mode("drive_c/made.txt"), 0644u);
  EXPECT_EQ(mode("drive_c/stream.log"), 0644u);
  EXPECT_EQ(mode("drive_c/copied.txt"), 0644u);
  EXPECT_EQ(mode("drive_c/made"), 0755u);
  EXPECT_EQ(mode("drive_c/tree"), 0755u);
  EXPECT_EQ(mode("drive_c/tree/below"), 0755u);
}

TEST_F(ImagePathsTest, AFifoOrADeviceIsNotOpenedAndNothingWaits) {
  ASSERT_EQ(::mkfifo(Image("drive_c/fifo.log").c_str(), 0644), 0);
  const auto start = std::chrono::steady_clock::now();
  FileHandle file;
  EXPECT_EQ(CreateFile("C:\\fifo.log", GENERIC_WRITE, 0, OPEN_ALWAYS, 0, &file), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateFile("C:\\fifo.log", GENERIC_READ, 0, OPEN_EXISTING, 0, &file), ERROR_ACCESS_DENIED);
  EXPECT_EQ(OpenStream("C:\\fifo.log", "a+"), nullptr);
  EXPECT_EQ(CopyFile("C:\\fifo.log", "C:\\copy.log", false), ERROR_ACCESS_DENIED);
  machine.WriteFile("drive_c/plain.log", "x");
  EXPECT_EQ(CopyFile("C:\\plain.log", "C:\\fifo.log", false), ERROR_ACCESS_DENIED);
  std::filesystem::create_symlink("/dev/zero", Image("drive_c/zero"));
  EXPECT_EQ(CreateFile("C:\\zero", GENERIC_READ, 0, OPEN_EXISTING, 0, &file), ERROR_ACCESS_DENIED);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(ImagePathsTest, TheMachinesOwnFilesAreNotFollowedOutOfTheImage) {
  std::filesystem::create_symlink(outside.Path("exit-code"), Image("exit-code"));
  EXPECT_EXIT(ExitProcess(13), ::testing::ExitedWithCode(13), "");
  EXPECT_FALSE(outside.Exists("exit-code"));
}

}  // namespace
}  // namespace kv
