#pragma once
// A bounded scanner for the fixed text forms the store reads ("%d-%d-%d",
// "%s %d %s %d %d:%d:%d %s", ...). It follows the C library's scanf rules
// for the conversions it knows, but never writes past a field and rejects a
// number that does not fit an int instead of leaving its value undefined:
//   %d   optional blanks, an optional sign and at least one digit -> int*
//   %s   optional blanks and a run of non-blank bytes -> std::string*
//   %Ns  the same, at most N bytes -> std::string*
//   %c   exactly the next byte, blank or not -> char*
//   a blank in the format skips any run of blanks in the text (also none);
//   any other byte must be the next byte of the text.
// The scan stops at the first mismatch; trailing text is ignored. The result
// is the number of fields filled, as scanf counts them.

#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace kv {

using ScanField = std::variant<int*, std::string*, char*>;

[[nodiscard]] int ScanText(std::string_view text, std::string_view format, std::span<const ScanField> fields);

template <class... Out>
[[nodiscard]] int Scan(std::string_view text, std::string_view format, Out*... outs) {
  const ScanField fields[] = {ScanField(outs)...};
  return ScanText(text, format, fields);
}

}  // namespace kv
