// The registry functions in their ANSI and wide forms, the same on every
// backend: names are converted to UTF-16 here, string data by the backend.
// Also the copying out of a queried value, alike on both backends.

#include "platform/registry.h"
#include "platform/registry_backend.h"
#include "platform/registry_copy_out.h"

#include <cstring>

#include "platform/unicode.h"

namespace kv {

using registry_backend::OpenOrCreate;
using registry_backend::QueryValue;
using registry_backend::SetValue;

LONG RegOpenKeyExA(HKEY key, std::string_view subKey, DWORD /*options*/, DWORD access, HKEY* result) {
  return OpenOrCreate(key, Utf8ToUtf16(subKey), access, false, result, nullptr);
}

LONG RegOpenKeyExW(HKEY key, std::u16string_view subKey, DWORD /*options*/, DWORD access, HKEY* result) {
  return OpenOrCreate(key, subKey, access, false, result, nullptr);
}

LONG RegCreateKeyExA(HKEY key, std::string_view subKey, DWORD /*options*/, DWORD access, HKEY* result,
                     DWORD* disposition) {
  return OpenOrCreate(key, Utf8ToUtf16(subKey), access, true, result, disposition);
}

LONG RegCreateKeyExW(HKEY key, std::u16string_view subKey, DWORD /*options*/, DWORD access, HKEY* result,
                     DWORD* disposition) {
  return OpenOrCreate(key, subKey, access, true, result, disposition);
}

LONG RegQueryValueExA(HKEY key, std::string_view name, DWORD* type, BYTE* data, DWORD* size) {
  return QueryValue(key, Utf8ToUtf16(name), true, type, data, size);
}

LONG RegQueryValueExW(HKEY key, std::u16string_view name, DWORD* type, BYTE* data, DWORD* size) {
  return QueryValue(key, name, false, type, data, size);
}

LONG RegSetValueExA(HKEY key, std::string_view name, DWORD type, const BYTE* data, DWORD size) {
  return SetValue(key, Utf8ToUtf16(name), type, data, size, true);
}

LONG RegSetValueExW(HKEY key, std::u16string_view name, DWORD type, const BYTE* data, DWORD size) {
  return SetValue(key, name, type, data, size, false);
}

LONG RegDeleteValueA(HKEY key, std::string_view name) { return RegDeleteValueW(key, Utf8ToUtf16(name)); }

LONG registry_backend::CopyValueOut(const std::vector<BYTE>& bytes, BYTE* data, DWORD* size) {
  if (size == nullptr) return ERROR_SUCCESS;
  const auto needed = static_cast<DWORD>(bytes.size());
  if (data != nullptr && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data != nullptr && needed > 0) std::memcpy(data, bytes.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

}  // namespace kv
