#pragma once
// Conversions between texts and the stored form of column values (see
// store/stored_value.h), as the dictionary's defaults, the criteria literals,
// the table documents and the SQL texts use them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/stored_value.h"

namespace kv {

class MemoryPool;

// Strict decimal parses: an optional '+' or '-' and digits (ParseDouble: and
// an optional '.' with fraction digits; at least one digit in all). Any
// other text, and a number outside the result's range, gives 0.
[[nodiscard]] std::int32_t ParseInt32(std::string_view text);
std::int64_t ParseInt64(std::string_view text);
double ParseDouble(std::string_view text);

// The stored form of a converted text, made without allocating: fixed-width
// values live in the buffer itself, texts and raw bytes are a view of the
// converted text (terminated only where that text is). The value is null
// when the conversion gave none. Not copyable: the value may point into it.
class TypedValueBuffer {
 public:
  TypedValueBuffer() = default;
  TypedValueBuffer(const TypedValueBuffer&) = delete;
  TypedValueBuffer& operator=(const TypedValueBuffer&) = delete;

  const StoredValue& value() const { return value_; }
  // A value of up to 16 bytes copied into the buffer; a view of a text.
  void SetFixed(const void* bytes, std::int32_t length);
  void SetView(std::string_view text);
  void Clear() { value_ = StoredValue{}; }

 private:
  friend bool ParseTypedValue(std::string_view text, std::uint8_t type, TypedValueBuffer& out);

  alignas(8) char bytes_[16] = {};
  StoredValue value_;
};

// The conversion of ConvertToTypedValue into a buffer; false when it gives
// no value. Texts of codes 14, 15 and 22 end at their first NUL.
[[nodiscard]] bool ParseTypedValue(std::string_view text, std::uint8_t type, TypedValueBuffer& out);

// A fresh stored value of the type made from text, terminated by a NUL
// beyond its length, or null:
//   0, 12, 13, 20, 21  the first `length` bytes of text (length is in/out)
//   1-6                ParseInt32, stored at the type's width
//   7, 8               ParseInt64, 8 bytes
//   9, 11 / 10         ParseDouble as a float / a double
//   14, 15, 22         the text; length becomes its length
//   16, 17, 18         ConvertStringToTarnDateTime; length 11
//   19                 "TRUE" 1, "FALSE" 0 (any case), else null; length 1
//   above 22           null
OwnedValue ConvertToTypedValue(const char* text, std::int32_t& length, std::uint8_t type);

// Room for the longest display text of a fixed-width value ("%f" of the
// largest double).
struct ValueTextBuffer {
  char text[400];
};

// The display text of a stored value, as a view of the value itself (texts)
// or of scratch: "NULL" for a null value; the decimal value of the integer
// codes (unsigned for 2, 4, 6, 8); "%f" for 9, 10, 11; the bytes of 12-15
// and 20-22; the date/time text for 16-18 (by the value's length); "'t'" or
// "'f'" for 19. Null for code 0, codes above 22 and date/time values of an
// unknown length.
std::optional<std::string_view> TypedValueText(const char* value, std::int32_t length, std::uint8_t type,
                                               ValueTextBuffer& scratch);
std::optional<std::string> ConvertTypedValueToText(const char* value, std::int32_t length, std::uint8_t type);

// The text of a value inside an SQL statement, allocated in pool: the
// display text for codes 1-11 and 19, the text itself for 12-15, and null
// for a null value, for codes 0, 16-18 and 20 and above (the SQL generator
// writes those itself) and when the pool runs out of memory.
const char* ConvertTypedValueToSqlText(const char* value, std::int32_t length, std::uint8_t type, MemoryPool& pool);

}  // namespace kv
