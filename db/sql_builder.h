#pragma once
// The growable text an SQL statement is written into, remembering whether
// any append ran out of memory so that a writer checks once at the end and
// never hands out part of a statement.

#include <cstdarg>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/failure_capture.h"
#include "base/text_format.h"
#include "store/text_buffer.h"

namespace kv {

class SqlBuilder {
 public:
  // Select texts start at 512 bytes and grow by 512.
  explicit SqlBuilder(std::size_t capacity = 512, std::size_t step = 512) : text_(capacity, step) {}

  SqlBuilder& operator<<(std::string_view text) {
    if (text_.Append(text) != STORE_SUCCESS) failed_ = true;
    return *this;
  }
  void AddFormat(const char* format, ...) KV_PRINTF(2, 3) {
    std::va_list args;
    va_start(args, format);
    const std::string text = FormatV(format, args);
    va_end(args);
    *this << text;
  }
  // The text, or nothing (logged) when memory ran out.
  std::optional<std::string> Take(const char* memoryMessage) const;

  [[nodiscard]] bool failed() const { return failed_; }
  std::string_view view() const { return text_.view(); }
  const char* c_str() const { return text_.data(); }
  std::size_t length() const { return text_.length(); }

 private:
  TextBuffer text_;
  bool failed_ = false;
};

// Runs a writer whose texts and lists allocate: memory running out anywhere
// in it gives nothing (logged), or a failing Status, never an exception to
// the caller.
void LogMemoryFailure();
template <class Write>
auto GuardMemory(Write write) -> decltype(write()) {
  try {
    return write();
  } catch (const std::bad_alloc&) {
    // A Status made empty would read as success.
    if constexpr (std::is_same_v<decltype(write()), Status>) {
      return LogFailure(Status::Code::kOutOfMemory, "MEMORY_ALLOCATION_FAILURE\n");
    } else {
      LogMemoryFailure();
      return {};
    }
  }
}

}  // namespace kv
