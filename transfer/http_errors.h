#pragma once
// WinHTTP error codes as the log tells them.

#include "platform/win_types.h"

namespace kv {

// Logs the text of a WinHTTP error code at ERROR; a code without a text of
// its own (outside 12001-12184, or one of the unused numbers) gets the
// system's text for it.
void HttpGetLastError(DWORD code);
// The agent's text of a WinHTTP error code; null when it has none.
const char* WinHttpErrorText(DWORD code);

}  // namespace kv
