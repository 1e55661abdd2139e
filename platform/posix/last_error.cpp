#include "platform/last_error.h"

namespace kv {
namespace {
// Each thread keeps its own last error, as Windows does.
thread_local DWORD lastError = ERROR_SUCCESS;
}  // namespace

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD code) { lastError = code; }

}  // namespace kv
