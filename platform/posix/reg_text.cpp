#include "platform/posix/reg_text.h"

#include "platform/unicode.h"

namespace kv::posix {
namespace {

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
  // A UTF-8 line's units, an unpaired surrogate kept as the unit its three
  // bytes encode.
  const auto decode = [](std::string_view line) { return Utf8ToUtf16(line, BadUtf8::kReplaceByteKeepSurrogates); };
  SplitLines(bytes, text.bodyBegin, 1, decode, text);
  return std::nullopt;
}

}  // namespace kv::posix
