#pragma once
// Broken-down times of the HTTP date forms: month names, the three forms a
// server's date header comes in, and the order of two times.

#include <ctime>
#include <optional>

namespace kv {

// "Jan" ... "Dec" (any case) -> 0 ... 11; anything else -1.
[[nodiscard]] int ParseMonth(const char* name);
// Tries "%s %d %s %d %d:%d:%d %s" (Sun, 06 Nov 1994 08:49:37 GMT), then
// "%s %d-%3s-%d %d:%d:%d %s" (Sunday, 06-Nov-94 08:49:37 GMT), then
// "%s %s %d %d:%d:%d %d" (Sun Nov  6 08:49:37 1994). The year is stored as
// year - 1900 for the first and third forms and as written for the second.
// Null when no form matches or the month is unknown.
std::optional<std::tm> ParseDateTime(const char* text);
// 1 when a is later than b (year down to seconds), else 0.
[[nodiscard]] int CompareTime(const std::tm& a, const std::tm& b);

}  // namespace kv
