#pragma once
// Conversions between the agent's UTF-8 texts and the UTF-16 texts of the
// wide Windows interfaces, and small text operations. Every operation hands
// back a fresh value the caller owns.

#include <optional>
#include <string>

namespace kv {

// Null input: logs at ERROR and fails. The out value is cleared first.
bool ChangeUtf8ToWideStr(const char* utf8, std::u16string& out);
bool ChangeToWideStr(const char* utf8, std::u16string& out);
bool ChangeWideToUtf8Str(const char16_t* wide, std::string& out);
bool ChangeAnsiToUTF8Str(const char* text, std::string& out);

std::string ToLowerUtf8(const char* utf8);
std::string ReplaceChar(const char* text, char find, char replacement);
std::string ConcatStrings(const char* a, const char* b);
// Replaces every occurrence of oldText, found without regard to case; its
// messages go to standard output. Null input gives null.
std::optional<std::string> FindAndReplaceWithNoCase(const char* input, const char* oldText, const char* newText);
// The part after the last '\\' (resp. '/'); the whole text when there is none.
std::optional<std::string> GetLastFileName(const char* path);
std::optional<std::string> GetLastUrlFileName(const char* urlPath);

}  // namespace kv
