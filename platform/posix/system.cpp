// Time, threads, the environment and process exit of the emulated machine.

#include "platform/system.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "platform/last_error.h"
#include "platform/posix/machine.h"
#include "platform/unicode.h"

namespace kv {
namespace {
constexpr DWORD ERROR_ENVVAR_NOT_FOUND = 203;
}  // namespace

SystemTime GetLocalTime() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  ::localtime_r(&now.tv_sec, &local);
  return SystemTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_wday, local.tm_mday,
                    local.tm_hour,        local.tm_min,     local.tm_sec,  static_cast<int>(now.tv_nsec / 1000000)};
}

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
  if (std::FILE* file = std::fopen(path.c_str(), "we")) {
    std::fprintf(file, "%u\n", static_cast<unsigned>(code));
    std::fclose(file);
  }
  std::exit(static_cast<int>(code & 0xFF));
}

}  // namespace kv
