#pragma once
// Files and directories. Paths are Windows paths: absolute ("C:\a\b"),
// relative to the current directory, or root-relative ("\a") on its drive;
// backslashes and slashes both separate components. Results are Windows error
// codes unless a function says otherwise; failures are also recorded as the
// thread's last error.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kv {

// The host path a Windows path stands for; empty (with the last error set)
// when it stands for none. Components that do not exist with their exact
// name are matched without regard to case.
std::string MapPath(std::string_view path);

// Creates one directory (mode 0755 where that means something). Returns 0,
// or the C runtime error number: KV_EEXIST when it exists, KV_ENOENT when a
// parent is missing, otherwise the number of the failure.
[[nodiscard]] int MakeDirectory(std::string_view path);

// Opens a buffered stream with a C runtime mode ("w", "a+", "rb", ...);
// null on failure.
std::FILE* OpenStream(std::string_view path, const char* mode);

// Appends what is left of stream to bytes; false when reading fails (bytes
// then end with what was read before).
[[nodiscard]] bool ReadToEnd(std::FILE* stream, std::string& bytes);

// Opens a file of the computer the program runs on, named as a person names
// it there (absolute, or relative to the process's working directory), not
// a path of the machine image: for a program that reads or writes what its
// user asked for on the command line. Null on failure, with the last error
// set.
std::FILE* OpenHostStream(std::string_view hostPath, const char* mode);

// A path a person names on a command line, resolved: the machine's own
// path (a Windows path such as C:\store\x.xml, or a path of this computer
// that lies inside the machine's drive, named as the machine names it), or
// a file of this computer outside the machine, as an absolute path for
// OpenHostStream. Paths the machine's own settings and files name never
// come here: they stay inside the machine.
struct PersonPath {
  bool onMachine = true;
  std::string path;
};
PersonPath ResolvePersonPath(std::string_view path);

// CreateFile's access rights, sharing, dispositions and flags.
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
// Without GENERIC_WRITE: every write goes to the end of the file, whole,
// whatever other writers of the file do.
constexpr DWORD FILE_APPEND_DATA = 0x4;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;

// Seek origins.
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

// An open file, closed when the object goes.
class FileHandle {
 public:
  FileHandle() = default;
  FileHandle(FileHandle&& other) noexcept;
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle();

  bool IsOpen() const { return native_ != kClosed; }
  // A number that identifies the open file in log lines.
  int Number() const { return static_cast<int>(native_); }
  DWORD Close();

  DWORD Read(void* buffer, DWORD size, DWORD* read);
  DWORD Write(const void* data, DWORD size, DWORD* written);
  DWORD GetSize(std::int64_t* size) const;
  DWORD SetPointer(std::int64_t distance, DWORD origin, std::int64_t* newPosition = nullptr);
  DWORD SetEndOfFile();
  DWORD Flush();
  // Locks the one byte at offset (which may lie beyond the end of the file)
  // against other open handles of the file, in this process or another,
  // waiting until it is free: shared locks go together, an exclusive one
  // goes alone (LockFileEx). Offsets far beyond any real data serve as
  // named locks that never cover what is read or written.
  DWORD LockRange(std::uint64_t offset, bool exclusive);
  DWORD UnlockRange(std::uint64_t offset);

 private:
  friend DWORD CreateFile(std::string_view, DWORD, DWORD, DWORD, DWORD, FileHandle*);
  // The backend's handle of the open file: a descriptor on POSIX, the value
  // of a HANDLE on Windows (whose INVALID_HANDLE_VALUE is -1 as well).
  using Native = std::intptr_t;
  static constexpr Native kClosed = -1;
  explicit FileHandle(Native native) : native_(native) {}
  // Closes an open native handle: the backend's part of Close.
  static DWORD CloseNative(Native native);
  Native native_ = kClosed;
};

// Opens or creates a file as CreateFileA does. Directories can be opened with
// FILE_FLAG_BACKUP_SEMANTICS.
[[nodiscard]] DWORD CreateFile(std::string_view path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                               FileHandle* result);

[[nodiscard]] DWORD CopyFile(std::string_view source, std::string_view destination, bool failIfExists);
[[nodiscard]] DWORD DeleteFile(std::string_view path);
[[nodiscard]] DWORD MoveFile(std::string_view source, std::string_view destination);

// MoveFileEx's flags: replace a destination file that exists; where the two
// paths lie on different volumes, copy the file and delete the source.
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
// Moves a file as MoveFileEx does. On one volume this is a rename: the
// destination is replaced in one step and the data is not written again.
[[nodiscard]] DWORD MoveFileEx(std::string_view source, std::string_view destination, DWORD flags);
[[nodiscard]] DWORD RemoveDirectory(std::string_view path);

// File attributes as GetFileAttributes reports them.
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
DWORD GetFileAttributes(std::string_view path);

// A directory search with a Windows wildcard pattern ("dir\name*.*"): '*' and
// '?' as Windows matches them, without regard to case; "." and ".." are found
// like any other entry.
class FindHandle {
 public:
  FindHandle();
  FindHandle(FindHandle&&) noexcept;
  FindHandle& operator=(FindHandle&&) noexcept;
  ~FindHandle();
  // A number that identifies the search in log lines.
  int Number() const;

 private:
  friend DWORD FindFirstFile(std::string_view, FindHandle*, std::string*);
  friend DWORD FindNextFile(FindHandle&, std::string*);
  struct State;
  std::unique_ptr<State> state_;
};

// ERROR_FILE_NOT_FOUND when nothing matches, ERROR_PATH_NOT_FOUND when the
// directory does not exist. FindNextFile answers ERROR_NO_MORE_FILES at the end.
[[nodiscard]] DWORD FindFirstFile(std::string_view pattern, FindHandle* search, std::string* name);
[[nodiscard]] DWORD FindNextFile(FindHandle& search, std::string* name);

// The process's current directory, as a Windows path.
std::string GetCurrentDirectory();

}  // namespace kv

namespace kv {

// Creates a directory and every missing parent (SHCreateDirectoryEx):
// ERROR_ALREADY_EXISTS when the directory was already there.
[[nodiscard]] DWORD CreateDirectoryTree(std::string_view path);

}  // namespace kv
