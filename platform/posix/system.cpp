// Time, threads, the environment and process exit of the emulated machine.

#include "platform/system.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "platform/last_error.h"
#include "platform/posix/image_files.h"
#include "platform/posix/machine.h"
#include "platform/unicode.h"

namespace kv {
namespace {
constexpr DWORD ERROR_ENVVAR_NOT_FOUND = 203;
}  // namespace

DWORD GetCurrentThreadId() {
  // The kernel's id of the thread, the number tools such as top show.
  return static_cast<DWORD>(::gettid());
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0)
    std::this_thread::yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::optional<std::string> GetEnvironmentVariable(std::string_view name) {
  const auto& environment = posix::MachineValue("/environment");
  if (environment.is_object()) {
    for (const auto& [key, value] : environment.items()) {
      // Windows compares variable names without regard to case.
      if (value.is_string() && EqualsNoCase(std::string_view(key), name)) return value.get<std::string>();
    }
  }
  SetLastError(ERROR_ENVVAR_NOT_FOUND);
  return std::nullopt;
}

void ExitProcess(DWORD code) {
  std::fflush(nullptr);
  // The host keeps only the low 8 bits of an exit status; the whole code
  // goes to the image so that whoever started the program can read it.
  const std::string path = posix::Machine().directory + "/exit-code";
  const int fd = posix::OpenImageFile(path, O_WRONLY | O_CREAT | O_TRUNC);
  if (fd >= 0) {
    const std::string text = std::to_string(code) + "\n";
    static_cast<void>(::write(fd, text.data(), text.size()));
    ::close(fd);
  }
  std::exit(static_cast<int>(code & 0xFF));
}

}  // namespace kv
