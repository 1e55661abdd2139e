#pragma once
// What the registry backends share once they have a value's bytes: handing
// them to the caller's buffer as RegQueryValueEx does. Portable, defined in
// registry_forwarders.cpp.

#include <vector>

#include "platform/win_types.h"

namespace kv::registry_backend {

// With size null nothing is copied; with data null *size is set to the
// bytes' size; a buffer *size says is too small is left untouched, and gets
// *size set to the size needed and ERROR_MORE_DATA. Sets no last error: that
// is the backend's, which records failures its own way.
[[nodiscard]] LONG CopyValueOut(const std::vector<BYTE>& bytes, BYTE* data, DWORD* size);

}  // namespace kv::registry_backend
