#include "platform/terminal.h"

#include <io.h>

namespace kv {

bool IsStandardInputTerminal() { return _isatty(_fileno(stdin)) != 0; }

bool IsStandardErrorTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::FILE* SeparateStandardOutput(std::FILE* elsewhere) {
  std::fflush(stdout);
  const int data = ::_dup(_fileno(stdout));
  if (data < 0) return nullptr;
  if (!elsewhere || ::_dup2(_fileno(elsewhere), _fileno(stdout)) != 0) {
    ::_close(data);
    return nullptr;
  }
  std::FILE* stream = ::_fdopen(data, "w");
  if (!stream) ::_close(data);
  return stream;
}

}  // namespace kv
