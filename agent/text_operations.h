#pragma once
// Small text operations of the agent: lower-casing, character replacement,
// concatenation, a case-insensitive replace-all and file-name extraction.
// Every operation hands back a fresh value the caller owns.

#include <optional>
#include <string>

namespace kv {

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
