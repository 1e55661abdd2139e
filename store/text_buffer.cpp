#include "store/text_buffer.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace kv {

TextBuffer::TextBuffer(std::size_t capacity, std::size_t step) : step_(step) {
  if (capacity < SIZE_MAX) data_.reset(new (std::nothrow) char[capacity + 1]());
  if (data_) capacity_ = capacity;
}

int TextBuffer::Reserve(std::size_t more) {
  if (more > SIZE_MAX - 1 - length_) return 99;
  const std::size_t needed = length_ + more;
  if (needed <= capacity_ && data_) return 1;
  std::size_t capacity = capacity_;
  if (needed > capacity) {
    const std::size_t step = step_ ? step_ : 1;
    const std::size_t steps = (needed - capacity + step - 1) / step;
    if (steps > (SIZE_MAX - 1 - capacity) / step) return 99;
    capacity += steps * step;
  }
  std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity + 1]());
  if (!grown) return 99;
  if (length_) std::memcpy(grown.get(), data_.get(), length_);
  data_ = std::move(grown);
  capacity_ = capacity;
  return 1;
}

int TextBuffer::Append(std::string_view text) {
  if (Reserve(text.size()) != 1) return 99;
  if (!text.empty()) std::memcpy(data_.get() + length_, text.data(), text.size());
  length_ += text.size();
  data_[length_] = '\0';
  return 1;
}

int TextBuffer::AppendFormat(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  int result = 99;
  if (size >= 0 && Reserve(static_cast<std::size_t>(size)) == 1) {
    std::vsnprintf(data_.get() + length_, static_cast<std::size_t>(size) + 1, format, again);
    length_ += static_cast<std::size_t>(size);
    result = 1;
  }
  va_end(again);
  return result;
}

void TextBuffer::Clear() {
  if (data_) std::memset(data_.get(), 0, length_);
  length_ = 0;
}

}  // namespace kv
