// The thread's last error is Windows' own: whatever a backend call left
// there is what the agent's code reads.

#include "platform/last_error.h"

#include "platform/win32/windows_api.h"

namespace kv {

DWORD GetLastError() { return ::GetLastError(); }

void SetLastError(DWORD code) { ::SetLastError(code); }

}  // namespace kv
