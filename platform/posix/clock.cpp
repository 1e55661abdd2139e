#include "platform/clock.h"

#include <sys/time.h>
#include <time.h>

#include "platform/posix/machine.h"

namespace kv {

SystemTime GetSystemTime() {
  timeval now{};
  gettimeofday(&now, nullptr);
  tm parts{};
  gmtime_r(&now.tv_sec, &parts);
  return SystemTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_wday, parts.tm_mday,
                    parts.tm_hour,        parts.tm_min,     parts.tm_sec,  static_cast<int>(now.tv_usec / 1000)};
}

// The machine's "time_zone_bias" (minutes) when machine.json sets one, else
// the host's.
long GetTimeZoneBias() {
  const auto& bias = posix::MachineValue("/time_zone_bias");
  if (bias.is_number_integer()) return bias.get<long>();
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  return -local.tm_gmtoff / 60;
}

}  // namespace kv
