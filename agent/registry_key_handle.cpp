// A key held open across several reads and writes, with the view it was
// opened in, so that keys opened below it can ask for the same view.

#include "agent/registry_key_handle.h"

#include <cstring>

#include "base/text_format.h"

namespace kv {
namespace {

// A query that did not fit still reports the stored type, and a value of
// the wrong type is a wrong value whatever its size.
bool ReadType(LONG code) { return code == ERROR_SUCCESS || code == static_cast<LONG>(ERROR_MORE_DATA); }

}  // namespace

LONG RegistryKeyHandle::openKey(HKEY hive, const char* path, DWORD access) {
  HKEY opened = nullptr;
  const LONG code = RegOpenKeyExA(hive, Sv(path), 0, access, &opened);
  if (code != ERROR_SUCCESS) return code;  // the key held so far stays
  hold(opened, access);
  return ERROR_SUCCESS;
}

LONG RegistryKeyHandle::openKey(HKEY hive, std::u16string_view path, DWORD access) {
  HKEY opened = nullptr;
  const LONG code = RegOpenKeyExW(hive, path, 0, access, &opened);
  if (code != ERROR_SUCCESS) return code;
  hold(opened, access);
  return ERROR_SUCCESS;
}

void RegistryKeyHandle::hold(HKEY key, DWORD access) {
  (void)closeKey();  // a handle that held no key has nothing to close
  key_ = key;
  view_ = access & KEY_WOW64_RES;
}

LONG RegistryKeyHandle::closeKey() {
  LONG code = ERROR_SUCCESS;
  if (key_ != nullptr) code = RegCloseKey(key_);
  key_ = nullptr;
  view_ = 0;
  return code;
}

LONG RegistryKeyHandle::createKey(HKEY hive, const char* path, const char* /*keyClass*/, DWORD options, DWORD access,
                                  const void* /*security*/, DWORD* disposition) {
  // Keys are made without a class and with default security.
  HKEY created = nullptr;
  DWORD made = 0;
  const LONG code = RegCreateKeyExA(hive, Sv(path), options, access, &created, &made);
  if (code != ERROR_SUCCESS) return code;
  hold(created, access);
  if (disposition != nullptr) *disposition = made;
  return ERROR_SUCCESS;
}

LONG RegistryKeyHandle::queryDword(const char* name, DWORD& value) const {
  if (key_ == nullptr) return ERROR_INVALID_HANDLE;
  DWORD type = REG_NONE;
  BYTE data[sizeof(DWORD)] = {};
  DWORD size = sizeof data;
  const LONG code = RegQueryValueExA(key_, Sv(name), &type, data, &size);
  if (!ReadType(code)) return code;
  if (type != REG_DWORD) return ERROR_INVALID_DATA;
  if (code != ERROR_SUCCESS) return code;
  std::memcpy(&value, data, sizeof value);
  return ERROR_SUCCESS;
}

LONG RegistryKeyHandle::queryString(const char* name, char* buffer, DWORD& size) const {
  const DWORD capacity = size;
  size = 0;
  if (key_ == nullptr) return ERROR_INVALID_HANDLE;
  if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
  DWORD type = REG_NONE;
  DWORD read = capacity;
  const LONG code = RegQueryValueExA(key_, Sv(name), &type, reinterpret_cast<BYTE*>(buffer), &read);
  if (!ReadType(code)) return code;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  if (code != ERROR_SUCCESS) return code;
  if (read == 0) {
    if (capacity > 0) buffer[0] = '\0';
    return ERROR_SUCCESS;
  }
  if (read > capacity || buffer[read - 1] != '\0') return ERROR_INVALID_DATA;
  size = read;
  return ERROR_SUCCESS;
}

LONG RegistryKeyHandle::setString(const char* name, const char* text, DWORD type) const {
  if (text == nullptr) return ERROR_INVALID_DATA;
  if (key_ == nullptr) return ERROR_INVALID_HANDLE;
  const auto size = static_cast<DWORD>(std::strlen(text) + 1);
  return RegSetValueExA(key_, Sv(name), type, reinterpret_cast<const BYTE*>(text), size);
}

LONG RegistryKeyHandle::setDword(const char* name, DWORD value) const {
  if (key_ == nullptr) return ERROR_INVALID_HANDLE;
  // Stored little-endian, as Windows stores a REG_DWORD.
  const BYTE data[sizeof value] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                                   static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  return RegSetValueExA(key_, Sv(name), REG_DWORD, data, sizeof data);
}

}  // namespace kv
