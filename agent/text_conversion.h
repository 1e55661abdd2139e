#pragma once
// Conversions between the agent's UTF-8 texts and the UTF-16 texts of the
// wide Windows interfaces. Every operation hands back a fresh value the
// caller owns.

#include <string>

namespace kv {

// Null input: logs at ERROR and fails. The out value is cleared first.
[[nodiscard]] bool ChangeUtf8ToWideStr(const char* utf8, std::u16string& out);
[[nodiscard]] bool ChangeToWideStr(const char* utf8, std::u16string& out);
[[nodiscard]] bool ChangeWideToUtf8Str(const char16_t* wide, std::string& out);
[[nodiscard]] bool ChangeAnsiToUTF8Str(const char* text, std::string& out);

}  // namespace kv
