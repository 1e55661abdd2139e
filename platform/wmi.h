#pragma once
// Windows Management Instrumentation as the agent uses it: enter COM,
// connect to a namespace through the locator, run a WQL query, enumerate the
// objects and read their properties as variants.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace kv {

using VARTYPE = std::uint16_t;
constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_NULL = 1;
constexpr VARTYPE VT_I2 = 2;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_R4 = 4;
constexpr VARTYPE VT_R8 = 5;
constexpr VARTYPE VT_DATE = 7;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_DISPATCH = 9;
constexpr VARTYPE VT_BOOL = 11;
constexpr VARTYPE VT_UI1 = 17;
constexpr VARTYPE VT_ARRAY = 0x2000;

// A property value. Only the members of its type are meaningful.
struct Variant {
  VARTYPE vt = VT_EMPTY;
  std::int64_t integer = 0;                          // VT_I2, VT_I4, VT_UI1; VT_BOOL: -1 true, 0 false
  double real = 0;                                   // VT_R4, VT_R8, VT_DATE
  std::optional<std::u16string> text;                // VT_BSTR (nullopt: a null string)
  std::vector<std::optional<std::u16string>> array;  // VT_ARRAY | VT_BSTR elements
  std::size_t arrayLength = 0;                       // elements of any other array
};

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT WBEM_S_FALSE = 1;
constexpr HRESULT WBEM_E_FAILED = static_cast<HRESULT>(0x80041001);
constexpr HRESULT WBEM_E_NOT_FOUND = static_cast<HRESULT>(0x80041002);
constexpr HRESULT WBEM_E_INVALID_NAMESPACE = static_cast<HRESULT>(0x8004100E);
constexpr HRESULT WBEM_E_INVALID_CLASS = static_cast<HRESULT>(0x80041010);
constexpr HRESULT WBEM_E_INVALID_QUERY = static_cast<HRESULT>(0x80041017);
constexpr HRESULT WBEM_E_INVALID_QUERY_TYPE = static_cast<HRESULT>(0x80041018);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
// The RPC server is unavailable: what a stopped WMI service answers.
constexpr HRESULT HRESULT_RPC_S_SERVER_UNAVAILABLE = static_cast<HRESULT>(0x800706BA);

constexpr DWORD COINIT_MULTITHREADED = 0;
constexpr long WBEM_INFINITE = -1;
constexpr long WBEM_FLAG_RETURN_IMMEDIATELY = 0x10;
constexpr long WBEM_FLAG_FORWARD_ONLY = 0x20;
constexpr DWORD RPC_C_AUTHN_WINNT = 10;
constexpr DWORD RPC_C_AUTHZ_NONE = 0;
constexpr DWORD RPC_C_AUTHN_LEVEL_CALL = 3;
constexpr DWORD RPC_C_IMP_LEVEL_IMPERSONATE = 3;
constexpr DWORD EOAC_NONE = 0;

[[nodiscard]] HRESULT CoInitializeEx(DWORD concurrencyModel);
void CoUninitialize();

class WbemObject {
 public:
  virtual ~WbemObject() = default;
  // WBEM_E_NOT_FOUND for a property the object does not have.
  virtual HRESULT Get(std::u16string_view name, Variant* value) const = 0;
};

class WbemEnumerator {
 public:
  virtual ~WbemEnumerator() = default;
  // The next object; WBEM_S_FALSE (and no object) at the end.
  virtual HRESULT Next(long timeoutMs, std::unique_ptr<WbemObject>* object) = 0;
};

class WbemServices {
 public:
  virtual ~WbemServices() = default;
  virtual HRESULT SetProxyBlanket(DWORD authnService, DWORD authzService, DWORD authnLevel, DWORD impersonationLevel,
                                  DWORD capabilities) = 0;
  virtual HRESULT ExecQuery(std::u16string_view language, std::u16string_view query, long flags,
                            std::unique_ptr<WbemEnumerator>* result) = 0;
};

class WbemLocator {
 public:
  virtual ~WbemLocator() = default;
  virtual HRESULT ConnectServer(std::u16string_view ns, std::unique_ptr<WbemServices>* services) = 0;
};

// The WMI locator, created in-process.
[[nodiscard]] HRESULT CreateWbemLocator(std::unique_ptr<WbemLocator>* locator);

}  // namespace kv
