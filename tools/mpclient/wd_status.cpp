// A stand-in for the Windows Defender client library of the emulated
// machine. It answers WDStatus from the "defender" entry of the machine
// image it is installed in ({"hresult": 0, "enabled": 1}); the image is the
// directory above the drive_c/ that holds this library.

#include <dlfcn.h>

#include <cstdint>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

namespace {

constexpr std::int32_t E_FAIL = static_cast<std::int32_t>(0x80004005);

std::string ImageDirectory() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&ImageDirectory), &info) || !info.dli_fname) return {};
  std::string path = info.dli_fname;
  const auto drive = path.rfind("/drive_");
  return drive == std::string::npos ? std::string() : path.substr(0, drive);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t WDStatus(std::int32_t* enabled) {
  if (!enabled) return E_FAIL;
  std::ifstream in(ImageDirectory() + "/machine.json");
  const auto machine = nlohmann::json::parse(in, nullptr, false);
  if (machine.is_discarded() || !machine.is_object() || !machine.contains("defender")) return E_FAIL;
  const auto& defender = machine["defender"];
  const auto hresult = static_cast<std::int32_t>(defender.value("hresult", 0LL));
  if (hresult != 0) return hresult;
  *enabled = static_cast<std::int32_t>(defender.value("enabled", 0LL));
  return 0;
}
