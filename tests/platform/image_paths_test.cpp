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

// The registry, machine.json and the rest beside the drives belong to the
// emulated machine, not to the program: no link on a drive leads to them.
TEST_F(ImagePathsTest, LinksLeadOnlyOntoTheImagesDrives) {
  namespace fs = std::filesystem;
  machine.WriteRegistry("");
  machine.MakeDirectory("drive_d/data");
  fs::create_directory_symlink(machine.dir(), Image("drive_c/image"));
  fs::create_symlink(Image("registry.reg"), Image("drive_c/registry.reg"));
  fs::create_directory_symlink("../drive_d/data", Image("drive_c/data"));
  const std::string before = machine.ReadFile("registry.reg");

  FileHandle file;
  EXPECT_EQ(CreateFile("C:\\image\\registry.reg", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateFile("C:\\registry.reg", GENERIC_READ, 0, OPEN_EXISTING, 0, &file), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateFile("C:\\image\\drive_c\\x.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetFileAttributes("C:\\image"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteFile("C:\\registry.reg"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(machine.ReadFile("registry.reg"), before);

  // From one drive onto another is a path like any other.
  EXPECT_EQ(CreateFile("C:\\DATA\\y.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), ERROR_SUCCESS);
  EXPECT_TRUE(machine.Exists("drive_d/data/y.txt"));
}

// Names and paths have Windows' limits, in UTF-16 code units, each with
// Windows' code: the program is not long-path aware.
TEST_F(ImagePathsTest, WindowsLimitsOnNamesAndPaths) {
  const std::string longest(255, 'n');
  FileHandle file;
  EXPECT_EQ(CreateFile("C:\\" + longest, GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), ERROR_SUCCESS);
  file.Close();
  EXPECT_EQ(MapPath("C:\\" + longest + "n"), "");
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  // 255 characters of three UTF-8 bytes each are still 255 Windows characters.
  std::string wide;
  for (int i = 0; i < 255; ++i) wide += "\xE2\x82\xAC";  // the euro sign
  EXPECT_NE(MapPath("C:\\" + wide), "");
  EXPECT_EQ(MapPath("C:\\" + wide + "n"), "");

  for (const char* name : {"a?b", "a*b", "a<b", "a>b", "a|b", "a\"b", "a:b", "a\tb"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(CreateFile(std::string("C:\\Windows\\") + name, GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file),
              ERROR_INVALID_NAME);
  }
  EXPECT_TRUE(std::filesystem::is_empty(Image("drive_c/Windows/System32")));

  // MAX_PATH counts the whole path, its terminating NUL included.
  std::string path = "C:";
  while (path.size() < 250) path += "\\dir";
  const std::string fits = path + "\\" + std::string(259 - path.size() - 1, 'f');
  ASSERT_EQ(fits.size(), 259u);
  EXPECT_NE(MapPath(fits), "");
  EXPECT_EQ(MapPath(fits + "f"), "");
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
  // Relative paths count from the current directory.
  EXPECT_EQ(MapPath(std::string(240, 'r')), "");
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
  // A "\\?\" path goes to 32767 characters.
  EXPECT_NE(MapPath("\\\\?\\" + fits + "f"), "");
  std::string verbatim = "\\\\?\\C:";
  while (verbatim.size() < 32767) verbatim += "\\" + std::string(200, 'v');
  EXPECT_EQ(MapPath(verbatim), "");
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

// A deep tree of directories that exist is walked one name at a time.
TEST_F(ImagePathsTest, DeepPathsOfExistingDirectories) {
  std::string windows = "\\\\?\\C:";
  std::string host = "drive_c";
  for (int depth = 0; depth < 1500; ++depth) {
    windows += depth % 2 ? "\\D" : "\\d";  // the odd levels by another case
    host += "/d";
    std::filesystem::create_directory(Image(host));
  }
  FileHandle file;
  EXPECT_EQ(CreateFile(windows + "\\deep.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), ERROR_SUCCESS);
  EXPECT_TRUE(machine.Exists(host + "/deep.txt"));
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
