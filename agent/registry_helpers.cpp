// The agent's registry helpers. Each opens the key it needs, does one thing,
// closes the key again and returns the Windows error code of the step that
// failed; every step is traced, since support staff read these lines.

#include "agent/registry_helpers.h"

#include <cstring>
#include <vector>

#include "agent/agent_settings.h"
#include "agent/error_texts.h"
#include "agent/registry_key_handle.h"
#include "agent/text_conversion.h"
#include "base/log_writer.h"
#include "base/text_format.h"
#include "platform/unicode.h"

namespace kv {
namespace {

// The extended family reaches the native view of a 64-bit machine.
DWORD ExtendedAccess() { return KEY_ALL_ACCESS | (Agent().gv_IsWow64 != 0 ? KEY_WOW64_64KEY : 0); }

// ---- reading strings ----

// Learns the value's size, hands over a buffer five zero bytes larger and
// reads into it: the spare zeros terminate data stored without its NUL.
// query is RegQueryValueExA or RegQueryValueExW bound to the value name.
template <typename Query>
LONG ReadStringData(const char* operation, HKEY key, Query query, std::vector<BYTE>& buffer) {
  DWORD type = REG_SZ;
  DWORD size = 0;
  LONG code = query(key, &type, nullptr, &size);
  if (code != ERROR_SUCCESS) return code;  // absence is ordinary: callers supply defaults
  buffer.assign(static_cast<std::size_t>(size) + 5, 0);
  code = query(key, &type, buffer.data(), &size);
  if (code != ERROR_SUCCESS) LogError("%s: Error while reading DWORD value! %d \n", operation, code);
  return code;
}

// ---- writing values ----

// What tells writeValue and writeValueEx apart.
struct WriteFamily {
  const char* name;             // the prefix of every log text
  bool extendedTypes;           // REG_BINARY as UTF-8 bytes, strtoul DWORDs, REG_MULTI_SZ lists, REG_QWORD
  bool missingArgumentIsError;  // null name or data: logged at ERROR rather than INFO
  DWORD access;
  LONG (*addKey)(HKEY, const char*);
};

// A decimal number as the C runtime reads one: blanks, a sign, digits.
struct DecimalPrefix {
  bool negative = false;
  std::uint64_t magnitude = 0;  // saturates just above 32 bits
};

template <typename Char>
DecimalPrefix ReadDecimal(const Char* text) {
  DecimalPrefix result;
  const auto isBlank = [](Char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (isBlank(*text)) ++text;
  if (*text == '+' || *text == '-') result.negative = *text++ == '-';
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (result.magnitude <= 0xFFFFFFFFu) result.magnitude = result.magnitude * 10 + (*text - '0');
  }
  return result;
}

// _wtol: a 32-bit signed number, clamped on overflow.
std::int32_t WideToLong(const std::u16string& text) {
  const DecimalPrefix n = ReadDecimal(text.c_str());
  if (n.negative) return n.magnitude >= 0x80000000u ? INT32_MIN : -static_cast<std::int32_t>(n.magnitude);
  return n.magnitude > 0x7FFFFFFFu ? INT32_MAX : static_cast<std::int32_t>(n.magnitude);
}

// strtoul with base 10 where unsigned long has 32 bits, as on Windows.
std::uint32_t Utf8ToUlong(const char* text) {
  const DecimalPrefix n = ReadDecimal(text);
  if (n.magnitude > 0xFFFFFFFFu) return 0xFFFFFFFFu;
  const auto value = static_cast<std::uint32_t>(n.magnitude);
  return n.negative ? 0u - value : value;
}

// Registry data is little-endian, as Windows stores it.
template <typename Unsigned>
std::vector<BYTE> LittleEndian(Unsigned value) {
  std::vector<BYTE> bytes(sizeof(Unsigned));
  for (std::size_t i = 0; i < sizeof(Unsigned); ++i) bytes[i] = static_cast<BYTE>(value >> (8 * i));
  return bytes;
}

std::vector<BYTE> WideBytes(std::u16string_view units) {
  std::vector<BYTE> bytes;
  bytes.reserve(units.size() * 2);
  for (const char16_t unit : units) {
    bytes.push_back(static_cast<BYTE>(unit & 0xFF));
    bytes.push_back(static_cast<BYTE>(unit >> 8));
  }
  return bytes;
}

// The bytes stored for a type code. text is the converted wide data, utf8 the
// caller's data (empty for the "--" marker); the size line is logged here.
std::vector<BYTE> ValueBytes(const WriteFamily& family, DWORD type, const std::u16string& text, const char* utf8) {
  std::u16string terminated = text;
  terminated.push_back(u'\0');
  std::vector<BYTE> bytes;
  if (type == REG_SZ || type == REG_EXPAND_SZ || (type == REG_BINARY && !family.extendedTypes)) {
    bytes = WideBytes(terminated);
    LogDebug("%s:  Data type is REG_SZ or REG_EXPAND_SZ or REG_BINARY: %d\n", family.name,
             static_cast<int>(bytes.size()));
  } else if (type == REG_BINARY) {
    bytes.assign(utf8, utf8 + std::strlen(utf8) + 1);
    LogDebug("%s:  Data type is REG_BINARY: %d\n", family.name, static_cast<int>(bytes.size()));
  } else if (type == REG_DWORD) {
    bytes = family.extendedTypes ? LittleEndian(Utf8ToUlong(utf8))
                                 : LittleEndian(static_cast<std::uint32_t>(WideToLong(text)));
    LogDebug("%s:  REG_DWORD -- sizeOfInputData: %d\n", family.name, static_cast<int>(bytes.size()));
  } else if (type == REG_MULTI_SZ) {
    // The plain family stores the text as a one-string list: its terminator
    // and the list's closing NUL.
    bytes = WideBytes(family.extendedTypes ? BuildMultiString(text) : terminated + u'\0');
    LogDebug("%s:  Data type is REG_MULTI_SZ: %d\n", family.name, static_cast<int>(bytes.size()));
  } else if (type == REG_QWORD && family.extendedTypes) {
    bytes = LittleEndian(ParseDecimalQword(utf8));
    LogDebug("%s:  REG_QWORD -- sizeOfInputData: %d\n", family.name, static_cast<int>(bytes.size()));
  } else {
    // The first four bytes of the text; a shorter text is padded with zeros
    // rather than read past.
    bytes = WideBytes(terminated);
    bytes.resize(4, 0);
  }
  return bytes;
}

LONG WriteValueIn(const WriteFamily& family, HKEY hive, const char* keyPath, const char* valueName,
                  const char* valueData, DWORD type) {
  const char* op = family.name;
  LogDebug("@@@@@@@@ Inside %s Method @@@@@@@@ \n", op);
  if (valueName == nullptr || valueData == nullptr) {
    if (family.missingArgumentIsError) {
      LogError("%s : Valuename or Valuedata is Empty \n", op);
    } else {
      LogInfo("%s : Valuename or Valuedata is Empty \n", op);
    }
    return ERROR_INVALID_DATA;
  }
  LogDebug("%s: Subkey : %s \n", op, LogText(keyPath));
  LogDebug("%s: Value Name: %s \n", op, valueName);
  LogDebug("%s: Value Data: %s \n", op, valueData);

  std::u16string name;
  std::u16string data;
  (void)ChangeUtf8ToWideStr(valueName, name);  // both texts were checked above: neither is null
  (void)ChangeUtf8ToWideStr(valueData, data);
  if (EqualsNoCase(name, u"--")) {
    name.clear();
    LogInfo("%s : going to add the (default) value .\n", op);
  }
  const bool emptyData = data == u"--";
  if (emptyData) {
    data.clear();
    LogInfo("%s : going to add the value data as 0 value .\n", op);
  }
  // The marker means empty data for the types read from the UTF-8 text too.
  const std::vector<BYTE> bytes = ValueBytes(family, type, data, emptyData ? "" : valueData);

  LONG code = family.addKey(hive, keyPath);
  if (code != ERROR_SUCCESS) {
    LogError("%s:  WriteValue failure during key creation! %d \n", op, code);
    return code;
  }
  RegistryKeyHandle key;
  code = key.openKey(hive, keyPath, family.access);
  if (code != ERROR_SUCCESS) return LogFailure(code, "%s:  Key open failure! %d \n", op, code);
  LogDebug("%s:  Key found ...!: %d\n", op, 0);
  LogDebug("%s:  After addRegistryKey method in writeValue method!!\n", op);
  code = RegSetValueExW(key.handle(), name, type, bytes.data(), static_cast<DWORD>(bytes.size()));
  if (code == ERROR_SUCCESS) {
    LogErrorCodeText(0);
    (void)key.closeKey();  // an open key closes
    LogDebug("@@@@@@@@ End Of %s Method @@@@@@@@ \n", op);
    return ERROR_SUCCESS;
  }
  LogError("%s:  Function WriteValue failure!:%d\n", op, code);
  LogError("%s:    Subkey: %s \n", op, LogText(keyPath));
  LogError("%s:    Valuename: %s \n", op, Utf16ToUtf8(name).c_str());
  LogError("%s:    Valuedata: %s \n", op, Utf16ToUtf8(data).c_str());
  return LogFailure(code, "%s:    Datatype: %d \n", op, static_cast<int>(type));
}

// ---- keys ----

LONG AddKeyIn(const char* op, DWORD access, HKEY hive, const char* keyPath) {
  LogDebug("%s: Inside addRegistryKey method ...... \n", op);
  RegistryKeyHandle key;  // the key is only made to exist
  DWORD disposition = 0;
  const LONG code = key.createKey(hive, keyPath, nullptr, 0, access, nullptr, &disposition);
  if (code != ERROR_SUCCESS)
    return LogFailure(code, "%s:  Create registry key \"%s\" function failed: %d \n", op, LogText(keyPath), code);
  if (disposition == REG_OPENED_EXISTING_KEY) {
    LogDebug("%s:  Opened already existing key! \n", op);
  } else {
    LogDebug("%s:  Create registry key function successfull: %d \n", op, static_cast<int>(disposition));
  }
  return ERROR_SUCCESS;
}

// Both deleteValue variants: the narrow one arrives here converted.
LONG DeleteValueIn(HKEY hive, std::u16string_view keyPath, std::u16string_view valueName) {
  const std::string keyText = Utf16ToUtf8(keyPath);
  const std::string nameText = Utf16ToUtf8(valueName);
  if (EqualsNoCase(valueName, u"--")) {
    valueName = {};
    LogInfo("deleteValue : going to delete the (default) value .\n");
  }
  RegistryKeyHandle key;
  const LONG openCode = key.openKey(hive, keyPath, KEY_ALL_ACCESS);
  if (openCode != ERROR_SUCCESS) {
    LogError("deleteValue:  %s Key not found!: %d  \n", keyText.c_str(), openCode);
    LogLastErrorText();
    return openCode;
  }
  LogInfo("deleteValue:  Key found ...!: %d\n", 0);
  const LONG code = RegDeleteValueW(key.handle(), valueName);
  if (code == ERROR_SUCCESS) {
    LogInfo("deleteValue:  Delete value %s success! \n", nameText.c_str());
    return ERROR_SUCCESS;
  }
  LogError("deleteValue:  Delete value %s failure! \n", nameText.c_str());
  (void)key.closeKey();
  LogLastErrorText();
  return code;
}

}  // namespace

LONG ReadRegSZ(HKEY hive, const char* keyPath, const char* valueName, std::optional<std::string>& out) {
  out.reset();
  RegistryKeyHandle key;
  const LONG openCode = key.openKey(hive, keyPath, KEY_QUERY_VALUE);
  if (openCode != ERROR_SUCCESS) {
    LogError("ReadRegSZ: Error while opening registry key %s ,and the error is  %d \n", LogText(keyPath), openCode);
    return openCode;
  }
  const std::string_view name = Sv(valueName);
  std::vector<BYTE> buffer;
  const LONG code = ReadStringData(
      "ReadRegSZ", key.handle(),
      [name](HKEY k, DWORD* type, BYTE* data, DWORD* size) { return RegQueryValueExA(k, name, type, data, size); },
      buffer);
  if (!buffer.empty()) out = std::string(reinterpret_cast<const char*>(buffer.data()));
  return code;
}

LONG ReadRegSZEx(HKEY hive, const char* keyPath, const char* valueName, std::optional<std::u16string>& out) {
  out.reset();
  std::u16string name;
  (void)ChangeUtf8ToWideStr(valueName, name);  // a null name is the key's default value
  RegistryKeyHandle key;
  const LONG openCode = key.openKey(hive, keyPath, KEY_QUERY_VALUE);
  if (openCode != ERROR_SUCCESS) {
    LogError("ReadRegSZEx: Error while opening registry key : %s \n", LogText(keyPath));
    return openCode;
  }
  std::vector<BYTE> buffer;
  const LONG code = ReadStringData(
      "ReadRegSZEx", key.handle(),
      [&name](HKEY k, DWORD* type, BYTE* data, DWORD* size) { return RegQueryValueExW(k, name, type, data, size); },
      buffer);
  if (!buffer.empty()) {
    // UTF-16LE up to its first NUL; the spare zero bytes guarantee one.
    std::u16string text;
    for (std::size_t i = 0; i + 1 < buffer.size(); i += 2) {
      const auto unit = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
      if (unit == u'\0') break;
      text.push_back(unit);
    }
    out = std::move(text);
  }
  return code;
}

LONG ReadDwordRegistryData(HKEY hive, const char* keyPath, const char* valueName, DWORD& value) {
  RegistryKeyHandle key;
  const LONG openCode = key.openKey(hive, keyPath, KEY_QUERY_VALUE);
  if (openCode == static_cast<LONG>(ERROR_FILE_NOT_FOUND)) {
    LogDebug("ReadDwordRegistryData:  value  %s Not found: %d \n", LogText(valueName), openCode);
    return openCode;
  }
  if (openCode != ERROR_SUCCESS) {
    LogError("ReadDwordRegistryData: Error while opening registry key %s,and the errorcode is : %d \n",
             LogText(keyPath), openCode);
    return openCode;
  }
  // The stored type is not checked; shorter data overwrites only its own bytes.
  DWORD read = value;
  DWORD size = sizeof read;
  const LONG code = RegQueryValueExA(key.handle(), Sv(valueName), nullptr, reinterpret_cast<BYTE*>(&read), &size);
  if (code == ERROR_SUCCESS) {
    value = read;
  } else if (code == static_cast<LONG>(ERROR_FILE_NOT_FOUND)) {
    LogDebug("ReadDwordRegistryData:  value  %s Not found: %d \n", LogText(valueName), code);
  } else {
    LogError("ReadDwordRegistryData: Error while reading DWORD value of %s : %d \n", LogText(valueName), code);
  }
  return code;
}

LONG addRegistryKey(HKEY hive, const char* keyPath) {
  return AddKeyIn("addRegistryKey", KEY_ALL_ACCESS, hive, keyPath);
}

LONG addRegistryKeyEx(HKEY hive, const char* keyPath) {
  return AddKeyIn("addRegistryKeyEx", ExtendedAccess(), hive, keyPath);
}

LONG writeValue(HKEY hive, const char* keyPath, const char* valueName, const char* valueData, DWORD type) {
  const WriteFamily family{"writeValue", false, false, KEY_ALL_ACCESS, addRegistryKey};
  return WriteValueIn(family, hive, keyPath, valueName, valueData, type);
}

LONG writeValueEx(HKEY hive, const char* keyPath, const char* valueName, const char* valueData, DWORD type) {
  const WriteFamily family{"writeValueEx", true, true, ExtendedAccess(), addRegistryKeyEx};
  return WriteValueIn(family, hive, keyPath, valueName, valueData, type);
}

LONG deleteValue(HKEY hive, const char* keyPath, const char* valueName) {
  LogDebug("deleteValue: Inside function deleteValue ..... \n");
  return DeleteValueIn(hive, Utf8ToUtf16(Sv(keyPath)), Utf8ToUtf16(Sv(valueName)));
}

LONG deleteValue(HKEY hive, const char16_t* keyPath, const char16_t* valueName) {
  LogDebug("deleteValue: Inside function deleteValue ..... subkey : %s, Valuename : %s \n",
           Utf16ToUtf8(Sv(keyPath)).c_str(), Utf16ToUtf8(Sv(valueName)).c_str());
  return DeleteValueIn(hive, Sv(keyPath), Sv(valueName));
}

bool deleteRegistryKeyTree(HKEY parent, const char* subKey) {
  // An empty name would address the parent itself and wipe everything below it.
  if (subKey == nullptr || *subKey == '\0') return false;
  RegistryKeyHandle key;
  if (key.openKey(parent, subKey, KEY_ALL_ACCESS) == ERROR_SUCCESS) {
    std::string child;
    while (RegEnumKeyA(key.handle(), 0, &child, 260) == ERROR_SUCCESS) {
      if (!deleteRegistryKeyTree(key.handle(), child.c_str())) return false;
    }
    (void)key.closeKey();
  }
  return RegDeleteKeyA(parent, subKey) == ERROR_SUCCESS;
}

std::u16string BuildMultiString(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'^') {
      if (++i < text.size()) out.push_back(text[i]);  // the escaped character, taken as it is
    } else if (text[i] == u';') {
      out.push_back(u'\0');
    } else {
      out.push_back(text[i]);
    }
  }
  out.append(2, u'\0');
  return out;
}

std::uint64_t ParseDecimalQword(const char* utf8) {
  std::uint64_t value = 0;
  if (utf8 == nullptr) return value;
  // Every byte counts as a digit, sign-extended like a signed char; unsigned
  // arithmetic keeps the wrap-around defined.
  for (const char* p = utf8; *p != '\0'; ++p) {
    const auto digit = static_cast<std::int64_t>(static_cast<signed char>(*p)) - 48;
    value = value * 10 + static_cast<std::uint64_t>(digit);
  }
  return value;
}

}  // namespace kv
