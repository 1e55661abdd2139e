#pragma once
// Conversions between texts and the store's typed values.

namespace kv {

// A checked decimal parse: every character a digit, except that the first
// may be '-' or '+'; the empty text is valid (0). Invalid text gives -1.
int StringToInt(const char* text);

}  // namespace kv
