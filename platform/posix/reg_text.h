#pragma once
// The text of a registry file as its lines: each line's place in the file's
// bytes, so that a line can be written back exactly as it stood, and its
// characters as UTF-16 code units, the registry's own unit. Decoding loses
// nothing a name or a string can hold: an unpaired surrogate is kept as the
// unit it is, in a UTF-16LE file as its two bytes and in a UTF-8 file as the
// three bytes of its code point.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::posix {

enum class RegEncoding { kUtf8, kUtf8WithBom, kUtf16Le };

struct RegLine {
  std::size_t begin = 0;  // the line's bytes in the file, its line end included
  std::size_t end = 0;
  std::u16string text;  // without the line end
};

struct RegText {
  RegEncoding encoding = RegEncoding::kUtf8;
  std::size_t bodyBegin = 0;  // after the byte-order mark
  bool crlf = false;          // the first line ends with CR LF: new lines do too
  std::vector<RegLine> lines;
};

struct RegTextError {
  std::size_t line = 0;
  std::string message;
};

// Splits the bytes of a file (UTF-8 with or without BOM, or UTF-16LE with
// BOM) into lines. A line ends at LF; a CR before it is part of the line end.
std::optional<RegTextError> DecodeRegText(std::string_view bytes, RegText& text);

// Code units in a file's encoding (no byte-order mark).
std::string EncodeRegText(std::u16string_view units, RegEncoding encoding);

// The byte-order mark a file of that encoding starts with.
std::string_view ByteOrderMark(RegEncoding encoding);

}  // namespace kv::posix
