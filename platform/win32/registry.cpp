// The registry forwarded to advapi32. Names and string data cross the
// boundary as UTF-16: the W functions hand the stored bytes through, the A
// functions convert names and string data between UTF-8 and UTF-16 here (not
// through the narrow code page, which on Windows is not UTF-8), so that the
// agent's narrow text is UTF-8 on every platform. Windows' registry functions
// do not set the last error; the seam records every failure there.

#include "platform/registry.h"
#include "platform/registry_backend.h"
#include "platform/registry_copy_out.h"

#include <cstring>
#include <vector>

#include "platform/last_error.h"
#include "platform/unicode.h"
#include "platform/win32/wide.h"

namespace kv {
namespace {

using win32::Wide;

::HKEY Native(HKEY key) { return reinterpret_cast<::HKEY>(key); }

LONG Result(LONG code) {
  if (code != ERROR_SUCCESS) ::SetLastError(static_cast<DWORD>(code));
  return code;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

}  // namespace

namespace registry_backend {

LONG OpenOrCreate(HKEY key, std::u16string_view subKey, DWORD access, bool create, HKEY* result, DWORD* disposition) {
  if (result == nullptr) return Result(ERROR_INVALID_PARAMETER);
  *result = nullptr;
  const std::wstring name = Wide(subKey);
  ::HKEY opened = nullptr;
  LONG code;
  if (create) {
    ::DWORD created = 0;
    code = ::RegCreateKeyExW(Native(key), name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &opened,
                             &created);
    if (code == ERROR_SUCCESS && disposition) *disposition = static_cast<DWORD>(created);
  } else {
    code = ::RegOpenKeyExW(Native(key), name.c_str(), 0, access, &opened);
  }
  if (code != ERROR_SUCCESS) return Result(code);
  *result = reinterpret_cast<HKEY>(opened);
  return ERROR_SUCCESS;
}

// The value's type and stored bytes, read whole however it grows meanwhile.
}  // namespace registry_backend

namespace {

LONG ReadStored(HKEY key, const std::wstring& name, DWORD* type, std::vector<BYTE>* bytes) {
  ::DWORD size = 256;
  for (;;) {
    bytes->resize(size);
    ::DWORD storedType = 0;
    const LONG code = ::RegQueryValueExW(Native(key), name.c_str(), nullptr, &storedType, bytes->data(), &size);
    if (code == ERROR_MORE_DATA) continue;
    if (code != ERROR_SUCCESS) return code;
    bytes->resize(size);
    *type = static_cast<DWORD>(storedType);
    return ERROR_SUCCESS;
  }
}

// Stored UTF-16LE string data as the narrow functions hand it out: every
// unit converted, a terminator to a terminating 0 byte.
std::vector<BYTE> NarrowBytes(const std::vector<BYTE>& data) {
  std::u16string units(data.size() / 2, u'\0');
  std::memcpy(units.data(), data.data(), units.size() * 2);
  const std::string text = Utf16ToUtf8(units);
  return std::vector<BYTE>(text.begin(), text.end());
}

}  // namespace

namespace registry_backend {

LONG QueryValue(HKEY key, std::u16string_view name, bool narrow, DWORD* type, BYTE* data, DWORD* size) {
  if (data != nullptr && size == nullptr) return Result(ERROR_INVALID_PARAMETER);
  const std::wstring wideName = Wide(name);
  if (!narrow) {
    ::DWORD storedType = 0, capacity = size ? *size : 0;
    const LONG code =
        ::RegQueryValueExW(Native(key), wideName.c_str(), nullptr, &storedType, data, size ? &capacity : nullptr);
    if (code == ERROR_SUCCESS || code == ERROR_MORE_DATA) {
      if (type) *type = static_cast<DWORD>(storedType);
      if (size) *size = static_cast<DWORD>(capacity);
    }
    return Result(code);
  }
  DWORD storedType = 0;
  std::vector<BYTE> bytes;
  const LONG code = ReadStored(key, wideName, &storedType, &bytes);
  if (code != ERROR_SUCCESS) return Result(code);
  if (IsStringType(storedType)) bytes = NarrowBytes(bytes);
  if (type) *type = storedType;
  return Result(registry_backend::CopyValueOut(bytes, data, size));
}

LONG SetValue(HKEY key, std::u16string_view name, DWORD type, const BYTE* data, DWORD size, bool narrow) {
  if (data == nullptr && size != 0) return Result(ERROR_INVALID_PARAMETER);
  std::vector<BYTE> bytes(data, data + size);
  if (narrow && IsStringType(type)) {
    const std::u16string units =
        Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    bytes.resize(units.size() * 2);
    std::memcpy(bytes.data(), units.data(), bytes.size());
  }
  return Result(
      ::RegSetValueExW(Native(key), Wide(name).c_str(), 0, type, bytes.data(), static_cast<::DWORD>(bytes.size())));
}

}  // namespace registry_backend

LONG RegCloseKey(HKEY key) { return Result(::RegCloseKey(Native(key))); }

LONG RegDeleteValueW(HKEY key, std::u16string_view name) {
  return Result(::RegDeleteValueW(Native(key), Wide(name).c_str()));
}

LONG RegSetValuesA(HKEY key, std::span<const RegValueChange> changes) {
  // Windows' registry keeps each value as it is set and writes its hive
  // lazily: there is no rewrite per value to save, so the values go in order.
  for (const RegValueChange& change : changes) {
    const std::u16string name = Utf8ToUtf16(change.name);
    LONG code;
    if (change.remove) {
      code = ::RegDeleteValueW(Native(key), Wide(name).c_str());
      if (code == ERROR_FILE_NOT_FOUND) code = ERROR_SUCCESS;
    } else {
      code = registry_backend::SetValue(key, name, change.type, change.data, change.size, true);
    }
    if (code != ERROR_SUCCESS) return Result(code);
  }
  return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, std::string_view subKey) {
  return Result(::RegDeleteKeyW(Native(key), Wide(subKey).c_str()));
}

LONG RegEnumKeyA(HKEY key, DWORD index, std::string* name, DWORD nameCapacity) {
  if (name == nullptr) return Result(ERROR_INVALID_PARAMETER);
  // A key name has at most 255 characters.
  wchar_t buffer[256];
  ::DWORD length = 256;
  const LONG code = ::RegEnumKeyExW(Native(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (code != ERROR_SUCCESS) return Result(code);
  std::string text = win32::Utf8(std::wstring_view(buffer, length));
  if (text.size() + 1 > nameCapacity) return Result(ERROR_MORE_DATA);
  *name = std::move(text);
  return ERROR_SUCCESS;
}

}  // namespace kv
