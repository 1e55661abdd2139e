#include "platform/clock.h"

#include <sys/time.h>
#include <time.h>

#include "platform/posix/machine.h"
#include "platform/system.h"

namespace kv {

namespace {

// A broken-down time of the given seconds since 1970 read as UTC.
SystemTime Broken(time_t seconds, long nanoseconds) {
  tm parts{};
  gmtime_r(&seconds, &parts);
  return SystemTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_wday, parts.tm_mday,
                    parts.tm_hour,        parts.tm_min,     parts.tm_sec,  static_cast<int>(nanoseconds / 1000000)};
}

}  // namespace

SystemTime GetSystemTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return Broken(now.tv_sec, now.tv_nsec);
}

// The machine's "time_zone_bias" (minutes); a machine that does not give one
// keeps UTC. The host's own zone never shows: the image alone says where the
// computer stands.
long GetTimeZoneBias() {
  const auto& bias = posix::MachineValue("/time_zone_bias");
  return bias.is_number_integer() ? bias.get<long>() : 0;
}

// Local time is UTC less the machine's bias.
SystemTime GetLocalTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return Broken(now.tv_sec - static_cast<time_t>(GetTimeZoneBias()) * 60, now.tv_nsec);
}

}  // namespace kv
