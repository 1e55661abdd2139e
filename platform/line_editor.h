#pragma once
// Lines a person types at a terminal: with editing (arrows, Home, End,
// Ctrl-R) and a history that lasts from one session to the next, kept in a
// file of the person's home directory. On Windows the console edits the
// line and keeps the session's history itself.

#include <memory>
#include <optional>
#include <string>

namespace kv {

class LineEditor {
 public:
  // historyName names the history file in the home directory
  // (".cfennel_history"); the history is read now and written back when
  // the editor goes.
  explicit LineEditor(const std::string& historyName);
  ~LineEditor();
  LineEditor(const LineEditor&) = delete;
  LineEditor& operator=(const LineEditor&) = delete;

  enum class Read { kLine, kCancelled, kEnd };
  // Shows the prompt and reads one line into line, without its end:
  // kCancelled when an interrupt (Ctrl-C) cancelled the line being typed
  // (the interrupt is taken: Interrupted() is false again), kEnd at the end
  // of the input (Ctrl-D on an empty line).
  Read ReadLine(const char* prompt, std::string& line);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kv
