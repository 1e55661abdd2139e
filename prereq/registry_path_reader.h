#pragma once
// Reads one registry value named by a full textual key path
// ("HKEY_LOCAL_MACHINE\SOFTWARE\...") and hands back its data as text,
// whatever its type.

#include <cstdint>
#include <string>

namespace kv {

// Results of GetRegKeyValue.
constexpr std::int8_t REGPATH_VALUE_READ = 2;
constexpr std::int8_t REGPATH_NO_VALUE_NAME = 1;
constexpr std::int8_t REGPATH_KEY_NOT_OPENED = -1;
constexpr std::int8_t REGPATH_VALUE_NOT_READ = -2;

// valueName "--" (any case) is the key's default value. view64 reads the
// native 64-bit view; otherwise the process's own view.
[[nodiscard]] std::int8_t GetRegKeyValue(const char* keyPath, const char* valueName, std::string& value, bool view64);

}  // namespace kv
