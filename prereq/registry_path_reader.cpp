#include "prereq/registry_path_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include "agent/registry_key_handle.h"
#include "base/log_writer.h"
#include "platform/registry.h"
#include "platform/unicode.h"

namespace kv {
namespace {

constexpr DWORD kInitialBufferSize = 1000;
constexpr std::size_t kRootNameBufferSize = 100;

struct RootName {
  const char* longName;
  const char* shortName;
  HKEY key;
};

// Matched in this order, exactly and with case.
const std::array<RootName, 6> kRoots{{
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", "HKU", HKEY_USERS},
    {"HKEY_DYN_DATA", "HKDD", HKEY_DYN_DATA},
}};

// The root key the path starts with (null when none matches) and the
// subkey after the first backslash.
HKEY SplitPath(const char* path, std::string_view& subKey) {
  subKey = {};
  if (!path) return nullptr;
  const std::string_view whole(path);
  const auto slash = whole.find('\\');
  const std::string_view root = whole.substr(0, slash);
  if (slash != std::string_view::npos) subKey = whole.substr(slash + 1);
  // The root name is held in a fixed buffer: one that does not fit with its
  // terminator names no root.
  if (root.size() >= kRootNameBufferSize) return nullptr;
  for (const auto& entry : kRoots)
    if (root == entry.longName || root == entry.shortName) return entry.key;
  return nullptr;
}

// The text of a value buffer up to its first NUL, never past the bytes read.
std::string TextOf(const std::vector<BYTE>& buffer, DWORD size) {
  const auto* chars = reinterpret_cast<const char*>(buffer.data());
  const std::size_t limit = std::min<std::size_t>(size, buffer.size());
  return std::string(chars, std::find(chars, chars + limit, '\0'));
}

}  // namespace

std::int8_t GetRegKeyValue(const char* keyPath, const char* valueName, std::string& value, bool view64) {
  std::vector<BYTE> buffer(kInitialBufferSize, 0);
  DWORD size = kInitialBufferSize;
  DWORD type = REG_DWORD;

  LogDebug("\t @@@@@@@@ Inside GetRegKeyValue Method @@@@@@@@\n");
  LogDebug("GetRegKeyValue : Key      : %s\n", LogText(keyPath));
  LogDebug("GetRegKeyValue : ValueName: %s\n", LogText(valueName));

  std::string_view subKey;
  const HKEY root = SplitPath(keyPath, subKey);
  RegistryKeyHandle key;  // closed on every way out
  const DWORD access = view64 ? (KEY_QUERY_VALUE | KEY_WOW64_64KEY) : KEY_QUERY_VALUE;
  // The subkey runs to the end of the path, so it is NUL-terminated.
  if (key.openKey(root, subKey.data(), access) != ERROR_SUCCESS) {
    LogDebug("GetRegKeyValue : Unable to open the key: %s\n", LogText(keyPath));
    value.clear();
    return REGPATH_KEY_NOT_OPENED;
  }

  if (!valueName || !*valueName) return REGPATH_NO_VALUE_NAME;

  std::string_view name(valueName);
  if (EqualsNoCase(name, std::string_view("--"))) {
    LogDebug("GetRegKeyValue : going to add the (default) value .\n");
    name = {};
  }

  // Only the type is wanted; when the value is missing the type stays
  // REG_DWORD and the read below reports the error.
  static_cast<void>(RegQueryValueExA(key.handle(), name, &type, nullptr, nullptr));

  const auto fail = [&](LONG code) {
    LogError("GetRegKeyValue : Query of Key %s and valueName is %s failed due to error: %d.\n", keyPath, valueName,
             static_cast<int>(code));
    value.clear();
    return REGPATH_VALUE_NOT_READ;
  };

  // Reads the value into the buffer; one retry with the size the system asks for.
  const auto read = [&](DWORD initialSize) -> LONG {
    size = initialSize;
    LONG rc = RegQueryValueExA(key.handle(), name, nullptr, buffer.data(), &size);
    if (rc != static_cast<LONG>(ERROR_MORE_DATA)) return rc;
    buffer.assign(size, 0);
    LogError("GetRegKeyValue : Query of Key %s and valueName is %s failed due to error: %d. So retrying!\n", keyPath,
             valueName, static_cast<int>(ERROR_MORE_DATA));
    return RegQueryValueExA(key.handle(), name, nullptr, buffer.data(), &size);
  };

  if (type == REG_DWORD) {
    const LONG rc = read(sizeof(DWORD));
    if (rc != ERROR_SUCCESS) return fail(rc);
    DWORD number = 0;
    std::memcpy(&number, buffer.data(), std::min<std::size_t>(sizeof number, buffer.size()));
    // The number is printed as the signed 32-bit value the system's long holds.
    value = std::to_string(static_cast<std::int32_t>(number));
    LogDebug("GetRegKeyValue : RegValue(dword) : %d RegValue String(hex) : %s\n", static_cast<int>(number),
             value.c_str());
    return REGPATH_VALUE_READ;
  }

  const LONG rc = read(kInitialBufferSize);
  if (rc != ERROR_SUCCESS) return fail(rc);
  value = TextOf(buffer, size);
  LogDebug("GetRegKeyValue : RegValue : %s RegValue String : %s\n", value.c_str(), value.c_str());
  return REGPATH_VALUE_READ;
}

}  // namespace kv
