#pragma once
// The backend's boundary with the Windows API: the seam's UTF-16 text as
// wchar_t (both 16 bits on Windows), UTF-8 names and paths as wide text, and
// failures recorded as the thread's last error, which on Windows is
// GetLastError's own.

#include <string>
#include <string_view>

#include "platform/win32/windows_api.h"
#include "platform/win_types.h"

namespace kv::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 units");

std::wstring Wide(std::u16string_view text);
std::wstring Wide(std::string_view utf8);
std::u16string Utf16(std::wstring_view text);
std::string Utf8(std::wstring_view text);

// Records code as the thread's last error and returns it.
DWORD Fail(DWORD code);
// The thread's last error after a failed Windows call, recorded again (so
// that a call made on the way out cannot change it) and returned.
DWORD LastFailure();

}  // namespace kv::win32
