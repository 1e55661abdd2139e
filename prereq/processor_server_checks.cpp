#include "prereq/processor_server_checks.h"

#include <array>
#include <optional>
#include <string>

#include "agent/os_naming.h"
#include "agent/registry_helpers.h"
#include "base/log_writer.h"

namespace kv {
namespace {

constexpr const char* kEnvironmentKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr const char* kMemoryManagementKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
constexpr const char* kVirtualizationKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Virtualization";

// Exact spellings, each searched as a substring with case.
constexpr std::array<const char*, 3> kAmdMarkers{"amd", "AMD", "Amd"};
constexpr const char* kServerMarker = "Windows Server";

}  // namespace

bool IsAMDProcessor() {
  std::optional<std::string> name;
  if (ReadRegSZ(HKEY_LOCAL_MACHINE, kEnvironmentKey, "PROCESSOR_IDENTIFIER", name) != ERROR_SUCCESS || !name ||
      name->empty()) {
    LogError("Could not get Processor name \n");
    return false;
  }
  LogInfo("Processor name : %s \n", name->c_str());
  for (const char* marker : kAmdMarkers) {
    if (name->find(marker) != std::string::npos) {
      LogInfo("It is AMD Processor, skipping the installation\n");
      return true;
    }
  }
  return false;
}

int IsServerOS() {
  const std::optional<std::string> name = GetOSNameEx();
  LogInfo("IsServerOS : Os Name %s\n", LogText(name));
  if (name && name->find(kServerMarker) != std::string::npos) {
    LogInfo("IsServerOS : TRUE\n");
    return 1;
  }
  LogInfo("IsServerOS : FALSE\n");
  return 0;
}

void enableProtectioninServerOS() {
  LONG rc = writeValue(HKEY_LOCAL_MACHINE, kMemoryManagementKey, "FeatureSettingsOverride", "0", REG_DWORD);
  LogInfo("enableProtectioninServerOS : FeatureSettingsOverride : %d \n", static_cast<int>(rc));
  rc = writeValue(HKEY_LOCAL_MACHINE, kMemoryManagementKey, "FeatureSettingsOverrideMask", "3", REG_DWORD);
  LogInfo("enableProtectioninServerOS : FeatureSettingsOverrideMask : %d \n", static_cast<int>(rc));
  // The number 1, written through the native view on 64-bit Windows.
  rc = writeValueEx(HKEY_LOCAL_MACHINE, kVirtualizationKey, "MinVmVersionForCpuBasedMitigations", "1.0", REG_DWORD);
  LogInfo("enableProtectioninServerOS : MinVmVersionForCpuBasedMitigations : %d \n", static_cast<int>(rc));
}

}  // namespace kv
