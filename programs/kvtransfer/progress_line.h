#pragma once
// The progress of a long download on the terminal: bytes so far, the total
// and the rate, redrawn in place a few times a second.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kv::cli {

// A byte count as people read it ("12.3 MiB").
std::string SizeText(double bytes);

class ProgressLine {
 public:
  explicit ProgressLine(std::FILE* terminal) : terminal_(terminal) {}
  void Update(std::uint64_t received, std::uint64_t total);
  // Clears the line, if one was drawn.
  void Finish();

 private:
  using Clock = std::chrono::steady_clock;
  std::FILE* terminal_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point lastDrawn_{};
  bool drawn_ = false;
};

}  // namespace kv::cli
