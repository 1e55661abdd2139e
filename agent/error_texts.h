#pragma once
// Texts for Windows error codes, as they go into the log: the system's
// message where it has one, else the agent's own table.

#include <string>

#include "base/text_format.h"
#include "platform/win_types.h"

namespace kv {

// The text of the code; logs it (ERROR for a non-zero code, INFO for 0).
std::string GetErrorCodeText(DWORD code);
void LogErrorCodeText(DWORD code);
// The same from the system's narrow messages, trimmed; result 0.
int LogErrorCodeTextA(DWORD code);
// Logs the text of the calling thread's last error at ERROR.
void LogLastErrorText();
// How a failing call ends: its own line at ERROR, then the code's text
// (LogErrorCodeText); the result is the code, for the caller to return.
DWORD LogFailure(DWORD code, const char* format, ...) KV_PRINTF(2, 3);
// A failure the caller goes on after (a setting or a count not recorded):
// "Could not <what>." and the code's text when code is not 0, nothing else.
void NoteFailure(LONG code, const char* what);
// The agent's own text for codes the system has no message for.
std::string GetBuiltinErrorText(DWORD code);

}  // namespace kv
