#pragma once
// UTF-8 <-> UTF-16 conversion and the case folding Windows applies to
// registry names and file names. Pure computation: no operating system.

#include <string>
#include <string_view>

namespace kv {

// Invalid input sequences become U+FFFD, as MultiByteToWideChar and
// WideCharToMultiByte do with flags 0.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Locale-independent simple case mapping of one UTF-16 code unit (Latin,
// Latin-1, Latin Extended-A, Greek and Cyrillic ranges; others unchanged).
char16_t ToLowerChar(char16_t c);
char16_t ToUpperChar(char16_t c);
std::u16string ToLower(std::u16string_view text);

// Comparison without regard to case, as Windows compares key, value and
// file names.
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
bool EqualsNoCase(std::string_view utf8a, std::string_view utf8b);

}  // namespace kv
