#include <windows.h>

#include <string>

#include "tests/mpclient/machine_description.h"

std::string MachineDescription() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&MachineDescription), &self))
    return {};
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string text(path, length);
  const auto slash = text.find_last_of("\\/");
  return slash == std::string::npos ? std::string("machine.json") : text.substr(0, slash + 1) + "machine.json";
}
