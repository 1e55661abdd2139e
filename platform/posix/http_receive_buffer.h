#pragma once
// The bounded buffer between libcurl and the reader of a response body: the
// network side appends whole pieces or none, the reader takes what it wants.
// A ring, so that neither side ever moves bytes that are already in it.

#include <cstddef>
#include <memory>

namespace kv::posix {

class HttpReceiveBuffer {
 public:
  explicit HttpReceiveBuffer(std::size_t capacity);

  std::size_t Capacity() const { return capacity_; }
  std::size_t Size() const { return size_; }
  std::size_t Free() const { return capacity_ - size_; }

  // Appends all of data, or nothing (false) when it does not fit.
  bool Append(const char* data, std::size_t length);
  // Moves up to length bytes out; returns how many.
  std::size_t Take(char* out, std::size_t length);
  void Clear() { head_ = size_ = 0; }

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t capacity_;
  std::size_t head_ = 0;  // first byte held
  std::size_t size_ = 0;
};

}  // namespace kv::posix
