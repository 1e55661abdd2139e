#include "platform/system_info.h"

#include "platform/last_error.h"
#include "platform/posix/machine.h"

namespace kv {
namespace {

template <typename T>
T Number(const char* pointer, T fallback = 0) {
  const auto& value = posix::MachineValue(pointer);
  return value.is_number_integer() ? static_cast<T>(value.get<long long>()) : fallback;
}

}  // namespace

DWORD GetVersionEx(OsVersionInfo* info, bool extended) {
  const auto& os = posix::MachineValue("/os");
  // A machine without "os" cannot tell its version; "extended_record": false
  // is an old system that only fills the basic record.
  if (!info || !os.is_object()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR_INVALID_PARAMETER;
  }
  if (extended && os.value("extended_record", true) == false) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR_INVALID_PARAMETER;
  }
  *info = OsVersionInfo{};
  info->majorVersion = Number<DWORD>("/os/major");
  info->minorVersion = Number<DWORD>("/os/minor");
  info->buildNumber = Number<DWORD>("/os/build");
  info->platformId = Number<DWORD>("/os/platform_id", 2);
  const auto& sp = posix::MachineValue("/os/service_pack");
  if (sp.is_string()) info->servicePack = sp.get<std::string>();
  if (extended) {
    info->servicePackMajor = Number<WORD>("/os/sp_major");
    info->servicePackMinor = Number<WORD>("/os/sp_minor");
    info->suiteMask = Number<WORD>("/os/suite_mask");
    info->productType = Number<BYTE>("/os/product_type", VER_NT_WORKSTATION);
  }
  return ERROR_SUCCESS;
}

std::optional<DWORD> GetProductInfo(DWORD, DWORD, DWORD, DWORD) {
  const auto& value = posix::MachineValue("/os/product_info");
  if (!value.is_number_integer()) return std::nullopt;
  return static_cast<DWORD>(value.get<long long>());
}

WORD GetNativeProcessorArchitecture() { return Number<WORD>("/os/architecture", PROCESSOR_ARCHITECTURE_INTEL); }

std::optional<bool> QueryWow64Process() { return posix::IsWow64Process(); }

}  // namespace kv
