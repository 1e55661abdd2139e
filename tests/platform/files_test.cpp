#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/system.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

using test::TempMachine;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.MakeDirectory("drive_c/Program Files/Kelvane/logs");
    machine.Use();
  }

  std::string Drive(const std::string& relative) const { return machine.Path("drive_c/" + relative); }

  std::vector<std::string> FindAll(const std::string& pattern, DWORD* firstError = nullptr) {
    std::vector<std::string> names;
    FindHandle search;
    std::string name;
    const DWORD error = FindFirstFile(pattern, &search, &name);
    if (firstError) *firstError = error;
    if (error) return names;
    do names.push_back(name);
    while (FindNextFile(search, &name) == 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    return names;
  }

  TempMachine machine;
};

TEST_F(FilesTest, MapPathPutsDrivePathsIntoTheImage) {
  EXPECT_EQ(MapPath("C:\\Program Files\\Kelvane"), Drive("Program Files/Kelvane"));
  // Either separator, repeated separators, a lower-case drive letter.
  EXPECT_EQ(MapPath("c:/Program Files\\\\Kelvane//logs\\"), Drive("Program Files/Kelvane/logs"));
  // Existing components are found without regard to case; missing ones keep theirs.
  EXPECT_EQ(MapPath("C:\\PROGRAM FILES\\kelvane\\Logs\\New.log"), Drive("Program Files/Kelvane/logs/New.log"));
  EXPECT_EQ(MapPath("C:\\Missing\\Deeper"), Drive("Missing/Deeper"));
  // "." and ".." are resolved on the text and stay on the drive.
  EXPECT_EQ(MapPath("C:\\..\\Program Files\\.\\Kelvane\\logs\\.."), Drive("Program Files/Kelvane"));
}

TEST_F(FilesTest, MakeDirectoryResults) {
  EXPECT_EQ(MakeDirectory("C:\\Program Files\\Kelvane\\New"), 0);
  EXPECT_TRUE(machine.Exists("drive_c/Program Files/Kelvane/New"));
  EXPECT_EQ(MakeDirectory("C:\\Program Files\\Kelvane\\New"), KV_EEXIST);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(MakeDirectory("C:\\Nowhere\\New"), KV_ENOENT);
}

TEST_F(FilesTest, CreateFileDispositions) {
  FileHandle file;
  EXPECT_EQ(CreateFile("C:\\Program Files\\missing.txt", GENERIC_READ, 0, OPEN_EXISTING, 0, &file),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(CreateFile("C:\\Nowhere\\missing.txt", GENERIC_READ, 0, OPEN_EXISTING, 0, &file), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(CreateFile("C:\\Nowhere\\missing.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(file.IsOpen());

  machine.WriteFile("drive_c/data.txt", "0123456789");
  EXPECT_EQ(CreateFile("C:\\data.txt", GENERIC_WRITE, 0, CREATE_NEW, 0, &file), ERROR_FILE_EXISTS);
  ASSERT_EQ(CreateFile("C:\\DATA.TXT", GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS, 0, &file), 0u);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  std::int64_t size = -1;
  EXPECT_EQ(file.GetSize(&size), 0u);
  EXPECT_EQ(size, 10);
  file.Close();

  // TRUNCATE_EXISTING empties the file and needs write access.
  EXPECT_EQ(CreateFile("C:\\data.txt", GENERIC_READ, 0, TRUNCATE_EXISTING, 0, &file), ERROR_INVALID_PARAMETER);
  ASSERT_EQ(CreateFile("C:\\data.txt", GENERIC_READ | GENERIC_WRITE, 0, TRUNCATE_EXISTING, 0, &file), 0u);
  EXPECT_EQ(file.GetSize(&size), 0u);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(CreateFile("C:\\gone.txt", GENERIC_WRITE, 0, TRUNCATE_EXISTING, 0, &file), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(CreateFile("C:\\data.txt", GENERIC_READ, 0, 99, 0, &file), ERROR_INVALID_PARAMETER);
}

TEST_F(FilesTest, DirectoriesOpenOnlyWithBackupSemantics) {
  FileHandle dir;
  EXPECT_EQ(CreateFile("C:\\Program Files", GENERIC_READ, 0, OPEN_EXISTING, 0, &dir), ERROR_ACCESS_DENIED);
  ASSERT_EQ(
      CreateFile("C:\\Program Files", GENERIC_READ | GENERIC_WRITE, 7, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, &dir),
      0u);
  std::int64_t size = -1;
  EXPECT_EQ(dir.GetSize(&size), 0u);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(CreateFile("C:\\Program Files", GENERIC_WRITE, 0, TRUNCATE_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, &dir),
            ERROR_ACCESS_DENIED);
}

TEST_F(FilesTest, HandleReadsWritesSeeksAndCuts) {
  FileHandle file;
  ASSERT_EQ(CreateFile("C:\\rw.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), 0u);
  DWORD done = 0;
  EXPECT_EQ(file.Write("hello world", 11, &done), 0u);
  EXPECT_EQ(done, 11u);
  std::int64_t position = -1;
  EXPECT_EQ(file.SetPointer(6, FILE_BEGIN, &position), 0u);
  EXPECT_EQ(position, 6);
  char buffer[16] = {};
  EXPECT_EQ(file.Read(buffer, sizeof buffer, &done), 0u);
  EXPECT_EQ(std::string(buffer, done), "world");
  EXPECT_EQ(file.SetPointer(5, FILE_BEGIN), 0u);
  EXPECT_EQ(file.SetEndOfFile(), 0u);
  EXPECT_EQ(file.Close(), 0u);
  EXPECT_EQ(machine.ReadFile("drive_c/rw.bin"), "hello");
  EXPECT_EQ(file.Close(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(file.Read(buffer, 1, &done), ERROR_INVALID_HANDLE);
}

TEST_F(FilesTest, CopyFileWritesTheDestinationInPlace) {
  machine.WriteFile("drive_c/a.log", "new content");
  machine.WriteFile("drive_c/b.log", "old content that is longer");
  struct stat before {};
  ASSERT_EQ(::stat(Drive("b.log").c_str(), &before), 0);

  EXPECT_EQ(CopyFile("C:\\a.log", "C:\\b.log", true), ERROR_FILE_EXISTS);
  EXPECT_EQ(machine.ReadFile("drive_c/b.log"), "old content that is longer");
  EXPECT_EQ(CopyFile("C:\\a.log", "C:\\b.log", false), 0u);
  EXPECT_EQ(machine.ReadFile("drive_c/b.log"), "new content");
  struct stat after {};
  ASSERT_EQ(::stat(Drive("b.log").c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);

  EXPECT_EQ(CopyFile("C:\\a.log", "C:\\c.log", true), 0u);
  EXPECT_EQ(machine.ReadFile("drive_c/c.log"), "new content");
  EXPECT_EQ(CopyFile("C:\\missing.log", "C:\\d.log", false), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(machine.Exists("drive_c/d.log"));
  EXPECT_EQ(CopyFile("C:\\a.log", "C:\\Nowhere\\d.log", false), ERROR_PATH_NOT_FOUND);
  // A file copied onto itself stays whole.
  EXPECT_EQ(CopyFile("C:\\a.log", "C:\\A.LOG", false), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(machine.ReadFile("drive_c/a.log"), "new content");
  EXPECT_EQ(CopyFile("C:\\Program Files", "C:\\e.log", false), ERROR_ACCESS_DENIED);
}

TEST_F(FilesTest, DeleteMoveAndRemove) {
  machine.WriteFile("drive_c/x.txt", "x");
  machine.WriteFile("drive_c/y.txt", "y");
  EXPECT_EQ(MoveFile("C:\\x.txt", "C:\\y.txt"), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(MoveFile("C:\\x.txt", "C:\\z.txt"), 0u);
  EXPECT_EQ(machine.ReadFile("drive_c/z.txt"), "x");
  EXPECT_EQ(MoveFile("C:\\x.txt", "C:\\w.txt"), ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(DeleteFile("C:\\z.txt"), 0u);
  EXPECT_EQ(DeleteFile("C:\\z.txt"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(DeleteFile("C:\\Program Files"), ERROR_ACCESS_DENIED);

  EXPECT_EQ(RemoveDirectory("C:\\Program Files"), ERROR_DIR_NOT_EMPTY);
  EXPECT_EQ(RemoveDirectory("C:\\y.txt"), ERROR_DIRECTORY);
  EXPECT_EQ(RemoveDirectory("C:\\Program Files\\Kelvane\\logs"), 0u);
  EXPECT_FALSE(machine.Exists("drive_c/Program Files/Kelvane/logs"));

  EXPECT_EQ(GetFileAttributes("C:\\program files"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributes("C:\\y.txt"), 0x20u);  // FILE_ATTRIBUTE_ARCHIVE
  EXPECT_EQ(GetFileAttributes("C:\\none.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// A finished download goes into place by a rename on one volume, and by a
// copy and a delete across volumes.
TEST_F(FilesTest, MoveFileExReplacesFilesOnlyWhenAsked) {
  machine.WriteFile("drive_c/new.bin", "new");
  machine.WriteFile("drive_c/old.bin", "old");
  EXPECT_EQ(MoveFileEx("C:\\new.bin", "C:\\old.bin", 0), ERROR_ALREADY_EXISTS);
  struct stat before {};
  ASSERT_EQ(::stat(Drive("new.bin").c_str(), &before), 0);
  EXPECT_EQ(MoveFileEx("C:\\new.bin", "C:\\old.bin", MOVEFILE_REPLACE_EXISTING), 0u);
  struct stat after {};
  ASSERT_EQ(::stat(Drive("old.bin").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // renamed, not written again
  EXPECT_EQ(machine.ReadFile("drive_c/old.bin"), "new");
  EXPECT_FALSE(machine.Exists("drive_c/new.bin"));
  EXPECT_EQ(MoveFileEx("C:\\old.bin", "C:\\Program Files", MOVEFILE_REPLACE_EXISTING), ERROR_ACCESS_DENIED);
  EXPECT_EQ(MoveFileEx("C:\\none.bin", "C:\\old.bin", MOVEFILE_REPLACE_EXISTING), ERROR_FILE_NOT_FOUND);

  // (A move across volumes cannot be made here: every path lies in the
  // image, on one file system.)
}

TEST_F(FilesTest, FindMatchesWindowsWildcardsWithoutCase) {
  machine.WriteFile("drive_c/logs/KVPrereqHandler.log", "");
  machine.WriteFile("drive_c/logs/kvprereqhandler1.log", "");
  machine.WriteFile("drive_c/logs/kvprereqhandler.txt", "");
  machine.WriteFile("drive_c/logs/other.log", "");
  machine.WriteFile("drive_c/logs/README", "");
  machine.MakeDirectory("drive_c/logs/kvprereqhandler");

  EXPECT_EQ(FindAll("C:\\logs\\kvprereqhandler*.*"),
            (std::vector<std::string>{"kvprereqhandler", "KVPrereqHandler.log", "kvprereqhandler.txt",
                                      "kvprereqhandler1.log"}));
  // "*.*" finds every entry, names without a dot and "." and ".." among them.
  EXPECT_EQ(FindAll("C:\\logs\\*.*").size(), 8u);
  EXPECT_EQ(FindAll("C:\\logs\\*.*").front(), ".");
  EXPECT_EQ(FindAll("C:/LOGS/kvprereqhandler?.LOG"), (std::vector<std::string>{"kvprereqhandler1.log"}));
  EXPECT_EQ(FindAll("C:\\logs\\readme"), (std::vector<std::string>{"README"}));

  DWORD error = 0;
  EXPECT_TRUE(FindAll("C:\\logs\\absent*.*", &error).empty());
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(FindAll("C:\\nowhere\\*.*", &error).empty());
  EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);

  FindHandle none;
  std::string name;
  EXPECT_EQ(none.Number(), -1);
  EXPECT_EQ(FindNextFile(none, &name), ERROR_INVALID_HANDLE);
}

// The machine's own view of where a process stands and what it sees.
TEST_F(FilesTest, CurrentDirectoryAndEnvironmentComeFromTheMachine) {
  EXPECT_EQ(GetCurrentDirectory(), "C:\\");
  EXPECT_FALSE(GetEnvironmentVariable("TEMP").has_value());
  machine.WriteMachineJson(R"({"cwd": "C:\\Windows\\System32", "environment": {"Temp": "C:\\Windows\\Temp"}})");
  machine.Use();
  EXPECT_EQ(GetCurrentDirectory(), "C:\\Windows\\System32");
  EXPECT_EQ(GetEnvironmentVariable("TEMP"), "C:\\Windows\\Temp");
  EXPECT_EQ(GetEnvironmentVariable("temp"), "C:\\Windows\\Temp");
  EXPECT_FALSE(GetEnvironmentVariable("TMP").has_value());
}

TEST_F(FilesTest, ExitProcessRecordsTheWholeCode) {
  EXPECT_EXIT(ExitProcess(15613), ::testing::ExitedWithCode(15613 & 0xFF), "");
  EXPECT_EQ(machine.ReadFile("exit-code"), "15613\n");
}

}  // namespace
}  // namespace kv
