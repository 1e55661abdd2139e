#pragma once
// ASCII text helpers for every layer, over narrow and UTF-16 texts alike.
// Two meanings of "blank" are kept apart on purpose: the formats of the wire
// and of the registry file allow only spaces and tabs, while the agent's
// own texts take every white-space character C's isspace knows.

#include <cstddef>
#include <string_view>
#include <type_traits>

namespace kv::ascii {

// A space or a tab: the blank of HTTP header lines, the registry file and
// the command lines of the programs.
template <class Char>
constexpr bool IsSpaceOrTab(Char c) {
  return c == Char(' ') || c == Char('\t');
}

// Space, tab, line feed, vertical tab, form feed or carriage return.
template <class Char>
constexpr bool IsWhiteSpace(Char c) {
  return c == Char(' ') || (c >= Char('\t') && c <= Char('\r'));
}

template <class Char>
constexpr Char ToLower(Char c) {
  return c >= Char('A') && c <= Char('Z') ? Char(c - Char('A') + Char('a')) : c;
}

// The text without the characters blank accepts at its start and its end.
template <class Char, class Blank>
constexpr std::basic_string_view<Char> TrimLeft(std::basic_string_view<Char> text, Blank blank) {
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  return text;
}
template <class Char, class Blank>
constexpr std::basic_string_view<Char> TrimRight(std::basic_string_view<Char> text, Blank blank) {
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}
template <class Char, class Blank>
constexpr std::basic_string_view<Char> Trim(std::basic_string_view<Char> text, Blank blank) {
  return TrimRight(TrimLeft(text, blank), blank);
}

// Whether text begins with prefix, ASCII letters compared without case.
template <class Char>
constexpr bool StartsWithNoCase(std::basic_string_view<Char> text,
                                std::type_identity_t<std::basic_string_view<Char>> prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (ToLower(text[i]) != ToLower(prefix[i])) return false;
  return true;
}

// The value of a hexadecimal digit, -1 for any other character.
template <class Char>
constexpr int HexDigitValue(Char c) {
  if (c >= Char('0') && c <= Char('9')) return static_cast<int>(c - Char('0'));
  if (c >= Char('a') && c <= Char('f')) return static_cast<int>(c - Char('a')) + 10;
  if (c >= Char('A') && c <= Char('F')) return static_cast<int>(c - Char('A')) + 10;
  return -1;
}

}  // namespace kv::ascii
