#pragma once
// The calling thread's last error, as GetLastError/SetLastError keep it.
// Every platform call that fails records its code here as well as returning it.

#include "platform/win_types.h"

namespace kv {

DWORD GetLastError();
void SetLastError(DWORD code);

}  // namespace kv
