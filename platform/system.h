#pragma once
// Time, threads, the environment and the system's message texts.

#include <optional>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kv {

struct SystemTime {
  int year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};

// The local time, as GetLocalTime gives it.
SystemTime GetLocalTime();
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
void Sleep(DWORD milliseconds);

// An environment variable of the machine; nullopt when it is not set.
std::optional<std::string> GetEnvironmentVariable(std::string_view name);

// The system's message text for an error code, as FormatMessage gives it
// from the system table; nullopt when the system has none. With singleLine
// (FormatMessage's maximum-width flag) the line breaks of the text become
// single blanks.
std::optional<std::u16string> FormatSystemMessage(DWORD code, bool singleLine);

// Ends the process with a Windows exit code. Where the host keeps only the
// low 8 bits of an exit status, the whole code is also recorded, so that the
// caller can read it (the emulated machine writes it to its "exit-code" file).
[[noreturn]] void ExitProcess(DWORD code);

}  // namespace kv
