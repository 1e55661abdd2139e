#include <dlfcn.h>

#include "tests/mpclient/machine_description.h"

std::string MachineDescription() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&MachineDescription), &info) || !info.dli_fname) return {};
  const std::string path = info.dli_fname;
  const auto drive = path.rfind("/drive_");
  return drive == std::string::npos ? std::string() : path.substr(0, drive) + "/machine.json";
}
