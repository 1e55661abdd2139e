#pragma once
// A file descriptor closed when its owner goes.

#include <unistd.h>

namespace kv::posix {

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Gives the descriptor up to the caller.
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes now, reporting the close's error (a late write error shows here).
  int Close() {
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

}  // namespace kv::posix
