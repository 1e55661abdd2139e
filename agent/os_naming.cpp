#include "agent/os_naming.h"

#include <algorithm>
#include <array>
#include <vector>

#include "agent/agent_settings.h"
#include "agent/registry_helpers.h"
#include "agent/registry_key_handle.h"
#include "base/log_writer.h"
#include "base/text_format.h"
#include "platform/registry.h"
#include "platform/unicode.h"

namespace kv {
namespace {

// Names are formed in a buffer of this many bytes.
constexpr std::size_t kNameSize = 100;

// What fits the name buffer with its terminator.
std::string FitName(std::string name) {
  if (name.size() >= kNameSize) name.resize(kNameSize - 1);
  return name;
}

struct Edition {
  std::vector<DWORD> productTypes;
  const char* text;  // null: the name is complete without an edition
};

const std::vector<Edition>& Editions() {
  static const std::vector<Edition> editions{
      {{1, 28}, "Ultimate Edition"},
      {{2, 5}, "Home Basic Edition"},
      {{3, 26}, "Home Premium Edition"},
      {{4, 10, 27}, "Enterprise Edition"},
      {{6, 16}, "Business Edition"},
      {{7}, "Standard Edition"},
      {{8}, "Datacenter Edition"},
      {{9}, "Small Business Server"},
      {{11, 47, 66}, "Starter"},
      {{12}, "Datacenter Edition (core installation)"},
      {{13}, "Enterprise Edition (core installation)"},
      {{14}, "Standard Edition (core installation)"},
      {{17, 29}, "Web Server Edition"},
      {{20}, "Storage Server Express Edition"},
      {{21}, "Storage Server Standard Edition"},
      {{22}, "Storage Server Workgroup Edition"},
      {{23}, "Storage Server Enterprise Edition"},
      {{25}, "Small Business Server Premium Edition"},
      {{33}, "Foundation Edition"},
      {{36}, "Standard Edition without Hyper-V"},
      {{37}, "Datacenter Edition without Hyper-V"},
      {{38}, "Enterprise Edition without Hyper-V"},
      {{39}, "Datacenter Edition without Hyper-V (core installation)"},
      {{40}, "Standard Edition without Hyper-V (core installation)"},
      {{41}, "Enterprise Edition without Hyper-V (core installation)"},
      {{48, 49, 69}, "Professional Edition"},
      {{50}, "Essentials Edition"},
      {{65}, "Embedded Standard Edition"},
      {{79}, "Server Standard (evaluation installation) Edition"},
      {{98, 99, 100}, nullptr},
      {{101}, "Home"},
      {{103}, "Professional with Media Center Edition"},
      {{121}, "Education"},
      {{122}, "Education N"},
      {{123}, "IoT Core"},
      {{125}, "Enterprise 2015 LTSB"},
      {{126}, "Enterprise 2015 LTSB N"},
      {{129}, "Enterprise 2015 LTSB Evaluation"},
      {{130}, "Enterprise 2015 LTSB N Evaluation"},
      {{131}, "IoT Core Commercial"},
  };
  return editions;
}

const Edition* FindEdition(DWORD productInfo) {
  for (const auto& edition : Editions())
    for (DWORD type : edition.productTypes)
      if (type == productInfo) return &edition;
  return nullptr;
}

// Name patterns of Windows Vista and later, by version: workstation,
// workstation x64, server, server x64. The last column holds the complete
// names of the editions that have no edition text.
struct Nt6Names {
  DWORD major, minor;
  const char* patterns[4];
  const char* complete[2];
};

constexpr std::array<Nt6Names, 5> kNt6Names{{
    {6,
     0,
     {"Windows Vista %s", "Windows Vista %s (x64)", "Windows Server 2008 %s", "Windows Server 2008 %s (x64)"},
     {nullptr, nullptr}},
    {6,
     1,
     {"Windows 7 %s", "Windows 7 %s (x64)", "Windows Server 2008 R2 %s", "Windows Server 2008 R2 %s (x64)"},
     {nullptr, nullptr}},
    {6,
     2,
     {"Windows 8 %s", "Windows 8 %s (x64)", "Windows Server 2012 %s (x64)", "Windows Server 2012 %s (x64)"},
     {"Windows 8", "Windows 8 (x64)"}},
    {6,
     3,
     {"Windows 8.1 %s", "Windows 8.1 %s (x64)", "Windows Server 2012 R2 %s (x64)", "Windows Server 2012 R2 %s (x64)"},
     {"Windows 8.1", "Windows 8.1 (x64)"}},
    {10,
     0,
     {"Windows 10 %s", "Windows 10 %s (x64)", "Windows Server 2016 %s (x64)", "Windows Server 2016 %s (x64)"},
     {"Windows 10", "Windows 10 (x64)"}},
}};

const Nt6Names* FindNt6Names(DWORD major, DWORD minor) {
  for (const auto& names : kNt6Names)
    if (names.major == major && names.minor == minor) return &names;
  return nullptr;
}

// The extended version record, or the basic one when the system cannot give
// the extended one.
struct VersionRecord {
  OsVersionInfo info;
  bool extended = false;
};

std::optional<VersionRecord> ReadVersion() {
  VersionRecord record;
  if (GetVersionEx(&record.info, true) == ERROR_SUCCESS) {
    record.extended = true;
    return record;
  }
  if (GetVersionEx(&record.info, false) == ERROR_SUCCESS) return record;
  return std::nullopt;
}

bool Has(WORD suiteMask, WORD flag) { return (suiteMask & flag) != 0; }

// The edition of NT-family systems from the extended version record.
std::string NtEditionFromRecord(const OsVersionInfo& v, bool x64) {
  const bool v52 = v.majorVersion == 5 && v.minorVersion == 2;
  const WORD suite = v.suiteMask;
  if (v.productType == VER_NT_WORKSTATION) {
    if (x64) return v52 ? "Professional x64 Edition" : "";
    if (v.majorVersion == 4) return "Workstation 4.0";
    return Has(suite, VER_SUITE_PERSONAL) ? "Home Edition " : "Professional";
  }
  if (v.productType != VER_NT_SERVER && v.productType != VER_NT_DOMAIN_CONTROLLER) return "";
  if (v52 && x64) {
    if (Has(suite, VER_SUITE_ENTERPRISE)) return ", Enterprise x64 Edition";
    if (Has(suite, VER_SUITE_DATACENTER)) return ", Datacenter x64 Edition";
    return ", Standard x64 Edition";
  }
  if (v52) {
    if (Has(suite, VER_SUITE_DATACENTER)) return ", Datacenter Edition";
    if (Has(suite, VER_SUITE_ENTERPRISE)) return ", Enterprise Edition";
    if (Has(suite, VER_SUITE_BLADE)) return ", Web Edition";
    if (Has(suite, VER_SUITE_SMALLBUSINESS) || Has(suite, VER_SUITE_SMALLBUSINESS_RESTRICTED))
      return " for Small Business Server";
    return ", Standard Edition";
  }
  if (v.majorVersion == 5 && v.minorVersion == 0) {
    if (Has(suite, VER_SUITE_DATACENTER)) return "Datacenter Server";
    if (Has(suite, VER_SUITE_ENTERPRISE)) return "Advanced Server";
    return "Server";
  }
  return Has(suite, VER_SUITE_TERMINAL) ? "Server 4.0, Terminal Server Edition" : "Server 4.0";
}

// The oldest systems keep their edition in the registry only.
std::optional<std::string> NtNameFromRegistry(const OsVersionInfo& v) {
  RegistryKeyHandle key;
  if (key.openKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", KEY_QUERY_VALUE) !=
      ERROR_SUCCESS)
    return std::nullopt;
  std::array<BYTE, 1024> data{};
  DWORD size = data.size();
  if (RegQueryValueExA(key.handle(), "ProductType", nullptr, data.data(), &size) != ERROR_SUCCESS) return std::nullopt;
  const auto* text = reinterpret_cast<const char*>(data.data());
  const std::string productType(text, std::find(text, text + std::min<std::size_t>(size, data.size()), '\0'));
  const char* edition = "";
  if (EqualsNoCase(std::string_view(productType), "WINNT"))
    edition = "Workstation";
  else if (EqualsNoCase(std::string_view(productType), "LANMANNT"))
    edition = "Server";
  else if (EqualsNoCase(std::string_view(productType), "SERVERNT"))
    edition = "Advanced Server";
  return FitName(Format("%s%s %d.%d", GetNTVersionPrefix().c_str(), edition, static_cast<int>(v.majorVersion),
                        static_cast<int>(v.minorVersion)));
}

std::string Windows9xName(const OsVersionInfo& v) {
  if (v.majorVersion != 4) return "";
  switch (v.minorVersion) {
    case 0: return "Windows 95";
    case 10: return v.servicePack.size() > 1 && v.servicePack[1] == 'A' ? "Windows 98 SE" : "Windows 98";
    case 90: return "Windows Millennium Edition";
    default: return "";
  }
}

}  // namespace

std::string GetNTVersionPrefix() {
  const auto record = ReadVersion();
  if (!record) return "UnSupported";
  const OsVersionInfo& v = record->info;
  const bool x64 = GetNativeProcessorArchitecture() == PROCESSOR_ARCHITECTURE_AMD64;
  if (v.majorVersion == 5 && v.minorVersion == 2)
    return v.productType == VER_NT_WORKSTATION && x64 ? "Windows XP " : "Windows Server 2003";
  if (v.majorVersion == 5 && v.minorVersion == 1) return "Windows XP ";
  if (v.majorVersion == 5 && v.minorVersion == 0) return "Windows 2000 ";
  if (v.majorVersion <= 4) return "Windows NT ";
  return "";
}

std::string GetNT6OSName(DWORD major, DWORD minor, DWORD productInfo, BYTE productType, WORD architecture) {
  const bool workstation = productType == VER_NT_WORKSTATION;
  const bool x64 = architecture == PROCESSOR_ARCHITECTURE_AMD64;
  const Nt6Names* names = FindNt6Names(major, minor);
  const Edition* edition = FindEdition(productInfo);

  if (edition && !edition->text && workstation && names && names->complete[0]) {
    std::string name = names->complete[x64 ? 1 : 0];
    LogDebug("Returning with OS Name %s\n", name.c_str());
    return name;
  }
  std::string editionText;
  if (edition && edition->text) {
    editionText = edition->text;
  } else {
    // Unknown numbers, and the complete-name numbers where no complete name
    // exists, are named as a pre-release.
    LogInfo("dwPlatformInfo : %d\n", static_cast<int>(productInfo));
    LogInfo("dwMajorVersion : %d\n", static_cast<int>(major));
    LogInfo("dwMinorVersion : %d\n", static_cast<int>(minor));
    LogError("Edition can't be retrieved. So Assuming it as Beta\n");
    editionText = "Beta";
  }

  std::optional<std::string> productName;
  if (ReadRegSZ(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "ProductName", productName) ==
          ERROR_SUCCESS &&
      productName && productName->find("Preview") != std::string::npos) {
    LogInfo("OS Name detected from registry is : %s\n", productName->c_str());
    editionText = "Beta";
  }

  if (!names) return "";
  return FitName(Format(names->patterns[(workstation ? 0 : 2) + (x64 ? 1 : 0)], editionText.c_str()));
}

std::optional<std::string> GetOSNameEx() {
  const WORD architecture = GetNativeProcessorArchitecture();
  const auto record = ReadVersion();
  if (!record) return std::nullopt;
  const OsVersionInfo& v = record->info;

  if (const auto productInfo = GetProductInfo(v.majorVersion, v.minorVersion, v.servicePackMajor, v.servicePackMinor)) {
    LogDebug("GetOSNameEx : dwMinorVersion : %d\n", 0);
    LogDebug("GetOSNameEx : dwMajorVersion : %d\n", 0);
    LogDebug("osvi.dwMajorVersion : %d\n", static_cast<int>(v.majorVersion));
    LogDebug("osvi.dwMinorVersion : %d\n", static_cast<int>(v.minorVersion));
    LogDebug("osvi.wServicePackMajor : %d\n", v.servicePackMajor);
    LogDebug("osvi.wServicePackMinor : %d\n", v.servicePackMinor);
    LogDebug("dwPlatformInfo : %d\n", static_cast<int>(*productInfo));
    LogDebug("si.wProcessorArchitecture : %d\n", architecture);
    return GetNT6OSName(v.majorVersion, v.minorVersion, *productInfo, v.productType, architecture);
  }

  switch (v.platformId) {
    case 0: return "Win32s";
    case 1: return Windows9xName(v);
    case 2:
      if (!record->extended) return NtNameFromRegistry(v);
      return FitName(GetNTVersionPrefix() + NtEditionFromRecord(v, architecture == PROCESSOR_ARCHITECTURE_AMD64));
    default: return "";
  }
}

}  // namespace kv
