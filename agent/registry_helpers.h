#pragma once
// The agent's registry helpers: each opens the key it needs, does one thing,
// closes the key and returns the Windows error code of the step that failed.
// The plain family addresses the process's own view (the 32-bit view on
// 64-bit Windows, where the agent keeps its settings); the Ex family adds
// KEY_WOW64_64KEY when gv_IsWow64 is set, to reach the native view.
// A value name of "--" (any case) is the key's default value; value data of
// "--" is empty data.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/registry.h"

namespace kv {

// On success out holds the value as text; out is reset first and holds the
// (possibly empty) buffer also when the second query fails.
[[nodiscard]] LONG ReadRegSZ(HKEY hive, const char* keyPath, const char* valueName, std::optional<std::string>& out);
[[nodiscard]] LONG ReadRegSZEx(HKEY hive, const char* keyPath, const char* valueName,
                               std::optional<std::u16string>& out);
// value is written only on success.
[[nodiscard]] LONG ReadDwordRegistryData(HKEY hive, const char* keyPath, const char* valueName, DWORD& value);

[[nodiscard]] LONG addRegistryKey(HKEY hive, const char* keyPath);
[[nodiscard]] LONG addRegistryKeyEx(HKEY hive, const char* keyPath);
[[nodiscard]] LONG writeValue(HKEY hive, const char* keyPath, const char* valueName, const char* valueData, DWORD type);
[[nodiscard]] LONG writeValueEx(HKEY hive, const char* keyPath, const char* valueName, const char* valueData, DWORD type);
[[nodiscard]] LONG deleteValue(HKEY hive, const char* keyPath, const char* valueName);
[[nodiscard]] LONG deleteValue(HKEY hive, const char16_t* keyPath, const char16_t* valueName);
[[nodiscard]] bool deleteRegistryKeyTree(HKEY parent, const char* subKey);

// '^' escapes the next character, ';' ends a string; two NULs close the list.
std::u16string BuildMultiString(std::u16string_view text);
std::uint64_t ParseDecimalQword(const char* utf8);

}  // namespace kv
