// Files and directories forwarded to kernel32 (and the C runtime for
// directories made one at a time and for buffered streams). Paths are UTF-8
// and become wide text here; both slashes separate components, as Windows
// accepts. Failures are Windows' own last errors.

#include "platform/files.h"

#include <direct.h>

#include <cerrno>
#include <cstdio>

#include "platform/last_error.h"
#include "platform/win32/wide.h"

namespace kv {
namespace {

using win32::Fail;
using win32::LastFailure;
using win32::Wide;

::HANDLE NativeHandle(std::intptr_t native) { return reinterpret_cast<::HANDLE>(native); }

}  // namespace

std::string MapPath(std::string_view path) { return std::string(path); }

int MakeDirectory(std::string_view path) {
  if (path.empty()) {
    Fail(ERROR_PATH_NOT_FOUND);
    return KV_ENOENT;
  }
  if (::_wmkdir(Wide(path).c_str()) == 0) return 0;
  const int err = errno;
  Fail(err == EEXIST ? ERROR_ALREADY_EXISTS : err == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
  return err;
}

std::FILE* OpenStream(std::string_view path, const char* mode) {
  // The C runtime's modes are ASCII: widening them is a plain copy.
  std::wstring wideMode;
  for (const char* c = mode ? mode : "r"; *c; ++c) wideMode += static_cast<wchar_t>(*c);
  std::FILE* stream = ::_wfopen(Wide(path).c_str(), wideMode.c_str());
  if (!stream && ::GetLastError() == ERROR_SUCCESS) Fail(ERROR_ACCESS_DENIED);
  return stream;
}

// The host's file system is the machine's own here.
std::FILE* OpenHostStream(std::string_view hostPath, const char* mode) { return OpenStream(hostPath, mode); }

DWORD FileHandle::CloseNative(Native native) {
  return ::CloseHandle(NativeHandle(native)) ? ERROR_SUCCESS : LastFailure();
}

DWORD FileHandle::Read(void* buffer, DWORD size, DWORD* read) {
  if (read) *read = 0;
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  // ReadFile may return fewer bytes than asked before the end: read until
  // the buffer is full or the file ends, as the seam promises.
  DWORD done = 0;
  while (done < size) {
    ::DWORD got = 0;
    if (!::ReadFile(NativeHandle(native_), static_cast<char*>(buffer) + done, size - done, &got, nullptr)) {
      if (read) *read = done;
      return LastFailure();
    }
    if (got == 0) break;
    done += static_cast<DWORD>(got);
  }
  if (read) *read = done;
  return ERROR_SUCCESS;
}

DWORD FileHandle::Write(const void* data, DWORD size, DWORD* written) {
  if (written) *written = 0;
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  DWORD done = 0;
  while (done < size) {
    ::DWORD put = 0;
    if (!::WriteFile(NativeHandle(native_), static_cast<const char*>(data) + done, size - done, &put, nullptr)) {
      if (written) *written = done;
      return LastFailure();
    }
    done += static_cast<DWORD>(put);
  }
  if (written) *written = done;
  return ERROR_SUCCESS;
}

DWORD FileHandle::GetSize(std::int64_t* size) const {
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(NativeHandle(native_), &info)) return LastFailure();
  // Windows reports no size for a directory.
  const bool directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (size)
    *size = directory ? 0 : static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  return ERROR_SUCCESS;
}

DWORD FileHandle::SetPointer(std::int64_t distance, DWORD origin, std::int64_t* newPosition) {
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  LARGE_INTEGER move{}, position{};
  move.QuadPart = distance;
  if (!::SetFilePointerEx(NativeHandle(native_), move, &position, origin)) return LastFailure();
  if (newPosition) *newPosition = position.QuadPart;
  return ERROR_SUCCESS;
}

DWORD FileHandle::SetEndOfFile() {
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  return ::SetEndOfFile(NativeHandle(native_)) ? ERROR_SUCCESS : LastFailure();
}

// LockFileEx on a handle opened without overlapped I/O waits until the byte
// is free; the lock belongs to the handle, as the seam promises.
DWORD FileHandle::LockRange(std::uint64_t offset, bool exclusive) {
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  OVERLAPPED at{};
  at.Offset = static_cast<::DWORD>(offset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<::DWORD>(offset >> 32);
  const ::DWORD mode = exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0;
  return ::LockFileEx(NativeHandle(native_), mode, 0, 1, 0, &at) ? ERROR_SUCCESS : LastFailure();
}

DWORD FileHandle::UnlockRange(std::uint64_t offset) {
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  OVERLAPPED at{};
  at.Offset = static_cast<::DWORD>(offset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<::DWORD>(offset >> 32);
  return ::UnlockFileEx(NativeHandle(native_), 0, 1, 0, &at) ? ERROR_SUCCESS : LastFailure();
}

DWORD FileHandle::Flush() {
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  return ::FlushFileBuffers(NativeHandle(native_)) ? ERROR_SUCCESS : LastFailure();
}

DWORD CreateFile(std::string_view path, DWORD access, DWORD share, DWORD disposition, DWORD flags, FileHandle* result) {
  if (!result) return Fail(ERROR_INVALID_PARAMETER);
  *result = FileHandle();
  const ::HANDLE handle = ::CreateFileW(Wide(path).c_str(), access, share, nullptr, disposition,
                                        flags ? flags : FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastFailure();
  // The last error stays as CreateFile left it: ERROR_ALREADY_EXISTS tells
  // that CREATE_ALWAYS or OPEN_ALWAYS found the file.
  const DWORD found = ::GetLastError();
  *result = FileHandle(reinterpret_cast<std::intptr_t>(handle));
  ::SetLastError(found);
  return ERROR_SUCCESS;
}

DWORD CopyFile(std::string_view source, std::string_view destination, bool failIfExists) {
  if (!::CopyFileW(Wide(source).c_str(), Wide(destination).c_str(), failIfExists)) return LastFailure();
  ::SetLastError(ERROR_SUCCESS);
  return ERROR_SUCCESS;
}

DWORD DeleteFile(std::string_view path) { return ::DeleteFileW(Wide(path).c_str()) ? ERROR_SUCCESS : LastFailure(); }

DWORD MoveFile(std::string_view source, std::string_view destination) {
  return ::MoveFileW(Wide(source).c_str(), Wide(destination).c_str()) ? ERROR_SUCCESS : LastFailure();
}

DWORD MoveFileEx(std::string_view source, std::string_view destination, DWORD flags) {
  return ::MoveFileExW(Wide(source).c_str(), Wide(destination).c_str(), flags) ? ERROR_SUCCESS : LastFailure();
}

DWORD RemoveDirectory(std::string_view path) {
  return ::RemoveDirectoryW(Wide(path).c_str()) ? ERROR_SUCCESS : LastFailure();
}

DWORD GetFileAttributes(std::string_view path) { return ::GetFileAttributesW(Wide(path).c_str()); }

// Directory searches

struct FindHandle::State {
  ::HANDLE handle = INVALID_HANDLE_VALUE;
  ~State() {
    if (handle != INVALID_HANDLE_VALUE) ::FindClose(handle);
  }
};

FindHandle::FindHandle() = default;
FindHandle::FindHandle(FindHandle&&) noexcept = default;
FindHandle& FindHandle::operator=(FindHandle&&) noexcept = default;
FindHandle::~FindHandle() = default;

int FindHandle::Number() const {
  return state_ ? static_cast<int>(reinterpret_cast<std::intptr_t>(state_->handle)) : -1;
}

DWORD FindFirstFile(std::string_view pattern, FindHandle* search, std::string* name) {
  if (!search || !name) return Fail(ERROR_INVALID_PARAMETER);
  *search = FindHandle();
  WIN32_FIND_DATAW found{};
  const ::HANDLE handle = ::FindFirstFileW(Wide(pattern).c_str(), &found);
  if (handle == INVALID_HANDLE_VALUE) return LastFailure();
  search->state_ = std::make_unique<FindHandle::State>();
  search->state_->handle = handle;
  *name = win32::Utf8(found.cFileName);
  return ERROR_SUCCESS;
}

DWORD FindNextFile(FindHandle& search, std::string* name) {
  if (!search.state_ || !name) return Fail(ERROR_INVALID_HANDLE);
  WIN32_FIND_DATAW found{};
  if (!::FindNextFileW(search.state_->handle, &found)) return LastFailure();
  *name = win32::Utf8(found.cFileName);
  return ERROR_SUCCESS;
}

std::string GetCurrentDirectory() {
  const ::DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
  std::wstring path(needed, L'\0');
  const ::DWORD length = ::GetCurrentDirectoryW(needed, path.data());
  path.resize(length < needed ? length : 0);
  return win32::Utf8(path);
}

}  // namespace kv
