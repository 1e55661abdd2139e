#pragma once
// A growable NUL-terminated text with which the store builds XML, SQL and
// printed texts. It is made with a capacity and a growth step (by default
// 10000 and 1000). An append that does not fit grows the capacity by the
// smallest whole number of steps that makes the text fit, into a new
// zero-filled buffer of capacity + 1 bytes. Operations answer 1, or 99 when
// memory runs out (the text is then unchanged).
//
// The capacity follows that rule exactly, but the storage under it grows at
// least twofold whenever it must move, so that a long text made of many
// small appends costs linear time whatever the step.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "base/text_format.h"
#include "store/store_results.h"

namespace kv {

class TextBuffer {
 public:
  static constexpr std::size_t kDefaultCapacity = 10000;
  static constexpr std::size_t kDefaultStep = 1000;

  // A step of 0 grows by exactly what an append needs. When the first
  // buffer cannot be allocated the capacity is 0 and appends grow it.
  explicit TextBuffer(std::size_t capacity = kDefaultCapacity, std::size_t step = kDefaultStep);
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;
  // The moved-from buffer is empty with capacity 0.
  TextBuffer(TextBuffer&& other) noexcept;
  TextBuffer& operator=(TextBuffer&& other) noexcept;

  [[nodiscard]] int Append(std::string_view text);
  [[nodiscard]] int AppendChar(char c) { return Append(std::string_view(&c, 1)); }
  [[nodiscard]] int AppendFormat(const char* format, ...) KV_PRINTF(2, 3);

  // Empties the text and keeps the capacity.
  void Clear();

  const char* data() const { return data_ ? data_.get() : ""; }
  std::size_t length() const { return length_; }
  std::size_t capacity() const { return capacity_; }
  std::size_t step() const { return step_; }
  std::string_view view() const { return std::string_view(data(), length_); }
  // A fresh copy of the text.
  std::string ToString() const { return std::string(view()); }

 private:
  // Makes room for `more` further bytes; 1 or 99.
  [[nodiscard]] int Reserve(std::size_t more);

  std::unique_ptr<char[]> data_;  // allocated_ bytes, zero beyond the text
  std::size_t allocated_ = 0;
  std::size_t length_ = 0;
  std::size_t capacity_ = 0;
  std::size_t step_;
};

}  // namespace kv
