#include "agent/base64.h"

#include "platform/ascii.h"

namespace kv {
namespace {

int SextetOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::optional<std::string> Base64Decode(std::string_view text) {
  text = ascii::Trim(text, ascii::IsWhiteSpace<char>);
  if (text.size() % 4 != 0) return std::nullopt;

  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t group = 0; group < text.size(); group += 4) {
    const std::string_view g = text.substr(group, 4);
    // Padding may stand only in the last one or two places of a group.
    const std::size_t padding = g[3] != '=' ? 0 : g[2] != '=' ? 1 : 2;
    unsigned bits = 0;
    for (std::size_t i = 0; i < 4 - padding; ++i) {
      const int sextet = SextetOf(g[i]);
      if (sextet < 0) return std::nullopt;
      bits |= static_cast<unsigned>(sextet) << (18 - 6 * i);
    }
    out.push_back(static_cast<char>(bits >> 16));
    if (padding < 2) out.push_back(static_cast<char>((bits >> 8) & 0xFF));
    if (padding < 1) out.push_back(static_cast<char>(bits & 0xFF));
    if (padding > 0) break;
  }
  return out;
}

}  // namespace kv
