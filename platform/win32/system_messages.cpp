// The system's message texts through FormatMessageW.

#include "platform/system.h"
#include "platform/win32/wide.h"

namespace kv {

std::optional<std::u16string> FormatSystemMessage(DWORD code, bool singleLine) {
  const ::DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                        (singleLine ? FORMAT_MESSAGE_MAX_WIDTH_MASK : 0);
  wchar_t* text = nullptr;
  const ::DWORD length = ::FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                          reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) {
    win32::LastFailure();
    return std::nullopt;
  }
  std::u16string message = win32::Utf16(std::wstring_view(text, length));
  ::LocalFree(text);
  return message;
}

}  // namespace kv
