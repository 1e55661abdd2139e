// A stand-in for the Windows Defender client library. It answers WDStatus
// from the "defender" entry ({"hresult": 0, "enabled": 1}) of the
// machine.json that MachineDescription() finds for this library.

#include <cstdint>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/mpclient/export.h"
#include "tests/mpclient/machine_description.h"

namespace {
constexpr std::int32_t E_FAIL = static_cast<std::int32_t>(0x80004005);
}  // namespace

extern "C" KV_MPCLIENT_EXPORT std::int32_t KV_MPCLIENT_CALL WDStatus(std::int32_t* enabled) {
  if (!enabled) return E_FAIL;
  std::ifstream in(MachineDescription());
  const auto machine = nlohmann::json::parse(in, nullptr, false);
  if (machine.is_discarded() || !machine.is_object() || !machine.contains("defender")) return E_FAIL;
  const auto& defender = machine["defender"];
  const auto hresult = static_cast<std::int32_t>(defender.value("hresult", 0LL));
  if (hresult != 0) return hresult;
  *enabled = static_cast<std::int32_t>(defender.value("enabled", 0LL));
  return 0;
}
