#pragma once
// What the system reports about itself: version, edition, processor.

#include <optional>
#include <string>

#include "platform/win_types.h"

namespace kv {

// The version record of GetVersionEx. The extended record adds the
// service-pack numbers, suite mask and product type.
struct OsVersionInfo {
  DWORD majorVersion = 0;
  DWORD minorVersion = 0;
  DWORD buildNumber = 0;
  DWORD platformId = 0;
  std::string servicePack;  // the CSD text
  WORD servicePackMajor = 0;
  WORD servicePackMinor = 0;
  WORD suiteMask = 0;
  BYTE productType = 0;  // 1 workstation, 2 domain controller, 3 server
};

constexpr BYTE VER_NT_WORKSTATION = 1;
constexpr BYTE VER_NT_DOMAIN_CONTROLLER = 2;
constexpr BYTE VER_NT_SERVER = 3;
constexpr WORD VER_SUITE_SMALLBUSINESS = 0x0001;
constexpr WORD VER_SUITE_ENTERPRISE = 0x0002;
constexpr WORD VER_SUITE_TERMINAL = 0x0010;
constexpr WORD VER_SUITE_SMALLBUSINESS_RESTRICTED = 0x0020;
constexpr WORD VER_SUITE_DATACENTER = 0x0080;
constexpr WORD VER_SUITE_PERSONAL = 0x0200;
constexpr WORD VER_SUITE_BLADE = 0x0400;

constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;

// Fills the version record; extended asks for the extended record. Returns
// a Windows error code.
[[nodiscard]] DWORD GetVersionEx(OsVersionInfo* info, bool extended);

// The product type number of GetProductInfo; nullopt when the system does
// not export GetProductInfo or it fails.
std::optional<DWORD> GetProductInfo(DWORD major, DWORD minor, DWORD spMajor, DWORD spMinor);

// The processor architecture of the machine (GetNativeSystemInfo).
WORD GetNativeProcessorArchitecture();

// IsWow64Process for the current process; nullopt when the system does not
// export IsWow64Process.
std::optional<bool> QueryWow64Process();

}  // namespace kv
