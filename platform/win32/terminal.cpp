#include "platform/terminal.h"

#include <io.h>

#include <atomic>

#include "platform/win32/windows_api.h"

namespace kv {
namespace {

std::atomic<bool> interrupted{false};

BOOL WINAPI RecordInterrupt(::DWORD) {
  interrupted = true;
  // Handled: the process goes on to shut down in order (a console being
  // closed still ends it when its time runs out).
  return TRUE;
}

}  // namespace

void CatchInterrupts() { ::SetConsoleCtrlHandler(RecordInterrupt, TRUE); }

bool Interrupted() { return interrupted.load(); }

void ClearInterrupt() { interrupted.store(false); }

bool IsStandardInputTerminal() { return _isatty(_fileno(stdin)) != 0; }

bool IsStandardOutputTerminal() { return _isatty(_fileno(stdout)) != 0; }

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
