// Network identity through iphlpapi (adapters), netapi32 (domain controller,
// join state), kernel32 (host name) and ws2_32 (Winsock start-up).

#include "platform/identity.h"

#include <vector>

#include "platform/win32/wide.h"

namespace kv {
namespace {

std::optional<std::string> OptionalText(const char* text) {
  return text ? std::optional<std::string>(text) : std::nullopt;
}

}  // namespace

DWORD GetAdaptersInfo(std::vector<AdapterInfo>* adapters, DWORD* size) {
  if (size == nullptr) return win32::Fail(ERROR_INVALID_PARAMETER);
  // Windows needs the records' bytes; a caller that offers too few learns
  // how many, as with the real call.
  ::ULONG needed = 0;
  DWORD code = ::GetAdaptersInfo(nullptr, &needed);
  std::vector<unsigned char> buffer;
  while (code == ERROR_BUFFER_OVERFLOW) {
    if (adapters == nullptr || *size < needed) {
      *size = static_cast<DWORD>(needed);
      return win32::Fail(ERROR_BUFFER_OVERFLOW);
    }
    buffer.resize(needed);
    code = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &needed);
  }
  if (code != ERROR_SUCCESS) return win32::Fail(code);
  std::vector<AdapterInfo> found;
  for (auto* adapter = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()); adapter; adapter = adapter->Next) {
    AdapterInfo info;
    info.index = adapter->Index;
    const unsigned length =
        adapter->AddressLength < MAX_ADAPTER_ADDRESS_LENGTH ? adapter->AddressLength : MAX_ADAPTER_ADDRESS_LENGTH;
    info.address.assign(adapter->Address, adapter->Address + length);
    for (const IP_ADDR_STRING* address = &adapter->IpAddressList; address; address = address->Next)
      info.ipAddressList.push_back(
          IpAddressString{address->IpAddress.String, address->IpMask.String, static_cast<DWORD>(address->Context)});
    found.push_back(std::move(info));
  }
  *adapters = std::move(found);
  return ERROR_SUCCESS;
}

DWORD DsGetDcNameA(const char* computerName, const char* domainName, const void* domainGuid, const char* siteName,
                   DWORD flags, DomainControllerInfo* info) {
  if (info == nullptr) return win32::Fail(ERROR_INVALID_PARAMETER);
  DOMAIN_CONTROLLER_INFOA* native = nullptr;
  const DWORD code = ::DsGetDcNameA(computerName, domainName, static_cast<GUID*>(const_cast<void*>(domainGuid)),
                                    siteName, flags, &native);
  if (code != ERROR_SUCCESS) return win32::Fail(code);
  *info =
      DomainControllerInfo{OptionalText(native->DomainControllerName), OptionalText(native->DomainControllerAddress),
                           OptionalText(native->DomainName),           OptionalText(native->DnsForestName),
                           OptionalText(native->DcSiteName),           OptionalText(native->ClientSiteName)};
  ::NetApiBufferFree(native);
  return ERROR_SUCCESS;
}

DWORD NetGetJoinInformation(const char16_t* server, std::u16string* name, DWORD* status) {
  if (name == nullptr || status == nullptr) return win32::Fail(ERROR_INVALID_PARAMETER);
  const std::wstring wideServer = server ? win32::Wide(std::u16string_view(server)) : std::wstring();
  wchar_t* joined = nullptr;
  NETSETUP_JOIN_STATUS native = ::NetSetupUnknownStatus;
  const DWORD code = ::NetGetJoinInformation(server ? wideServer.c_str() : nullptr, &joined, &native);
  if (code != ERROR_SUCCESS) return win32::Fail(code);
  *name = joined ? win32::Utf16(joined) : std::u16string();
  *status = static_cast<DWORD>(native);
  if (joined) ::NetApiBufferFree(joined);
  return ERROR_SUCCESS;
}

bool GetComputerNameExW(DWORD nameType, char16_t* buffer, DWORD* size) {
  if (size == nullptr) return win32::Fail(ERROR_INVALID_PARAMETER), false;
  ::DWORD length = *size;
  const BOOL ok =
      ::GetComputerNameExW(static_cast<COMPUTER_NAME_FORMAT>(nameType), reinterpret_cast<wchar_t*>(buffer), &length);
  *size = static_cast<DWORD>(length);
  if (!ok) win32::LastFailure();
  return ok != FALSE;
}

int WSAStartup(WORD version) {
  WSADATA data{};
  const int code = ::WSAStartup(version, &data);
  if (code != 0) win32::Fail(static_cast<DWORD>(code));
  return code;
}

int WSACleanup() { return ::WSACleanup(); }

int WSAGetLastError() { return ::WSAGetLastError(); }

}  // namespace kv
