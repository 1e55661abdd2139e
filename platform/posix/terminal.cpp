#include "platform/terminal.h"

#include <signal.h>
#include <unistd.h>

namespace kv {
namespace {

volatile sig_atomic_t interrupted = 0;

void RecordInterrupt(int) { interrupted = 1; }

}  // namespace

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = RecordInterrupt;
  sigemptyset(&action.sa_mask);
  // Without SA_RESTART: a blocked read of the input returns.
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return interrupted != 0; }

void ClearInterrupt() { interrupted = 0; }

bool IsStandardInputTerminal() { return isatty(STDIN_FILENO) == 1; }

bool IsStandardOutputTerminal() { return isatty(STDOUT_FILENO) == 1; }

bool IsStandardErrorTerminal() { return isatty(STDERR_FILENO) == 1; }

std::FILE* SeparateStandardOutput(std::FILE* elsewhere) {
  std::fflush(stdout);
  const int data = ::dup(STDOUT_FILENO);
  if (data < 0) return nullptr;
  if (!elsewhere || ::dup2(::fileno(elsewhere), STDOUT_FILENO) < 0) {
    ::close(data);
    return nullptr;
  }
  std::FILE* stream = ::fdopen(data, "w");
  if (!stream) ::close(data);
  return stream;
}

}  // namespace kv
