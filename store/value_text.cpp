#include "store/value_text.h"

#include <cstring>
#include <new>

#include "base/log_writer.h"

namespace kv {
namespace {

int SignedByte(char c) { return static_cast<signed char>(c); }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

template <class Fold>
int CompareTexts(const char* a, const char* b, Fold fold) {
  if (!a && !b) return 0;
  if (!a) return -1;
  if (!b) return 1;
  while (*a && fold(*a) == fold(*b)) {
    ++a;
    ++b;
  }
  return SignedByte(fold(*a)) - SignedByte(fold(*b));
}

}  // namespace

OwnedText CopyText(std::string_view text) {
  OwnedText copy(new (std::nothrow) char[text.size() + 1]());
  if (copy && !text.empty()) std::memcpy(copy.get(), text.data(), text.size());
  return copy;
}

std::uint8_t AllocateAndSetString(OwnedText& out, const char* text) {
  out = CopyText(text ? std::string_view(text) : std::string_view());
  return out ? STORE_SUCCESS : STORE_NO_MEMORY;
}

std::uint8_t AllocateAndSetStringN(OwnedText& out, const char* bytes, std::size_t n) {
  out = CopyText(bytes ? std::string_view(bytes, n) : std::string_view());
  if (out) return STORE_SUCCESS;
  LogError("Unable to allocate memory\n");
  return STORE_NO_MEMORY;
}

std::uint8_t ReallocateAndSetString(OwnedText& value, const char* text) {
  value.reset();
  if (!text) return STORE_SUCCESS;
  value = CopyText(text);
  if (value) return STORE_SUCCESS;
  LogError("Unable to allocate memory\n");
  return STORE_NO_MEMORY;
}

std::size_t SafeStrLen(const char* text) { return text ? std::strlen(text) : 0; }

char* SafeStrCpy(char* dst, std::size_t dstSize, const char* src) {
  if (!src || !dst) return nullptr;
  const std::size_t length = std::strlen(src);
  if (length >= dstSize) {
    if (dstSize > 0) dst[0] = '\0';
    return nullptr;
  }
  std::memcpy(dst, src, length + 1);
  return dst;
}

int SafeStrCmp(const char* a, const char* b) {
  return CompareTexts(a, b, [](char c) { return c; });
}

int SafeStrICmp(const char* a, const char* b) { return CompareTexts(a, b, LowerAscii); }

bool AsciiEqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

const char* SubString(const char* text, const char* part) {
  if (!text || !part || !*part) return nullptr;
  const std::size_t textLength = std::strlen(text);
  const std::size_t partLength = std::strlen(part);
  if (partLength > textLength) return nullptr;
  for (std::size_t i = 0; i + partLength <= textLength; ++i) {
    if (text[i] == part[0] && std::memcmp(text + i, part, partLength) == 0) return text + i;
  }
  return nullptr;
}

bool FindSubString(const char* text, const char* part) { return SubString(text, part) != nullptr; }

bool IsStringMatched(const char* text, std::size_t len, const char* item, std::size_t itemLen) {
  if (!text || !item) return false;
  const std::string_view wanted(item, itemLen);
  std::string_view rest(text, len);
  while (true) {
    const std::size_t comma = rest.find(',');
    if (rest.substr(0, comma) == wanted) return true;
    if (comma == std::string_view::npos) return false;
    rest.remove_prefix(comma + 1);
  }
}

int GetIndex(const char* bytes, int n, char c) {
  if (!bytes) return -1;
  for (int i = 0; i < n; ++i) {
    if (bytes[i] == c) return i;
  }
  return -1;
}

}  // namespace kv
