#pragma once
// UTF-8 <-> UTF-16 conversion and the case folding Windows applies to
// registry names and file names. Pure computation: no operating system.

#include <string>
#include <string_view>

namespace kv {

// What decoding UTF-8 makes of bytes that are not well-formed UTF-8: an
// interrupted or truncated sequence, an overlong form, a code point past
// U+10FFFF, a byte that cannot begin a sequence, or an encoded surrogate.
enum class BadUtf8 {
  // Each ill-formed sequence becomes one U+FFFD, however many of its bytes
  // were read; an encoded surrogate is one too, as UTF-16 cannot hold it
  // alone.
  kReplaceSequence,
  // Each byte that does not begin a well-formed sequence becomes a U+FFFD
  // of its own, and decoding goes on at the next byte; an encoded surrogate
  // (the three bytes of its code point) is the UTF-16 unit it stands for.
  // The registry file is read so, for an unpaired surrogate written to it to
  // read back as the same name or string.
  kReplaceByteKeepSurrogates,
};

// Invalid input sequences become U+FFFD, as MultiByteToWideChar and
// WideCharToMultiByte do with flags 0; bad says how many a bad sequence
// makes and what becomes of an encoded surrogate.
std::u16string Utf8ToUtf16(std::string_view text, BadUtf8 bad = BadUtf8::kReplaceSequence);
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
