// Files and directories of the emulated machine. Every path is a Windows
// path inside the image (see image_paths.h). Results are Windows error codes,
// recorded as the thread's last error. Files are made with mode 0644 and
// directories with 0755 at most, and only regular files and directories are
// opened: a FIFO or a device in the image would make a caller wait forever.
//
// Sharing modes are accepted but not enforced: Linux has no mandatory
// sharing, and the agent only ever opens files with generous sharing.

#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/last_error.h"
#include "platform/posix/disk_faults.h"
#include "platform/posix/image_files.h"
#include "platform/posix/image_paths.h"
#include "platform/posix/machine.h"
#include "platform/posix/unique_fd.h"
#include "platform/unicode.h"

namespace kv {
namespace {

// Windows codes used here that the shared list does not name.
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_NOT_SAME_DEVICE = 17;
constexpr DWORD ERROR_GEN_FAILURE = 31;

DWORD Fail(DWORD code) {
  SetLastError(code);
  return code;
}

bool IsDirectory(const std::string& hostPath) {
  struct stat st;
  return ::stat(hostPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A missing file is ERROR_FILE_NOT_FOUND when its directory exists and
// ERROR_PATH_NOT_FOUND when the directory is missing too, as Windows tells.
DWORD MissingCode(const std::string& hostPath) {
  const auto slash = hostPath.find_last_of('/');
  if (slash == std::string::npos) return ERROR_FILE_NOT_FOUND;
  const std::string parent = slash == 0 ? "/" : hostPath.substr(0, slash);
  return IsDirectory(parent) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD ErrnoToError(int err, const std::string& hostPath) {
  switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return MissingCode(hostPath);
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EBUSY:
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    default: return ERROR_GEN_FAILURE;
  }
}

DWORD FailErrno(int err, const std::string& hostPath) { return Fail(ErrnoToError(err, hostPath)); }

// The descriptor a FileHandle keeps.
int Descriptor(std::intptr_t native) { return static_cast<int>(native); }

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

// Reads until size bytes or end of file; 0 or the errno of the failure.
int ReadFully(int fd, void* buffer, std::size_t size, std::size_t* done) {
  *done = 0;
  auto* out = static_cast<char*>(buffer);
  while (*done < size) {
    const ssize_t n = ::read(fd, out + *done, size - *done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) break;
    *done += static_cast<std::size_t>(n);
  }
  return 0;
}

int WriteFully(int fd, const void* data, std::size_t size, std::size_t* done) {
  return posix::WriteAll(fd, data, size, done);
}

// The host path of a path of the program; the failure is recorded.
DWORD Map(std::string_view path, std::string& host) {
  const DWORD error = posix::MapImagePath(path, host);
  return error ? Fail(error) : ERROR_SUCCESS;
}

// Opens a host path without waiting on a FIFO or a device; only a regular
// file, or a directory where allowDirectory, stays open. -1 with errno set
// (EACCES for anything else) on failure.
int OpenPlain(const std::string& host, int flags, bool allowDirectory = false, mode_t mode = posix::kFileMode) {
  const int fd = ::open(host.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, mode);
  if (fd < 0) {
    if (errno == ENXIO || errno == ENODEV) errno = EACCES;  // a FIFO nobody reads, a device that is not there
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || (allowDirectory && S_ISDIR(st.st_mode)))) {
    ::close(fd);
    errno = EACCES;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool HasDriveLetter(std::string_view path) {
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

int OpenFlags(DWORD access, DWORD disposition, DWORD* error) {
  constexpr DWORD GENERIC_ALL = 0x10000000;
  constexpr DWORD FILE_WRITE_DATA = 0x2;
  const bool writesAnywhere = (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA)) != 0;
  const bool appends = !writesAnywhere && (access & FILE_APPEND_DATA) != 0;
  const bool writes = writesAnywhere || appends;
  const bool reads = (access & (GENERIC_READ | GENERIC_ALL)) != 0;
  int flags = O_CLOEXEC | (writes ? (reads ? O_RDWR : O_WRONLY) : O_RDONLY) | (appends ? O_APPEND : 0);
  *error = ERROR_SUCCESS;
  switch (disposition) {
    case CREATE_NEW: return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS: return flags | O_CREAT | O_TRUNC;
    case OPEN_EXISTING: return flags;
    case OPEN_ALWAYS: return flags | O_CREAT;
    case TRUNCATE_EXISTING:
      if (writes) return flags | O_TRUNC;
      break;
    default: break;
  }
  *error = ERROR_INVALID_PARAMETER;
  return -1;
}

// Windows wildcard matching: '*' any run of characters, '?' one character.
bool Glob(std::u16string_view name, std::u16string_view pattern) {
  std::size_t i = 0, j = 0, star = std::u16string_view::npos, mark = 0;
  while (i < name.size()) {
    if (j < pattern.size() && (pattern[j] == u'?' || pattern[j] == name[i])) {
      ++i, ++j;
    } else if (j < pattern.size() && pattern[j] == u'*') {
      star = j++;
      mark = i;
    } else if (star != std::u16string_view::npos) {
      j = star + 1;
      i = ++mark;
    } else {
      return false;
    }
  }
  while (j < pattern.size() && pattern[j] == u'*') ++j;
  return j == pattern.size();
}

bool WildcardMatch(std::string_view name, std::string_view pattern) {
  const std::u16string n = ToLower(Utf8ToUtf16(name));
  const std::u16string p = ToLower(Utf8ToUtf16(pattern));
  if (Glob(n, p)) return true;
  // A trailing ".*" also matches the end of a name without that dot, so
  // "*.*" finds every name and "log*.*" finds "log".
  return p.size() >= 2 && p.ends_with(u".*") && Glob(n, std::u16string_view(p).substr(0, p.size() - 2));
}

// Entries in the order NTFS lists them: "." and ".." first, then by name
// without regard to case.
bool ListedBefore(const std::string& a, const std::string& b) {
  auto rank = [](const std::string& s) { return s == "." ? 0 : s == ".." ? 1 : 2; };
  if (rank(a) != rank(b)) return rank(a) < rank(b);
  const std::u16string la = ToLower(Utf8ToUtf16(a)), lb = ToLower(Utf8ToUtf16(b));
  return la != lb ? la < lb : a < b;
}

}  // namespace

std::string MapPath(std::string_view path) {
  std::string host;
  return Map(path, host) == ERROR_SUCCESS ? host : std::string();
}

int MakeDirectory(std::string_view path) {
  std::string host;
  if (const DWORD error = Map(path, host)) return error == ERROR_ACCESS_DENIED ? EACCES : KV_ENOENT;
  if (::mkdir(host.c_str(), posix::kDirectoryMode) == 0) return 0;
  const int err = errno;
  SetLastError(err == EEXIST ? ERROR_ALREADY_EXISTS : ErrnoToError(err, host));
  if (err == EEXIST) return KV_EEXIST;
  if (err == ENOENT) return KV_ENOENT;
  return err;
}

std::FILE* OpenHostStream(std::string_view hostPath, const char* mode) {
  const std::string host(hostPath);
  std::FILE* stream = std::fopen(host.c_str(), mode ? mode : "r");
  if (!stream) FailErrno(errno, host);
  return stream;
}

std::FILE* OpenStream(std::string_view path, const char* mode) {
  std::string host;
  if (Map(path, host)) return nullptr;
  // The C runtime's modes, opened as OpenPlain opens.
  const std::string_view m = mode ? mode : "r";
  const bool update = m.find('+') != std::string_view::npos;
  int flags = update ? O_RDWR : O_RDONLY;
  if (m.starts_with('w')) flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
  if (m.starts_with('a')) flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
  const int fd = OpenPlain(host, flags);
  if (fd < 0) {
    FailErrno(errno, host);
    return nullptr;
  }
  const bool writes = m.starts_with('w') || m.starts_with('a') || update;
  std::FILE* stream = writes && posix::HasWriteFault(host) ? posix::FaultingStream(fd, std::string(m).c_str(), host)
                                                           : ::fdopen(fd, std::string(m).c_str());
  if (!stream) {
    FailErrno(errno, host);
    ::close(fd);
  }
  return stream;
}

// FileHandle

DWORD FileHandle::CloseNative(Native native) {
  return ::close(Descriptor(native)) == 0 ? ERROR_SUCCESS : FailErrno(errno, "");
}

DWORD FileHandle::Read(void* buffer, DWORD size, DWORD* read) {
  if (read) *read = 0;
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  std::size_t done = 0;
  const int err = ReadFully(Descriptor(native_), buffer, size, &done);
  if (read) *read = static_cast<DWORD>(done);
  return err ? FailErrno(err, "") : ERROR_SUCCESS;
}

DWORD FileHandle::Write(const void* data, DWORD size, DWORD* written) {
  if (written) *written = 0;
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  std::size_t done = 0;
  const int err = WriteFully(Descriptor(native_), data, size, &done);
  if (written) *written = static_cast<DWORD>(done);
  return err ? FailErrno(err, "") : ERROR_SUCCESS;
}

DWORD FileHandle::GetSize(std::int64_t* size) const {
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  struct stat st;
  if (::fstat(Descriptor(native_), &st) != 0) return FailErrno(errno, "");
  // Windows reports no size for a directory.
  if (size) *size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
  return ERROR_SUCCESS;
}

DWORD FileHandle::SetPointer(std::int64_t distance, DWORD origin, std::int64_t* newPosition) {
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  int whence;
  switch (origin) {
    case FILE_BEGIN: whence = SEEK_SET; break;
    case FILE_CURRENT: whence = SEEK_CUR; break;
    case FILE_END: whence = SEEK_END; break;
    default: return Fail(ERROR_INVALID_PARAMETER);
  }
  const off_t position = ::lseek(Descriptor(native_), static_cast<off_t>(distance), whence);
  if (position < 0) return FailErrno(errno, "");
  if (newPosition) *newPosition = position;
  return ERROR_SUCCESS;
}

DWORD FileHandle::SetEndOfFile() {
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  const off_t position = ::lseek(Descriptor(native_), 0, SEEK_CUR);
  if (position < 0 || ::ftruncate(Descriptor(native_), position) != 0) return FailErrno(errno, "");
  return ERROR_SUCCESS;
}

// Open-file-description locks: held by this handle, not by the process, so
// that two handles of one process exclude each other as two processes do,
// and closing another handle of the file releases nothing.
DWORD FileHandle::LockRange(std::uint64_t offset, bool exclusive) {
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  struct flock range {};
  range.l_type = exclusive ? F_WRLCK : F_RDLCK;
  range.l_whence = SEEK_SET;
  range.l_start = static_cast<off_t>(offset);
  range.l_len = 1;
  while (::fcntl(Descriptor(native_), F_OFD_SETLKW, &range) != 0)
    if (errno != EINTR) return FailErrno(errno, "");
  return ERROR_SUCCESS;
}

DWORD FileHandle::UnlockRange(std::uint64_t offset) {
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  struct flock range {};
  range.l_type = F_UNLCK;
  range.l_whence = SEEK_SET;
  range.l_start = static_cast<off_t>(offset);
  range.l_len = 1;
  return ::fcntl(Descriptor(native_), F_OFD_SETLK, &range) == 0 ? ERROR_SUCCESS : FailErrno(errno, "");
}

DWORD FileHandle::Flush() {
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  return ::fsync(Descriptor(native_)) == 0 ? ERROR_SUCCESS : FailErrno(errno, "");
}

DWORD CreateFile(std::string_view path, DWORD access, DWORD share, DWORD disposition, DWORD flags, FileHandle* result) {
  (void)share;  // not enforced, see the top of this file
  if (!result) return Fail(ERROR_INVALID_PARAMETER);
  *result = FileHandle();
  std::string host;
  if (const DWORD error = Map(path, host)) return error;

  struct stat st;
  const bool exists = ::stat(host.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    // A directory opens only for reading its attributes, with backup semantics.
    if (disposition == CREATE_NEW) return Fail(ERROR_FILE_EXISTS);
    if (!(flags & FILE_FLAG_BACKUP_SEMANTICS) || (disposition != OPEN_EXISTING && disposition != OPEN_ALWAYS))
      return Fail(ERROR_ACCESS_DENIED);
    const int fd = OpenPlain(host, O_RDONLY | O_DIRECTORY, true);
    if (fd < 0) return FailErrno(errno, host);
    *result = FileHandle(fd);
    SetLastError(disposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return ERROR_SUCCESS;
  }

  DWORD error = ERROR_SUCCESS;
  const int openFlags = OpenFlags(access, disposition, &error);
  if (error) return Fail(error);
  const int fd = OpenPlain(host, openFlags);
  if (fd < 0) return FailErrno(errno, host);
  *result = FileHandle(fd);
  // Like CreateFileA: success, and the last error tells that the file was there.
  const bool reportsExisting = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
  SetLastError(exists && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return ERROR_SUCCESS;
}

DWORD CopyFile(std::string_view source, std::string_view destination, bool failIfExists) {
  std::string from, to;
  if (const DWORD error = Map(source, from)) return error;
  if (const DWORD error = Map(destination, to)) return error;
  posix::UniqueFd in(OpenPlain(from, O_RDONLY, true));
  if (in.get() < 0) return FailErrno(errno, from);
  struct stat inStat;
  if (::fstat(in.get(), &inStat) != 0) return FailErrno(errno, from);
  if (S_ISDIR(inStat.st_mode)) return Fail(ERROR_ACCESS_DENIED);

  // The destination is written in place (not replaced), so that a reader
  // holding it open sees the new content.
  const int outFlags = O_WRONLY | O_CREAT | (failIfExists ? O_EXCL : 0);
  posix::UniqueFd out(OpenPlain(to, outFlags, false, inStat.st_mode & posix::kFileMode));
  if (out.get() < 0) return FailErrno(errno, to);
  struct stat outStat;
  if (::fstat(out.get(), &outStat) != 0) return FailErrno(errno, to);
  if (outStat.st_dev == inStat.st_dev && outStat.st_ino == inStat.st_ino)
    return Fail(ERROR_SHARING_VIOLATION);  // copying a file onto itself
  if (::ftruncate(out.get(), 0) != 0) return FailErrno(errno, to);

  std::vector<char> buffer(64 * 1024);
  for (;;) {
    std::size_t got = 0, put = 0;
    int err = ReadFully(in.get(), buffer.data(), buffer.size(), &got);
    if (!err) err = WriteFully(out.get(), buffer.data(), got, &put);
    if (err) {
      // A half-written copy is worth nothing; Windows removes it too.
      ::unlink(to.c_str());
      return FailErrno(err, to);
    }
    if (got < buffer.size()) break;
  }
  SetLastError(ERROR_SUCCESS);
  return ERROR_SUCCESS;
}

DWORD DeleteFile(std::string_view path) {
  std::string host;
  if (const DWORD error = Map(path, host)) return error;
  if (IsDirectory(host)) return Fail(ERROR_ACCESS_DENIED);
  if (::unlink(host.c_str()) != 0) return FailErrno(errno, host);
  return ERROR_SUCCESS;
}

DWORD MoveFile(std::string_view source, std::string_view destination) {
  std::string from, to;
  if (const DWORD error = Map(source, from)) return error;
  if (const DWORD error = Map(destination, to)) return error;
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) return FailErrno(errno, from);
  if (::lstat(to.c_str(), &st) == 0) return Fail(ERROR_ALREADY_EXISTS);
  if (::rename(from.c_str(), to.c_str()) != 0) return FailErrno(errno, to);
  return ERROR_SUCCESS;
}

DWORD MoveFileEx(std::string_view source, std::string_view destination, DWORD flags) {
  const std::string from = MapPath(source), to = MapPath(destination);
  struct stat fromStat, toStat;
  if (::lstat(from.c_str(), &fromStat) != 0) return FailErrno(errno, from);
  if (::lstat(to.c_str(), &toStat) == 0) {
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) return Fail(ERROR_ALREADY_EXISTS);
    // Windows replaces files only, never a directory.
    if (S_ISDIR(toStat.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  }
  if (::rename(from.c_str(), to.c_str()) == 0) return ERROR_SUCCESS;
  if (errno != EXDEV || !(flags & MOVEFILE_COPY_ALLOWED)) return FailErrno(errno, to);
  if (const DWORD rc = CopyFile(source, destination, false)) return rc;
  if (::unlink(from.c_str()) != 0) return FailErrno(errno, from);
  return ERROR_SUCCESS;
}

DWORD RemoveDirectory(std::string_view path) {
  std::string host;
  if (const DWORD error = Map(path, host)) return error;
  if (::rmdir(host.c_str()) == 0) return ERROR_SUCCESS;
  const int err = errno;
  if (err == ENOTEMPTY || err == EEXIST) return Fail(ERROR_DIR_NOT_EMPTY);
  if (err == ENOTDIR) {
    struct stat st;
    const bool isFile = ::stat(host.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
    return Fail(isFile ? ERROR_DIRECTORY : ERROR_PATH_NOT_FOUND);
  }
  return FailErrno(err, host);
}

DWORD GetFileAttributes(std::string_view path) {
  constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
  // Windows marks every file it creates or changes for archiving; a file
  // never reports FILE_ATTRIBUTE_NORMAL, which is only a value to set.
  constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
  std::string host;
  if (Map(path, host)) return INVALID_FILE_ATTRIBUTES;
  struct stat st;
  if (::stat(host.c_str(), &st) != 0) {
    FailErrno(errno, host);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  return FILE_ATTRIBUTE_ARCHIVE | ((st.st_mode & S_IWUSR) ? 0 : FILE_ATTRIBUTE_READONLY);
}

// Directory searches

struct FindHandle::State {
  int id = 0;
  std::vector<std::string> names;
  std::size_t next = 0;
};

FindHandle::FindHandle() = default;
FindHandle::FindHandle(FindHandle&&) noexcept = default;
FindHandle& FindHandle::operator=(FindHandle&&) noexcept = default;
FindHandle::~FindHandle() = default;

int FindHandle::Number() const { return state_ ? state_->id : -1; }

DWORD FindFirstFile(std::string_view pattern, FindHandle* search, std::string* name) {
  if (!search || !name) return Fail(ERROR_INVALID_PARAMETER);
  *search = FindHandle();
  const auto cut = pattern.find_last_of("\\/");
  std::string_view directory = ".";
  if (cut != std::string_view::npos) directory = pattern.substr(0, cut == 0 ? 1 : cut);
  if (cut == 2 && HasDriveLetter(pattern)) directory = pattern.substr(0, 3);
  const std::string_view namePattern = cut == std::string_view::npos ? pattern : pattern.substr(cut + 1);

  std::string host;
  if (const DWORD error = Map(directory, host)) return error;
  UniqueDir dir(::opendir(host.c_str()));
  if (!dir) {
    const int err = errno;
    return Fail(err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrnoToError(err, host));
  }
  auto state = std::make_unique<FindHandle::State>();
  while (const dirent* entry = ::readdir(dir.get()))
    if (WildcardMatch(entry->d_name, namePattern)) state->names.emplace_back(entry->d_name);
  if (state->names.empty()) return Fail(ERROR_FILE_NOT_FOUND);
  std::sort(state->names.begin(), state->names.end(), ListedBefore);

  static std::atomic<int> nextId{1};
  state->id = nextId++;
  *name = state->names[0];
  state->next = 1;
  search->state_ = std::move(state);
  return ERROR_SUCCESS;
}

DWORD FindNextFile(FindHandle& search, std::string* name) {
  if (!search.state_ || !name) return Fail(ERROR_INVALID_HANDLE);
  auto& state = *search.state_;
  if (state.next >= state.names.size()) return Fail(ERROR_NO_MORE_FILES);
  *name = state.names[state.next++];
  return ERROR_SUCCESS;
}

std::string GetCurrentDirectory() {
  const auto& cwd = posix::MachineValue("/cwd");
  // A machine that does not say where it stands starts at the drive's root.
  return cwd.is_string() ? cwd.get<std::string>() : std::string("C:\\");
}

}  // namespace kv
