// Version, edition and processor through kernel32. GetProductInfo and
// IsWow64Process are looked up at run time: systems before Vista (and
// before XP SP2) do not export them, and the agent must say so instead of
// failing to start.

#include "platform/system_info.h"

#include "platform/win32/wide.h"

namespace kv {
namespace {

template <typename Function>
Function Kernel32Export(const char* name) {
  const ::HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  return kernel32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(kernel32, name))) : nullptr;
}

}  // namespace

DWORD GetVersionEx(OsVersionInfo* info, bool extended) {
  if (!info) return win32::Fail(ERROR_INVALID_PARAMETER);
  // The extended record starts with the basic one; its size tells which is asked.
  OSVERSIONINFOEXA native{};
  native.dwOSVersionInfoSize = extended ? sizeof(OSVERSIONINFOEXA) : sizeof(OSVERSIONINFOA);
  // GetVersionExA is marked deprecated; it is the one that tells the
  // version the manifest allows.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#elif defined(_MSC_VER)
#pragma warning(push)
#pragma warning(disable : 4996)
#endif
  // The program's manifest declares the systems it knows, so that the
  // version told is the real one and not that of the newest system listed.
  if (!::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&native))) return win32::LastFailure();
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#elif defined(_MSC_VER)
#pragma warning(pop)
#endif
  *info = OsVersionInfo{};
  info->majorVersion = native.dwMajorVersion;
  info->minorVersion = native.dwMinorVersion;
  info->buildNumber = native.dwBuildNumber;
  info->platformId = native.dwPlatformId;
  info->servicePack = native.szCSDVersion;
  if (extended) {
    info->servicePackMajor = native.wServicePackMajor;
    info->servicePackMinor = native.wServicePackMinor;
    info->suiteMask = native.wSuiteMask;
    info->productType = native.wProductType;
  }
  return ERROR_SUCCESS;
}

std::optional<DWORD> GetProductInfo(DWORD major, DWORD minor, DWORD spMajor, DWORD spMinor) {
  using Function = BOOL(WINAPI*)(::DWORD, ::DWORD, ::DWORD, ::DWORD, ::PDWORD);
  const auto function = Kernel32Export<Function>("GetProductInfo");
  if (!function) return std::nullopt;
  ::DWORD type = 0;
  if (!function(major, minor, spMajor, spMinor, &type)) return std::nullopt;
  return static_cast<DWORD>(type);
}

WORD GetNativeProcessorArchitecture() {
  SYSTEM_INFO info{};
  ::GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture;
}

std::optional<bool> QueryWow64Process() {
  using Function = BOOL(WINAPI*)(::HANDLE, ::PBOOL);
  const auto function = Kernel32Export<Function>("IsWow64Process");
  if (!function) return std::nullopt;
  ::BOOL wow64 = FALSE;
  if (!function(::GetCurrentProcess(), &wow64)) return std::nullopt;
  return wow64 != FALSE;
}

}  // namespace kv
