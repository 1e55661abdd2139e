#include "platform/posix/http_receive_buffer.h"

#include <algorithm>
#include <cstring>

namespace kv::posix {

HttpReceiveBuffer::HttpReceiveBuffer(std::size_t capacity) : bytes_(new char[capacity]), capacity_(capacity) {}

bool HttpReceiveBuffer::Append(const char* data, std::size_t length) {
  if (length > Free()) return false;
  const std::size_t tail = (head_ + size_) % capacity_;
  const std::size_t first = std::min(length, capacity_ - tail);
  std::memcpy(bytes_.get() + tail, data, first);
  std::memcpy(bytes_.get(), data + first, length - first);
  size_ += length;
  return true;
}

std::size_t HttpReceiveBuffer::Take(char* out, std::size_t length) {
  const std::size_t count = std::min(length, size_);
  const std::size_t first = std::min(count, capacity_ - head_);
  std::memcpy(out, bytes_.get() + head_, first);
  std::memcpy(out + first, bytes_.get(), count - first);
  head_ = (head_ + count) % capacity_;
  size_ -= count;
  if (size_ == 0) head_ = 0;
  return count;
}

}  // namespace kv::posix
