#include "platform/unicode.h"

#include <cstdint>

namespace kv {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the code point whose sequence begins at text[i] and advances i
// past the bytes consumed; what a bad sequence consumes is the policy's.
char32_t DecodeUtf8(std::string_view text, std::size_t& i, BadUtf8 bad) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return ++i, lead;
  std::size_t extra;
  char32_t cp;
  char32_t min;
  // C0, C1 and F5 to F7 lead only sequences that come out overlong or past
  // U+10FFFF: taking them as leads lets one check reject those.
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, min = 0x10000;
  } else {
    return ++i, kReplacement;
  }
  std::size_t length = 1;  // the bytes of the sequence read
  bool wellFormed = true;
  for (; length <= extra; ++length) {
    if (i + length >= text.size() || (byte(i + length) & 0xC0) != 0x80) {
      wellFormed = false;
      break;
    }
    cp = (cp << 6) | (byte(i + length) & 0x3F);
  }
  if (wellFormed) {
    const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
    wellFormed = cp >= min && cp <= 0x10FFFF && !(surrogate && bad == BadUtf8::kReplaceSequence);
  }
  if (wellFormed) {
    i += length;
    return cp;
  }
  i += bad == BadUtf8::kReplaceSequence ? length : 1;
  return kReplacement;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text, BadUtf8 bad) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char32_t cp = DecodeUtf8(text, i, bad);
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;  // a lone surrogate
    }
    AppendUtf8(out, cp);
  }
  return out;
}

char16_t ToLowerChar(char16_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 32) : c;
  // Latin-1 capitals, except the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  // Latin Extended-A: capitals at even code points, with the odd-paired runs.
  if (c >= 0x100 && c <= 0x137) return (c % 2 == 0) ? static_cast<char16_t>(c + 1) : c;
  if (c >= 0x139 && c <= 0x148) return (c % 2 == 1) ? static_cast<char16_t>(c + 1) : c;
  if (c >= 0x14A && c <= 0x177) return (c % 2 == 0) ? static_cast<char16_t>(c + 1) : c;
  if (c == 0x178) return 0xFF;
  if (c >= 0x179 && c <= 0x17E) return (c % 2 == 1) ? static_cast<char16_t>(c + 1) : c;
  // Greek capitals.
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);
  // Cyrillic capitals.
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
  return c;
}

char16_t ToUpperChar(char16_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? static_cast<char16_t>(c - 32) : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
  if (c == 0xFF) return 0x178;
  if (c >= 0x101 && c <= 0x137) return (c % 2 == 1) ? static_cast<char16_t>(c - 1) : c;
  if (c >= 0x13A && c <= 0x148) return (c % 2 == 0) ? static_cast<char16_t>(c - 1) : c;
  if (c >= 0x14B && c <= 0x177) return (c % 2 == 1) ? static_cast<char16_t>(c - 1) : c;
  if (c >= 0x17A && c <= 0x17E) return (c % 2 == 0) ? static_cast<char16_t>(c - 1) : c;
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return static_cast<char16_t>(c - 32);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
  return c;
}

std::u16string ToLower(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) c = ToLowerChar(c);
  return out;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && ToUpperChar(a[i]) != ToUpperChar(b[i])) return false;
  return true;
}

bool EqualsNoCase(std::string_view utf8a, std::string_view utf8b) {
  return EqualsNoCase(Utf8ToUtf16(utf8a), Utf8ToUtf16(utf8b));
}

}  // namespace kv
