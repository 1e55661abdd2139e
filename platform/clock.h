#pragma once
// Universal time and the machine's time zone.

#include <cstdint>

#include "platform/system.h"

namespace kv {

// The current time in UTC, as GetSystemTime gives it.
SystemTime GetSystemTime();

// The time-zone bias in minutes: UTC = local time + bias (west of UTC is
// positive), as the system's time-zone information gives it.
long GetTimeZoneBias();

// 100-nanosecond intervals since 1601-01-01, of a time read as UTC
// (SystemTimeToFileTime).
std::int64_t SystemTimeToFileTime(const SystemTime& time);

}  // namespace kv
