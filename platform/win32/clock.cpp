// Universal time and the time zone through kernel32.

#include "platform/clock.h"

#include "platform/win32/windows_api.h"

namespace kv {

SystemTime GetSystemTime() {
  SYSTEMTIME now{};
  ::GetSystemTime(&now);
  return SystemTime{now.wYear, now.wMonth,  now.wDayOfWeek, now.wDay,
                    now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
}

long GetTimeZoneBias() {
  TIME_ZONE_INFORMATION zone{};
  // The bias in force now: daylight saving time adds its own.
  switch (::GetTimeZoneInformation(&zone)) {
    case TIME_ZONE_ID_DAYLIGHT: return zone.Bias + zone.DaylightBias;
    case TIME_ZONE_ID_STANDARD: return zone.Bias + zone.StandardBias;
    case TIME_ZONE_ID_INVALID: return 0;
    default: return zone.Bias;
  }
}

}  // namespace kv
