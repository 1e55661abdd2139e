#include "prereq/antivirus_detection.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "agent/file_system_helpers.h"
#include "base/log_writer.h"
#include "platform/last_error.h"
#include "platform/library.h"
#include "platform/unicode.h"
#include "prereq/wmi_query.h"

namespace kv {
namespace {

// Matched as substrings with case, in this order.
constexpr std::array<const char*, 22> kAntivirusNames{"Avast Antivirus",
                                                      "Norton Security",
                                                      "McAfee",
                                                      "Kaspersky",
                                                      "Webroot Client Service",
                                                      "Avira Antivirus",
                                                      "Bitdefender Antivirus",
                                                      "K7 Antivirus",
                                                      "G Data Antivirus",
                                                      "Microsoft security essential",
                                                      "Windows Defender",
                                                      "Emsisoft",
                                                      "F-Secure",
                                                      "Malwarebytes",
                                                      "Panda",
                                                      "Trend Micro",
                                                      "AppGuard",
                                                      "AVG",
                                                      "ESET NOD32",
                                                      "MicroWorld eScan",
                                                      "Symantec",
                                                      "Sophos"};

constexpr const char* kDefenderPaths[] = {"c:\\Program Files (x86)\\Windows Defender\\MpClient.dll",
                                          "c:\\Program Files\\Windows Defender\\MpClient.dll"};

constexpr long kQueryFlags = WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY;

using WDStatusFunction = HRESULT(KV_WINAPI*)(std::int32_t* enabled);

// Runs a query over the current connection; null (after the ERROR line)
// when there is no connection or the query fails.
std::unique_ptr<WbemEnumerator> Query(const char16_t* query) {
  WbemServices* services = wmiServices();
  if (!services) {
    LogError("LoadInstalledUpdatesUsingWMI : WMI Connection failed. So ignoring WMI checks\n");
    return nullptr;
  }
  std::unique_ptr<WbemEnumerator> objects;
  const HRESULT hr = services->ExecQuery(u"WQL", query, kQueryFlags, &objects);
  if (hr < 0) {
    LogError("GetValuesUsingWMIQuery : Query for the required wmi class is failed . Error code = 0x%x\n",
             static_cast<unsigned>(hr));
    return nullptr;
  }
  return objects;
}

// A property as text; a property the object lacks reads as an empty variant.
std::optional<std::u16string> PropertyText(const WbemObject& object, const char16_t* name) {
  Variant value;
  object.Get(name, &value);
  return VariantToText(value, false);
}

std::string LogText(const std::optional<std::u16string>& text) {
  return text ? Utf16ToUtf8(*text) : std::string(kNullLogText);
}

// The state as a 32-bit number; other kinds of value carry no state.
std::uint32_t StateOf(const WbemObject& object) {
  Variant value;
  object.Get(u"productState", &value);
  switch (value.vt) {
    case VT_I2:
    case VT_I4:
    case VT_UI1: return static_cast<std::uint32_t>(value.integer);
    default: return 0;
  }
}

}  // namespace

void LoadInstalledUpdatesUsingWMI(bool* found) {
  if (auto objects = Query(u"SELECT * FROM AntivirusProduct")) {
    std::unique_ptr<WbemObject> object;
    while (objects->Next(WBEM_INFINITE, &object) == S_OK && object) {
      LogInfo("GetValuesUsingWMIQuery : The required Value is given by: %s\n",
              LogText(PropertyText(*object, u"displayName")).c_str());
      char state[10] = {};
      std::snprintf(state, sizeof state, "%x", StateOf(*object));
      // The second hexadecimal digit of the state tells whether the product is on.
      LogInfo("GetValuesUsingWMIQuery : state : %c   %s\n", state[1], state);
      if (state[1] == '1') {
        LogInfo("GetValuesUsingWMIQuery : Enabled \n");
        if (found) *found = true;
      }
    }
    LogDebug("GetValuesUsingWMIQuery : Going to clean the allocated resources .\n");
  }
}

void FindAntivirusInInstalledProducts(bool* found) {
  if (auto objects = Query(u"SELECT * FROM Win32_Product")) {
    LogInfo("enum\n");
    std::unique_ptr<WbemObject> object;
    for (int number = 1; objects->Next(WBEM_INFINITE, &object) == S_OK && object; ++number) {
      const auto name = PropertyText(*object, u"Name");
      LogInfo("GetValuesUsingWMIQuery : The required Value is given by %d : %s\n", number, LogText(name).c_str());
      if (name && IsAntivirusProductName(Utf16ToUtf8(*name).c_str())) {
        LogInfo("It is AV\n");
        if (found) *found = true;
        break;
      }
    }
    LogInfo("GetValuesUsingWMIQuery : Going to clean the allocated resources .\n");
  }
}

bool IsAntivirusProductName(const char* productName) {
  if (!productName) return false;
  const std::string name(productName);
  for (const char* antivirus : kAntivirusNames)
    if (name.find(antivirus) != std::string::npos) return true;
  return false;
}

bool defenderStatusCheck() {
  LogInfo("@@@@@ \t Inside defenderStatusCheck under Independent APIs \t @@@@@\n");
  const char* path = IsFileExist(kDefenderPaths[0]) ? kDefenderPaths[0] : kDefenderPaths[1];
  LogInfo("Dll path is %s\n", path);

  Library library;
  if (LoadLibraryW(Utf8ToUtf16(path), &library) != ERROR_SUCCESS) {
    LogError("Failed to load dll from path : \"%s\" with error = %lu\n", path,
             static_cast<unsigned long>(GetLastError()));
    return false;
  }
  LogInfo("DLL loaded successfully from path : \"%s\"\n", path);
  const auto wdStatus = reinterpret_cast<WDStatusFunction>(library.GetProcAddress("WDStatus"));
  if (!wdStatus) {
    LogError("GetProcAddress failed with error = %lu\n", static_cast<unsigned long>(GetLastError()));
    return false;
  }
  LogInfo("GetProcAddress successful for function name : \"WDStatus\"\n");
  std::int32_t enabled = 0;
  const HRESULT hr = wdStatus(&enabled);
  if (hr != S_OK) {
    LogError("Function WDStatus failed with HRESULT  = %lu\n",
             static_cast<unsigned long>(static_cast<std::uint32_t>(hr)));
    return false;
  }
  if (enabled == 1) {
    LogInfo("Windows Defender is Enabled\n");
    return true;
  }
  LogInfo("Windows Defender is Disabled\n");
  return false;
}

}  // namespace kv
