#include "transfer/reconnect_budget.h"

#include <algorithm>

#include "base/log_writer.h"

namespace kv {

bool ReconnectBudget::Grant(const char* operation, std::uint64_t held) {
  // The last request must have brought something the download did not have
  // before: a body sent again from its start counts for nothing.
  const bool progressed = used_ == 0 || held > mostHeld_;
  if (used_ >= kReconnectsPerDownload || !progressed) {
    LogError("%s : The connection was lost at byte %llu after %d new requests%s; the download ends\n", operation,
             static_cast<unsigned long long>(held), used_, progressed ? "" : " that brought nothing new");
    return false;
  }
  mostHeld_ = std::max(mostHeld_, held);
  ++used_;
  return true;
}

}  // namespace kv
