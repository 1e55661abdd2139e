#pragma once
// How the computer names itself on the network: its adapters and their IPv4
// addresses (IP Helper), the domain controller that serves it and the domain
// or workgroup it belongs to (netapi32), its host name, and Winsock start-up.
// Results are Windows error codes; failures are also recorded as the
// thread's last error.

#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace kv {

// ---- adapters (GetAdaptersInfo) ----

// A hardware address holds at most this many bytes.
constexpr DWORD MAX_ADAPTER_ADDRESS_LENGTH = 8;

// One IPv4 address of an adapter, as dotted text of at most 15 characters.
struct IpAddressString {
  std::string ipAddress;
  std::string ipMask;
  DWORD context = 0;
};

struct AdapterInfo {
  DWORD index = 0;
  std::vector<BYTE> address;  // the hardware address, of any length up to 8 bytes
  // Never empty: an adapter without an address lists "0.0.0.0", as Windows does.
  std::vector<IpAddressString> ipAddressList;
};

// The adapters in the system's order. With adapters null, or *size smaller
// than the list takes, *size receives the byte count Windows would need and
// the result is ERROR_BUFFER_OVERFLOW; ERROR_NO_DATA when the computer has no
// adapter; ERROR_INVALID_PARAMETER when size is null.
[[nodiscard]] DWORD GetAdaptersInfo(std::vector<AdapterInfo>* adapters, DWORD* size);

// ---- domain controller (DsGetDcNameA) ----

constexpr DWORD DS_RETURN_FLAT_NAME = 0x80000000;

// Fields the system does not know are null.
struct DomainControllerInfo {
  std::optional<std::string> domainControllerName;  // "\\\\DC01"
  std::optional<std::string> domainControllerAddress;
  std::optional<std::string> domainName;
  std::optional<std::string> dnsForestName;
  std::optional<std::string> dcSiteName;
  std::optional<std::string> clientSiteName;
};

// The domain controller of the computer's domain; ERROR_NO_SUCH_DOMAIN when
// the computer belongs to no domain.
[[nodiscard]] DWORD DsGetDcNameA(const char* computerName, const char* domainName, const void* domainGuid, const char* siteName,
                   DWORD flags, DomainControllerInfo* info);

// ---- domain or workgroup (NetGetJoinInformation) ----

enum NetSetupJoinStatus : DWORD {
  NetSetupUnknownStatus = 0,
  NetSetupUnjoined = 1,
  NetSetupWorkgroupName = 2,
  NetSetupDomainName = 3,
};

// The name of the domain or workgroup the computer is joined to (null server:
// this computer) and the join status. status receives the raw number, which
// may lie outside the enumeration.
[[nodiscard]] DWORD NetGetJoinInformation(const char16_t* server, std::u16string* name, DWORD* status);

// ---- host name (GetComputerNameExW) ----

enum ComputerNameFormat : DWORD {
  ComputerNameNetBIOS = 0,
  ComputerNameDnsHostname = 1,
  ComputerNameDnsDomain = 2,
  ComputerNameDnsFullyQualified = 3,
  ComputerNamePhysicalNetBIOS = 4,
  ComputerNamePhysicalDnsHostname = 5,
  ComputerNamePhysicalDnsDomain = 6,
  ComputerNamePhysicalDnsFullyQualified = 7,
};

// Copies the name and its terminator into buffer, which holds *size wide
// characters; on success *size receives the name's length. A buffer too
// small fails with ERROR_MORE_DATA and *size receives the characters needed,
// terminator included.
[[nodiscard]] bool GetComputerNameExW(DWORD nameType, char16_t* buffer, DWORD* size);

// ---- Winsock ----

// 0 on success, else a Winsock error code. Every successful start-up is
// balanced by one clean-up.
[[nodiscard]] int WSAStartup(WORD version);
int WSACleanup();
// The calling thread's last Winsock error (the thread's last error, as on Windows).
int WSAGetLastError();

}  // namespace kv
