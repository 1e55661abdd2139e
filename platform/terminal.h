#pragma once
// The process's standard streams: whether one is an interactive terminal (a
// console on Windows), so that a program reading commands knows whether to
// prompt for them and a program at work whether to show its progress; and
// standard output kept for a program's own data.

#include <cstdio>

namespace kv {

bool IsStandardInputTerminal();
bool IsStandardOutputTerminal();
bool IsStandardErrorTerminal();

// From the call on, an interrupt from the terminal (Ctrl+C) or a request to
// end the process (SIGTERM; a console's break or close event on Windows) no
// longer ends it: it is recorded for Interrupted(), and a read of standard
// input under way returns as at the end of the input. A program can then
// finish the step it is in and shut down in order.
void CatchInterrupts();
bool Interrupted();
// Forgets a recorded interrupt, once the program has acted on it (a prompt
// that cancelled the line being typed, a command that was stopped).
void ClearInterrupt();

// Returns a stream on the original standard output, and from then on
// whatever else the process prints to standard output goes to the stream
// elsewhere. Null on failure.
std::FILE* SeparateStandardOutput(std::FILE* elsewhere);

}  // namespace kv
