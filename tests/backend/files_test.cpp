// Files and directories, held to the same answers on the emulated machine
// and on Windows.

#include "platform/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/last_error.h"
#include "tests/support/scratch.h"

namespace kv {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  std::string In(const std::string& name) const { return scratch.Directory() + "\\" + name; }

  // The names a search finds, in name order (Windows and the emulation may
  // list them in different orders).
  std::vector<std::string> Find(const std::string& pattern, DWORD* error) {
    std::vector<std::string> names;
    FindHandle search;
    std::string name;
    *error = FindFirstFile(pattern, &search, &name);
    if (*error) return names;
    do names.push_back(name);
    while (FindNextFile(search, &name) == ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    std::sort(names.begin(), names.end());
    return names;
  }

  test::Scratch scratch;
};

TEST_F(FilesTest, DispositionsAnswerAsCreateFileDoes) {
  FileHandle file;
  ASSERT_EQ(CreateFile(In("a.log"), GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, 0, &file), ERROR_SUCCESS);
  EXPECT_TRUE(file.IsOpen());
  file.Close();
  EXPECT_EQ(CreateFile(In("a.log"), GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, 0, &file), ERROR_FILE_EXISTS);
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_FALSE(file.IsOpen());

  ASSERT_EQ(CreateFile(In("a.log"), GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, 0, &file), ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  ASSERT_EQ(CreateFile(In("b.log"), GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS, 0, &file), ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  file.Close();

  EXPECT_EQ(CreateFile(In("none.log"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0, &file), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(CreateFile(In("none\\x.log"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0, &file),
            ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FilesTest, ReadWriteSeekAndTruncate) {
  FileHandle file;
  ASSERT_EQ(CreateFile(In("data.bin"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), ERROR_SUCCESS);
  DWORD written = 0;
  ASSERT_EQ(file.Write("hello world", 11, &written), ERROR_SUCCESS);
  EXPECT_EQ(written, 11u);
  std::int64_t position = -1, size = -1;
  ASSERT_EQ(file.SetPointer(5, FILE_BEGIN, &position), ERROR_SUCCESS);
  EXPECT_EQ(position, 5);
  ASSERT_EQ(file.SetEndOfFile(), ERROR_SUCCESS);
  ASSERT_EQ(file.GetSize(&size), ERROR_SUCCESS);
  EXPECT_EQ(size, 5);
  ASSERT_EQ(file.SetPointer(-2, FILE_END, &position), ERROR_SUCCESS);
  EXPECT_EQ(position, 3);
  char buffer[8] = {};
  DWORD read = 0;
  ASSERT_EQ(file.Read(buffer, sizeof buffer, &read), ERROR_SUCCESS);
  EXPECT_EQ(std::string(buffer, read), "lo");
  ASSERT_EQ(file.Read(buffer, sizeof buffer, &read), ERROR_SUCCESS);
  EXPECT_EQ(read, 0u);  // the end of the file is no error
  EXPECT_EQ(file.Flush(), ERROR_SUCCESS);
  EXPECT_EQ(file.Close(), ERROR_SUCCESS);
  EXPECT_EQ(file.Close(), ERROR_INVALID_HANDLE);
}

TEST_F(FilesTest, ADirectoryOpensOnlyWithBackupSemantics) {
  ASSERT_EQ(CreateDirectoryTree(In("logs\\old")), ERROR_SUCCESS);
  EXPECT_EQ(CreateDirectoryTree(In("logs\\old")), ERROR_ALREADY_EXISTS);
  FileHandle dir;
  EXPECT_EQ(CreateFile(In("logs"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0, &dir), ERROR_ACCESS_DENIED);
  ASSERT_EQ(CreateFile(In("logs"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, &dir),
            ERROR_SUCCESS);
  std::int64_t size = -1;
  EXPECT_EQ(dir.GetSize(&size), ERROR_SUCCESS);
  EXPECT_EQ(size, 0);
  EXPECT_NE(GetFileAttributes(In("logs")) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(GetFileAttributes(In("missing")), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FilesTest, AFileCreatedByTheProgramReportsTheArchiveAttribute) {
  scratch.WriteFile("new.txt", "x");
  EXPECT_EQ(GetFileAttributes(In("new.txt")), 0x20u);  // FILE_ATTRIBUTE_ARCHIVE
}

TEST_F(FilesTest, WildcardsFindWhatWindowsFinds) {
  for (const char* name : {"kvprereqhandler.log", "kvprereqhandler1.log", "kvprereqhandler.txt", "other.dat"})
    scratch.WriteFile(name, "x");
  DWORD error = 0;
  EXPECT_EQ(Find(In("kvprereqhandler*.log"), &error),
            (std::vector<std::string>{"kvprereqhandler.log", "kvprereqhandler1.log"}));
  EXPECT_EQ(Find(In("KVPREREQHANDLER.*"), &error),
            (std::vector<std::string>{"kvprereqhandler.log", "kvprereqhandler.txt"}));
  EXPECT_EQ(Find(In("*.*"), &error).size(), 6u);  // with "." and ".."
  EXPECT_TRUE(Find(In("nothing*.log"), &error).empty());
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(Find(In("missing\\*.log"), &error).empty());
  EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);
}

TEST_F(FilesTest, CopyMoveDeleteAndRemoveRefuseAsWindowsDoes) {
  const std::string a = scratch.WriteFile("a.txt", "alpha"), b = scratch.WriteFile("b.txt", "beta");
  EXPECT_EQ(CopyFile(a, b, true), ERROR_FILE_EXISTS);
  EXPECT_EQ(CopyFile(a, b, false), ERROR_SUCCESS);
  EXPECT_EQ(MoveFile(a, b), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(MoveFile(a, In("c.txt")), ERROR_SUCCESS);
  EXPECT_EQ(DeleteFile(a), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(CreateDirectoryTree(In("full")), ERROR_SUCCESS);
  scratch.WriteFile("full/inside.txt", "x");
  EXPECT_EQ(DeleteFile(In("full")), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RemoveDirectory(In("full")), ERROR_DIR_NOT_EMPTY);
  EXPECT_EQ(RemoveDirectory(In("c.txt")), ERROR_DIRECTORY);
  EXPECT_EQ(DeleteFile(In("full\\inside.txt")), ERROR_SUCCESS);
  EXPECT_EQ(RemoveDirectory(In("full")), ERROR_SUCCESS);
}

TEST_F(FilesTest, DroppingAClosedHandleLeavesTheLastError) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  {
    FileHandle never;
    FileHandle other;
    never = std::move(other);
  }
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FilesTest, AnAppendingHandleWritesAtTheEndWhateverElseWritesTheFile) {
  const std::string path = scratch.WriteFile("append.log", "first\n");
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  FileHandle appending, other;
  ASSERT_EQ(CreateFile(path, GENERIC_READ | FILE_APPEND_DATA, kShareAll, OPEN_ALWAYS, 0, &appending), ERROR_SUCCESS);
  ASSERT_EQ(CreateFile(path, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_EXISTING, 0, &other), ERROR_SUCCESS);
  DWORD done = 0;
  EXPECT_EQ(appending.Write("second\n", 7, &done), ERROR_SUCCESS);
  // Another handle empties the file: the next piece is still at its end.
  EXPECT_EQ(other.SetEndOfFile(), ERROR_SUCCESS);
  EXPECT_EQ(appending.Write("third\n", 6, &done), ERROR_SUCCESS);
  std::int64_t size = 0;
  EXPECT_EQ(other.GetSize(&size), ERROR_SUCCESS);
  EXPECT_EQ(size, 6);
  char text[16] = {};
  EXPECT_EQ(other.Read(text, sizeof text, &done), ERROR_SUCCESS);
  EXPECT_EQ(std::string(text, done), "third\n");
}

TEST_F(FilesTest, RangeLocksExcludeOtherHandlesAndShareWithEachOther) {
  const std::string path = scratch.WriteFile("locked.log", "");
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  constexpr std::uint64_t kFar = 0x7FFFFFFF00000000ull;
  FileHandle a, b;
  ASSERT_EQ(CreateFile(path, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_EXISTING, 0, &a), ERROR_SUCCESS);
  ASSERT_EQ(CreateFile(path, GENERIC_READ | FILE_APPEND_DATA, kShareAll, OPEN_EXISTING, 0, &b), ERROR_SUCCESS);
  EXPECT_EQ(a.LockRange(kFar, false), ERROR_SUCCESS);
  EXPECT_EQ(b.LockRange(kFar, false), ERROR_SUCCESS);  // shared locks go together
  EXPECT_EQ(b.UnlockRange(kFar), ERROR_SUCCESS);
  EXPECT_EQ(b.LockRange(kFar + 1, true), ERROR_SUCCESS);  // another byte is another lock
  EXPECT_EQ(b.UnlockRange(kFar + 1), ERROR_SUCCESS);
  // A far lock covers nothing that is written.
  DWORD done = 0;
  EXPECT_EQ(b.Write("x", 1, &done), ERROR_SUCCESS);

  std::atomic<bool> taken{false};
  std::thread other([&] {
    EXPECT_EQ(b.LockRange(kFar, true), ERROR_SUCCESS);  // waits for a's shared lock to go
    taken = true;
    EXPECT_EQ(b.UnlockRange(kFar), ERROR_SUCCESS);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(taken);
  EXPECT_EQ(a.UnlockRange(kFar), ERROR_SUCCESS);
  other.join();
  EXPECT_TRUE(taken);

  FileHandle closed;
  EXPECT_EQ(closed.LockRange(kFar, true), ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace kv
