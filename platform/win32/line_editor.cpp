// The console edits the line and keeps the session's history (arrows, F7):
// a line is read as the console hands it over.

#include "platform/line_editor.h"

#include <cstdio>
#include <iostream>

#include "platform/terminal.h"

namespace kv {

struct LineEditor::State {};

LineEditor::LineEditor(const std::string&) : state_(std::make_unique<State>()) {}

LineEditor::~LineEditor() = default;

LineEditor::Read LineEditor::ReadLine(const char* prompt, std::string& line) {
  std::fputs(prompt, stdout);
  std::fflush(stdout);
  line.clear();
  const bool read = static_cast<bool>(std::getline(std::cin, line));
  if (Interrupted()) {
    ClearInterrupt();
    std::cin.clear();
    std::fputs("\n", stdout);
    line.clear();
    return Read::kCancelled;
  }
  if (!read) return Read::kEnd;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return Read::kLine;
}

}  // namespace kv
