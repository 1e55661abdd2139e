#pragma once
// Decimal text to a number, as the store converts its values and the
// checker reads its numeric flags.

namespace kv {

// A checked decimal parse: every character a digit, except that the first
// may be '-' or '+'; the empty text is valid (0). Invalid text gives -1.
[[nodiscard]] int StringToInt(const char* text);

}  // namespace kv
