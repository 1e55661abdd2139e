#pragma once
// The stored form of a column value given as text in a table document,
// made without allocating: fixed-width values live in the buffer, texts are
// views of the given text (AddNewRow copies them into the table). Unlike
// the conversions of store/typed_value.h, integers of every width take 4
// bytes and dates and times their own short forms, as table documents
// store them.

#include <cstdint>
#include <string_view>

#include "store/typed_value.h"

namespace kv {

// By column type: 1-6 a decimal integer in 4 bytes; 7, 8 one in 8 bytes;
// 9 a float, 10 a double; 14, 15, 22 the text; 16 "%d-%d-%d" as a date (4
// bytes), 17 "%d:%d:%d" as a time (3), 18 "%d-%d-%d %d:%d:%d" as a
// date-time (11); 19 0 for "false" (any case), else 1. Codes 0, 11, 12, 13,
// 20 and 21, a date or time out of range, a text holding a NUL byte and a
// null text give no value (false); the last two are logged.
[[nodiscard]] bool AllocateAndCopyColumnValue(const char* text, std::size_t length, std::uint8_t type, TypedValueBuffer& out);

}  // namespace kv
