#pragma once
// Conversions between the agent's UTF-8 texts and the UTF-16 texts of the
// wide Windows interfaces. Every operation hands back a fresh value the
// caller owns.

#include <string>

namespace kv {

// Null input: logs at ERROR and fails. The out value is cleared first, so a
// caller that takes a missing text for an empty one can ignore the result:
// any other input converts.
bool ChangeUtf8ToWideStr(const char* utf8, std::u16string& out);
bool ChangeToWideStr(const char* utf8, std::u16string& out);
bool ChangeWideToUtf8Str(const char16_t* wide, std::string& out);
bool ChangeAnsiToUTF8Str(const char* text, std::string& out);

}  // namespace kv
