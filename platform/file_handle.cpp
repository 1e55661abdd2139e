// What a file handle does alike on every backend: it moves, and it closes
// its native handle once, when closed or dropped.

#include <utility>

#include "platform/files.h"
#include "platform/last_error.h"

namespace kv {

FileHandle::FileHandle(FileHandle&& other) noexcept : native_(std::exchange(other.native_, kClosed)) {}

// Dropping a handle that is not open is no failure: the thread's last error stays.
FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) (void)Close();
    native_ = std::exchange(other.native_, kClosed);
  }
  return *this;
}

FileHandle::~FileHandle() {
  if (IsOpen()) (void)Close();
}

DWORD FileHandle::Close() {
  if (!IsOpen()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return ERROR_INVALID_HANDLE;
  }
  return CloseNative(std::exchange(native_, kClosed));
}

}  // namespace kv
