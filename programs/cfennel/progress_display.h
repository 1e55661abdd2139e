#pragma once
// The progress of a long load or save on the terminal: the table and the
// rows done so far, redrawn in place a few times a second once the work has
// gone on for a moment, and cleared when it ends.

#include <chrono>
#include <cstdio>
#include <string>

#include "dbstore/table_load.h"

namespace kv {

class ProgressDisplay {
 public:
  explicit ProgressDisplay(std::FILE* terminal) : terminal_(terminal) {}
  void Show(const TableProgress& progress);
  // Clears the line, if one is drawn.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;
  std::FILE* terminal_;
  std::string current_;  // "<operation> <table>" of the work under way
  Clock::time_point started_{};
  Clock::time_point lastDrawn_{};
  bool drawn_ = false;
};

}  // namespace kv
