#pragma once
// Null-safe text helpers of the store: copies into fresh zero-filled
// allocations owned by the caller, comparisons, substring search and a few
// byte-list checks. Allocating helpers answer 1, or 99 when memory runs out.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "store/store_results.h"

namespace kv {

// A NUL-terminated text the holder owns.
using OwnedText = std::unique_ptr<char[]>;

// A zero-filled copy of the bytes with a terminator after them; null when
// memory runs out.
OwnedText CopyText(std::string_view text);

// out = a copy of text (the empty text for null); 1, or 99 with out null.
[[nodiscard]] std::uint8_t AllocateAndSetString(OwnedText& out, const char* text);
// out = n bytes of text, terminated; 1, or 99 with "Unable to allocate memory\n".
[[nodiscard]] std::uint8_t AllocateAndSetStringN(OwnedText& out, const char* bytes, std::size_t n);
// Replaces value by a copy of text (null for null); 1, or 99 with
// "Unable to allocate memory\n" (the old value is then gone).
[[nodiscard]] std::uint8_t ReallocateAndSetString(OwnedText& value, const char* text);

std::size_t SafeStrLen(const char* text);
// Copies src with its terminator into dst, a buffer of dstSize bytes. Null
// when src is null or does not fit (dst then holds the empty text when it
// has room for it); otherwise dst.
char* SafeStrCpy(char* dst, std::size_t dstSize, const char* src);

// Both null: 0; only a null: -1; only b null: 1; otherwise the difference of
// the first differing bytes, taken as signed bytes.
[[nodiscard]] int SafeStrCmp(const char* a, const char* b);
// The same with ASCII letters compared without regard to case.
[[nodiscard]] int SafeStrICmp(const char* a, const char* b);
// ASCII case-insensitive equality of two views.
[[nodiscard]] bool AsciiEqualsNoCase(std::string_view a, std::string_view b);

// The first occurrence of part in text, or null (also for a null or empty
// part, or one longer than the text).
const char* SubString(const char* text, const char* part);
[[nodiscard]] bool FindSubString(const char* text, const char* part);

// Splits len bytes of text at ',' and reports whether one item is exactly
// the itemLen bytes of item.
[[nodiscard]] bool IsStringMatched(const char* text, std::size_t len, const char* item, std::size_t itemLen);
// Index of the first byte equal to c within n bytes, or -1.
[[nodiscard]] int GetIndex(const char* bytes, int n, char c);

}  // namespace kv
