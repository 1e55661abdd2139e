// The terminal's line editor is libedit, through its readline interface.

#include "platform/line_editor.h"

#include <editline/readline.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/terminal.h"

namespace kv {

struct LineEditor::State {
  std::string historyFile;  // empty: no home directory to keep it in
};

namespace {

// A long history costs a long start; this many lines are kept.
constexpr int kHistoryLines = 1000;

}  // namespace

LineEditor::LineEditor(const std::string& historyName) : state_(std::make_unique<State>()) {
  // The program's own interrupt handling stays: an interrupt makes the
  // read return, and the program decides what it cancels.
  rl_catch_signals = 0;
  using_history();
  stifle_history(kHistoryLines);
  if (const char* home = std::getenv("HOME"); home && *home) {
    state_->historyFile = std::string(home) + "/" + historyName;
    (void)read_history(state_->historyFile.c_str());  // none yet is fine
  }
}

LineEditor::~LineEditor() {
  if (!state_->historyFile.empty()) {
    (void)write_history(state_->historyFile.c_str());  // a history that cannot be kept is no failure
    (void)history_truncate_file(state_->historyFile.c_str(), kHistoryLines);
  }
}

LineEditor::Read LineEditor::ReadLine(const char* prompt, std::string& line) {
  line.clear();
  char* typed = readline(prompt);
  if (!typed) {
    if (Interrupted()) {
      ClearInterrupt();
      std::fputs("\n", stdout);
      return Read::kCancelled;
    }
    return Read::kEnd;
  }
  line = typed;
  std::free(typed);
  if (Interrupted()) {
    // Ctrl-C while the line was typed: the line is dropped.
    ClearInterrupt();
    line.clear();
    return Read::kCancelled;
  }
  if (!line.empty()) add_history(line.c_str());
  return Read::kLine;
}

}  // namespace kv
