#pragma once
// The words of a cfennel command line. Words are separated by blanks
// (spaces and tabs); a value is one word or a text in double quotes, where
// \" stands for a quote; the criteria are the rest of the line as written.

#include <optional>
#include <string>
#include <string_view>

namespace kv {

// A command line without its blanks around it and a trailing ";": a
// statement ends where a shell user ends one.
std::string_view StatementOf(std::string_view line);

class CommandWords {
 public:
  explicit CommandWords(std::string_view line) : rest_(line) {}

  // The next word; empty at the end of the line.
  std::string_view Word();
  // The next value; null at the end of the line or when its quote is not
  // closed (unterminated() then tells).
  std::optional<std::string> Value();
  // The next "NAME=VALUE" (no blanks around "="): the name into name and
  // the value, one word or a text in double quotes; null at the end of the
  // line, without "=" or when the quote is not closed (unterminated()).
  std::optional<std::string> Assignment(std::string& name);
  // Whether only blanks are left.
  bool AtEnd();
  // What is left, without the blanks around it.
  std::string_view Rest();

  bool unterminated() const { return unterminated_; }

 private:
  void SkipBlanks();

  std::string_view rest_;
  bool unterminated_ = false;
};

}  // namespace kv
