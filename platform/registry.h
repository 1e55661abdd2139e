#pragma once
// The Windows registry as the agent uses it: keys opened in a view, values
// read and written as typed bytes. The A functions take UTF-8 names and, for
// the string types, convert the data between UTF-16 (as stored) and UTF-8, as
// the narrow registry API converts to the narrow code page. The W functions
// hand the stored bytes through unchanged.
//
// Every function returns a Windows error code (ERROR_SUCCESS on success) and
// records a failure as the thread's last error.

#include <span>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kv {

struct RegistryKeyObject;
using HKEY = RegistryKeyObject*;

// Predefined roots, with the values Windows gives them.
HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000});
HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001});
HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});
HKEY const HKEY_USERS = reinterpret_cast<HKEY>(std::uintptr_t{0x80000003});
HKEY const HKEY_CURRENT_CONFIG = reinterpret_cast<HKEY>(std::uintptr_t{0x80000005});
HKEY const HKEY_DYN_DATA = reinterpret_cast<HKEY>(std::uintptr_t{0x80000006});

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights and view flags.
constexpr DWORD KEY_QUERY_VALUE = 0x0001;
constexpr DWORD KEY_SET_VALUE = 0x0002;
constexpr DWORD KEY_CREATE_SUB_KEY = 0x0004;
constexpr DWORD KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr DWORD KEY_WOW64_64KEY = 0x0100;
constexpr DWORD KEY_WOW64_32KEY = 0x0200;
constexpr DWORD KEY_WOW64_RES = 0x0300;
constexpr DWORD KEY_READ = 0x20019;
constexpr DWORD KEY_WRITE = 0x20006;
constexpr DWORD KEY_ALL_ACCESS = 0xF003F;

// Create dispositions.
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opening and creating. An empty subkey opens the key itself (a new handle).
// Without a view flag the process's own view applies: the 32-bit view for a
// 32-bit process on 64-bit Windows.
[[nodiscard]] LONG RegOpenKeyExA(HKEY key, std::string_view subKey, DWORD options, DWORD access, HKEY* result);
[[nodiscard]] LONG RegOpenKeyExW(HKEY key, std::u16string_view subKey, DWORD options, DWORD access, HKEY* result);
[[nodiscard]] LONG RegCreateKeyExA(HKEY key, std::string_view subKey, DWORD options, DWORD access, HKEY* result,
                                   DWORD* disposition);
[[nodiscard]] LONG RegCreateKeyExW(HKEY key, std::u16string_view subKey, DWORD options, DWORD access, HKEY* result,
                                   DWORD* disposition);
LONG RegCloseKey(HKEY key);

// Reading. data may be null to learn type and size. With a buffer too small
// the result is ERROR_MORE_DATA and *size receives the size needed. An empty
// name is the key's default value.
[[nodiscard]] LONG RegQueryValueExA(HKEY key, std::string_view name, DWORD* type, BYTE* data, DWORD* size);
[[nodiscard]] LONG RegQueryValueExW(HKEY key, std::u16string_view name, DWORD* type, BYTE* data, DWORD* size);

// Writing (persisted at once).
[[nodiscard]] LONG RegSetValueExA(HKEY key, std::string_view name, DWORD type, const BYTE* data, DWORD size);
[[nodiscard]] LONG RegSetValueExW(HKEY key, std::u16string_view name, DWORD type, const BYTE* data, DWORD size);

// One value of RegSetValuesA: set to the data given, or removed.
struct RegValueChange {
  std::string_view name;  // UTF-8; string data is UTF-8 too, as RegSetValueExA takes it
  DWORD type = REG_NONE;
  const BYTE* data = nullptr;
  DWORD size = 0;
  bool remove = false;  // a value that is not there is no failure
};

// Several values of one key changed as one update. On the emulated machine
// they reach registry.reg in one rewrite, so that another reader, or a
// process killed meanwhile, finds all of them changed or none, and a failure
// changes none. Windows keeps each value as it is written (its registry
// writes lazily and never rewrites a hive per value), so there they are set
// in order and the first failure ends the update.
[[nodiscard]] LONG RegSetValuesA(HKEY key, std::span<const RegValueChange> changes);

// Deleting. RegDeleteKey removes a key without subkeys (ERROR_ACCESS_DENIED
// when it has some, as Windows answers).
[[nodiscard]] LONG RegDeleteValueA(HKEY key, std::string_view name);
[[nodiscard]] LONG RegDeleteValueW(HKEY key, std::u16string_view name);
[[nodiscard]] LONG RegDeleteKeyA(HKEY key, std::string_view subKey);

// Enumerating subkeys by index; ERROR_NO_MORE_ITEMS past the last one. The
// name must fit nameCapacity characters including a terminator, else
// ERROR_MORE_DATA.
[[nodiscard]] LONG RegEnumKeyA(HKEY key, DWORD index, std::string* name, DWORD nameCapacity = 260);

}  // namespace kv
