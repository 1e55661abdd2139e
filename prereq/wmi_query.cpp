#include "prereq/wmi_query.h"

#include <cstdio>

#include "base/log_writer.h"
#include "base/text_format.h"
#include "platform/unicode.h"

namespace kv {
namespace {

constexpr const char16_t* kCimv2 = u"root\\CIMV2";
constexpr const char16_t* kSecurityCenter2 = u"root\\SecurityCenter2";

unsigned Hex(HRESULT hr) { return static_cast<unsigned>(hr); }

// The process's one connection.
struct WmiState {
  std::unique_ptr<WbemServices> services;
};

WmiState& Wmi() {
  static WmiState state;
  return state;
}

// Connects to one namespace; the result is the HRESULT of the last step tried.
HRESULT ConnectWmi(const char16_t* ns) {
  const std::u16string nameSpace(ns);
  CoUninitialize();
  HRESULT hr = CoInitializeEx(COINIT_MULTITHREADED);
  if (hr < 0) {
    LogError("GetValuesUsingWMIQuery : Failed to initialize COM library. Error code = 0x%x\n", Hex(hr));
    return hr;
  }
  std::unique_ptr<WbemLocator> locator;
  hr = CreateWbemLocator(&locator);
  if (hr < 0) {
    LogError("GetValuesUsingWMIQuery : Failed to create IWbemLocator object. Err code = 0x%x\n", Hex(hr));
    return hr;
  }
  std::unique_ptr<WbemServices>& services = Wmi().services;
  std::unique_ptr<WbemServices> connected;
  hr = locator->ConnectServer(nameSpace, &connected);
  services = std::move(connected);  // null unless the connection was made
  if (hr < 0) {
    LogError("GetValuesUsingWMIQuery :Could not connect. Error code = 0x%x\n", Hex(hr));
    return hr;
  }
  LogInfo("GetValuesUsingWMIQuery : Connected to ROOT\\CIMV2 WMI namespace\n");
  hr = services->SetProxyBlanket(RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, RPC_C_AUTHN_LEVEL_CALL,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, EOAC_NONE);
  // Without the blanket the connection stays in use.
  if (hr < 0) LogError("GetValuesUsingWMIQuery :Could not set proxy blanket. Error code = 0x%x\n", Hex(hr));
  return hr;
}

}  // namespace

WbemServices* wmiServices() { return Wmi().services.get(); }

void ResetWmi() { Wmi().services.reset(); }

HRESULT ConnectWmiCimv2() { return ConnectWmi(kCimv2); }
HRESULT ConnectWmiSecurityCenter2() { return ConnectWmi(kSecurityCenter2); }

void ReleaseWmi() {
  ResetWmi();
  CoUninitialize();
}

std::optional<std::u16string> VariantToText(const Variant& value, bool /*dateForm*/) {
  switch (value.vt) {
    case VT_I2: return Utf8ToUtf16(Format("%hu", static_cast<unsigned short>(value.integer)));
    case VT_I4: return Utf8ToUtf16(Format("%d", static_cast<int>(value.integer)));
    case VT_R4:
    case VT_R8: return Utf8ToUtf16(Format("%10.4f", value.real));
    case VT_BSTR:
      // A null string is the empty string, as COM treats it.
      return value.text.value_or(u"");
    case VT_BOOL: return value.integer ? u"True" : u"False";
    case VT_UI1: {
      const auto byte = static_cast<unsigned char>(value.integer);
      return Utf8ToUtf16(byte < 32 ? Format("%hu", static_cast<unsigned short>(byte)) : Format("'%c'", byte));
    }
    case VT_ARRAY | VT_BSTR: {
      std::u16string joined;
      for (std::size_t i = 0; i < value.array.size(); ++i) {
        if (i) joined += u", ";
        joined += value.array[i].value_or(u"-");
      }
      return joined;
    }
    case VT_ARRAY | VT_DISPATCH: return std::nullopt;
    default: return u"-";
  }
}

}  // namespace kv
