#include "platform/win32/wide.h"

#include "platform/unicode.h"

namespace kv::win32 {

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::wstring Wide(std::string_view utf8) { return Wide(Utf8ToUtf16(utf8)); }

std::u16string Utf16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

std::string Utf8(std::wstring_view text) { return Utf16ToUtf8(Utf16(text)); }

DWORD Fail(DWORD code) {
  ::SetLastError(code);
  return code;
}

DWORD LastFailure() {
  const DWORD code = ::GetLastError();
  return Fail(code != ERROR_SUCCESS ? code : ERROR_INVALID_FUNCTION);
}

}  // namespace kv::win32
