#include "store/text_buffer.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

namespace kv {

TextBuffer::TextBuffer(std::size_t capacity, std::size_t step) : step_(step) {
  if (capacity < SIZE_MAX) data_.reset(new (std::nothrow) char[capacity + 1]());
  if (!data_) return;
  capacity_ = capacity;
  allocated_ = capacity + 1;
}

TextBuffer::TextBuffer(TextBuffer&& other) noexcept
    : data_(std::move(other.data_)),
      allocated_(std::exchange(other.allocated_, 0)),
      length_(std::exchange(other.length_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      step_(other.step_) {}

TextBuffer& TextBuffer::operator=(TextBuffer&& other) noexcept {
  if (this != &other) {
    data_ = std::move(other.data_);
    allocated_ = std::exchange(other.allocated_, 0);
    length_ = std::exchange(other.length_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    step_ = other.step_;
  }
  return *this;
}

int TextBuffer::Reserve(std::size_t more) {
  if (more > SIZE_MAX - 1 - length_) return STORE_NO_MEMORY;
  const std::size_t needed = length_ + more;
  if (needed <= capacity_ && data_) return STORE_SUCCESS;
  std::size_t capacity = capacity_;
  if (needed > capacity) {
    const std::size_t step = step_ ? step_ : 1;
    const std::size_t steps = (needed - capacity + step - 1) / step;
    if (steps > (SIZE_MAX - 1 - capacity) / step) return STORE_NO_MEMORY;
    capacity += steps * step;
  }
  if (capacity + 1 > allocated_ || !data_) {
    // Twice the storage when that is more, the exact size when it cannot be had.
    std::size_t size = capacity + 1;
    std::unique_ptr<char[]> grown;
    if (allocated_ <= SIZE_MAX / 2 && allocated_ * 2 > size) grown.reset(new (std::nothrow) char[allocated_ * 2]());
    if (grown)
      size = allocated_ * 2;
    else
      grown.reset(new (std::nothrow) char[size]());
    if (!grown) return STORE_NO_MEMORY;
    if (length_) std::memcpy(grown.get(), data_.get(), length_);
    data_ = std::move(grown);
    allocated_ = size;
  }
  capacity_ = capacity;
  return STORE_SUCCESS;
}

int TextBuffer::Append(std::string_view text) {
  if (Reserve(text.size()) != STORE_SUCCESS) return STORE_NO_MEMORY;
  if (!text.empty()) std::memcpy(data_.get() + length_, text.data(), text.size());
  length_ += text.size();
  data_[length_] = '\0';
  return STORE_SUCCESS;
}

int TextBuffer::AppendFormat(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  int result = STORE_NO_MEMORY;
  if (size >= 0 && Reserve(static_cast<std::size_t>(size)) == STORE_SUCCESS) {
    std::vsnprintf(data_.get() + length_, static_cast<std::size_t>(size) + 1, format, again);
    length_ += static_cast<std::size_t>(size);
    result = STORE_SUCCESS;
  }
  va_end(again);
  return result;
}

void TextBuffer::Clear() {
  if (data_) std::memset(data_.get(), 0, length_);
  length_ = 0;
}

}  // namespace kv
