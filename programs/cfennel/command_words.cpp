#include "command_words.h"

#include "platform/ascii.h"

namespace kv {
namespace {

constexpr auto IsBlank = ascii::IsSpaceOrTab<char>;

}  // namespace

std::string_view StatementOf(std::string_view line) {
  line = ascii::Trim(line, IsBlank);
  if (line.ends_with(';')) line = ascii::TrimRight(line.substr(0, line.size() - 1), IsBlank);
  return line;
}

void CommandWords::SkipBlanks() {
  while (!rest_.empty() && IsBlank(rest_.front())) rest_.remove_prefix(1);
}

std::string_view CommandWords::Word() {
  SkipBlanks();
  std::size_t length = 0;
  while (length < rest_.size() && !IsBlank(rest_[length])) ++length;
  const std::string_view word = rest_.substr(0, length);
  rest_.remove_prefix(length);
  return word;
}

std::optional<std::string> CommandWords::Value() {
  SkipBlanks();
  unterminated_ = false;
  if (rest_.empty()) return std::nullopt;
  if (rest_.front() != '"') return std::string(Word());
  std::string text;
  for (std::size_t i = 1; i < rest_.size(); ++i) {
    if (rest_[i] == '\\' && i + 1 < rest_.size() && rest_[i + 1] == '"') {
      text += '"';
      ++i;
    } else if (rest_[i] == '"') {
      rest_.remove_prefix(i + 1);
      return text;
    } else {
      text += rest_[i];
    }
  }
  unterminated_ = true;
  return std::nullopt;
}

std::optional<std::string> CommandWords::Assignment(std::string& name) {
  SkipBlanks();
  unterminated_ = false;
  std::size_t length = 0;
  while (length < rest_.size() && rest_[length] != '=' && !IsBlank(rest_[length])) ++length;
  if (length == 0 || length == rest_.size() || rest_[length] != '=') return std::nullopt;
  name = rest_.substr(0, length);
  rest_.remove_prefix(length + 1);
  if (rest_.empty() || IsBlank(rest_.front())) return std::string();
  return Value();
}

bool CommandWords::AtEnd() {
  SkipBlanks();
  return rest_.empty();
}

std::string_view CommandWords::Rest() {
  SkipBlanks();
  const std::string_view rest = ascii::TrimRight(rest_, IsBlank);
  rest_ = std::string_view();
  return rest;
}

}  // namespace kv
