#include "platform/posix/reg_text.h"

#include "platform/unicode.h"

namespace kv::posix {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// One code point of UTF-8 (or of the three-byte form of a surrogate) at
// bytes[i]; advances i. 0xFFFFFFFF for bytes that are not such a sequence.
char32_t DecodeOne(std::string_view bytes, std::size_t& i) {
  constexpr char32_t kInvalid = 0xFFFFFFFF;
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = at(i);
  if (lead < 0x80) return ++i, lead;
  int extra = 0;
  char32_t cp = 0, min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, cp = lead & 0x1F, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, cp = lead & 0x0F, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, cp = lead & 0x07, min = 0x10000;
  } else {
    return ++i, kInvalid;
  }
  if (i + extra >= bytes.size()) return ++i, kInvalid;
  for (int k = 1; k <= extra; ++k) {
    if (!IsContinuation(at(i + k))) return ++i, kInvalid;
    cp = (cp << 6) | (at(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF) return ++i, kInvalid;
  i += static_cast<std::size_t>(extra) + 1;
  return cp;
}

void AppendUnits(std::u16string& out, char32_t cp) {
  if (cp >= 0x10000) {
    out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
  } else {
    out += static_cast<char16_t>(cp);
  }
}

std::u16string Utf16LeUnitsOf(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return units;
}

// Cuts the bytes after the byte-order mark into lines; unit is the width of
// a code unit, and decode turns a line's bytes into its text.
template <class Decode>
void SplitLines(std::string_view bytes, std::size_t begin, std::size_t unit, Decode decode, RegText& text) {
  const auto isUnit = [&](std::size_t at, char c) { return bytes[at] == c && (unit == 1 || bytes[at + 1] == '\0'); };
  std::size_t start = begin;
  for (std::size_t at = begin; at + unit <= bytes.size(); at += unit) {
    if (!isUnit(at, '\n') && at + unit < bytes.size()) continue;
    const bool terminated = isUnit(at, '\n');
    const std::size_t end = at + unit;
    std::size_t contentEnd = terminated ? at : end;
    if (terminated && contentEnd >= start + unit && isUnit(contentEnd - unit, '\r')) contentEnd -= unit;
    if (text.lines.empty()) text.crlf = terminated && contentEnd != at;
    text.lines.push_back(RegLine{start, end, decode(bytes.substr(start, contentEnd - start))});
    start = end;
  }
}

}  // namespace

std::u16string DecodeUtf8Units(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const char32_t cp = DecodeOne(bytes, i);
    if (cp == 0xFFFFFFFF)
      out += kReplacement;
    else
      AppendUnits(out, cp);
  }
  return out;
}

std::string EncodeRegText(std::u16string_view units, RegEncoding encoding) {
  std::string out;
  if (encoding == RegEncoding::kUtf16Le) {
    out.reserve(units.size() * 2);
    for (char16_t u : units) {
      out += static_cast<char>(u & 0xFF);
      out += static_cast<char>(u >> 8);
    }
    return out;
  }
  // Runs of well-formed text convert as any text does; an unpaired
  // surrogate keeps its own three bytes.
  out.reserve(units.size());
  std::size_t run = 0;
  for (std::size_t i = 0; i <= units.size(); ++i) {
    const bool high = i < units.size() && units[i] >= 0xD800 && units[i] <= 0xDBFF;
    const bool low = i < units.size() && units[i] >= 0xDC00 && units[i] <= 0xDFFF;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      ++i;  // a pair: part of the run
      continue;
    }
    if (i < units.size() && !high && !low) continue;
    out += Utf16ToUtf8(units.substr(run, i - run));
    if (i < units.size()) {
      const char16_t u = units[i];
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
    run = i + 1;
  }
  return out;
}

std::string_view ByteOrderMark(RegEncoding encoding) {
  switch (encoding) {
    case RegEncoding::kUtf8WithBom: return "\xEF\xBB\xBF";
    case RegEncoding::kUtf16Le: return "\xFF\xFE";
    default: return "";
  }
}

std::optional<RegTextError> DecodeRegText(std::string_view bytes, RegText& text) {
  text = RegText{};
  if (bytes.starts_with("\xFE\xFF")) return RegTextError{1, "UTF-16 big-endian text is not supported"};
  if (bytes.starts_with("\xFF\xFE")) {
    text.encoding = RegEncoding::kUtf16Le;
    text.bodyBegin = 2;
    if ((bytes.size() - 2) % 2 != 0) {
      std::size_t lines = 1;
      for (char16_t u : Utf16LeUnitsOf(bytes.substr(2, bytes.size() - 3))) lines += u == u'\n';
      return RegTextError{lines, "the UTF-16 text ends in the middle of a character"};
    }
    SplitLines(bytes, 2, 2, Utf16LeUnitsOf, text);
    return std::nullopt;
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    text.encoding = RegEncoding::kUtf8WithBom;
    text.bodyBegin = 3;
  }
  SplitLines(bytes, text.bodyBegin, 1, DecodeUtf8Units, text);
  return std::nullopt;
}

}  // namespace kv::posix
