// Time, threads, the environment and process exit through kernel32.

#include "platform/system.h"

#include <cstdio>

#include "platform/win32/wide.h"

namespace kv {
namespace {

SystemTime FromNative(const SYSTEMTIME& t) {
  return SystemTime{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace

SystemTime GetLocalTime() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return FromNative(now);
}

DWORD GetCurrentThreadId() { return ::GetCurrentThreadId(); }

DWORD GetCurrentProcessId() { return ::GetCurrentProcessId(); }

void Sleep(DWORD milliseconds) { ::Sleep(milliseconds); }

std::optional<std::string> GetEnvironmentVariable(std::string_view name) {
  const std::wstring wideName = win32::Wide(name);
  std::wstring value(64, L'\0');
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const ::DWORD length =
        ::GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<::DWORD>(value.size()));
    // An empty variable answers 0 with no error.
    if (length == 0 && ::GetLastError() != ERROR_SUCCESS) {
      win32::LastFailure();
      return std::nullopt;
    }
    if (length < value.size()) {
      value.resize(length);
      return win32::Utf8(value);
    }
    value.resize(length);  // the size needed, terminator included
  }
}

void ExitProcess(DWORD code) {
  std::fflush(nullptr);
  ::ExitProcess(code);
}

}  // namespace kv
