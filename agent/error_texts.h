#pragma once
// Texts for Windows error codes, as they go into the log: the system's
// message where it has one, else the agent's own table.

#include <string>

#include "platform/win_types.h"

namespace kv {

// The text of the code; logs it (ERROR for a non-zero code, INFO for 0).
std::string GetErrorCodeText(DWORD code);
void LogErrorCodeText(DWORD code);
// The same from the system's narrow messages, trimmed; result 0.
int LogErrorCodeTextA(DWORD code);
// Logs the text of the calling thread's last error at ERROR.
void LogLastErrorText();
// The agent's own text for codes the system has no message for.
std::string GetBuiltinErrorText(DWORD code);

}  // namespace kv
