#include "platform/terminal.h"

#include <unistd.h>

namespace kv {

bool IsStandardInputTerminal() { return isatty(STDIN_FILENO) == 1; }

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
