#pragma once
// The process's standard streams: whether one is an interactive terminal (a
// console on Windows), so that a program reading commands knows whether to
// prompt for them and a program at work whether to show its progress; and
// standard output kept for a program's own data.

#include <cstdio>

namespace kv {

bool IsStandardInputTerminal();
bool IsStandardErrorTerminal();

// Returns a stream on the original standard output, and from then on
// whatever else the process prints to standard output goes to the stream
// elsewhere. Null on failure.
std::FILE* SeparateStandardOutput(std::FILE* elsewhere);

}  // namespace kv
