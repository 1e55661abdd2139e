#pragma once
// Whether the process's standard input is an interactive terminal (a
// console on Windows), so that a program reading commands knows whether to
// prompt for them.

namespace kv {

bool IsStandardInputTerminal();

}  // namespace kv
