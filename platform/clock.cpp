#include "platform/clock.h"

namespace kv {
namespace {

// Days from 1601-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysSince1601(int year, int month, int day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = static_cast<int>(y - era * 400);
  const int mp = (month + 9) % 12;
  const int doy = (153 * mp + 2) / 5 + day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t daysSince1970 = era * 146097 + doe - 719468;
  constexpr std::int64_t kDays1601To1970 = 134774;
  return daysSince1970 + kDays1601To1970;
}

}  // namespace

std::int64_t SystemTimeToFileTime(const SystemTime& t) {
  const std::int64_t days = DaysSince1601(t.year, t.month, t.day);
  const std::int64_t seconds = days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
  return (seconds * 1000 + t.milliseconds) * 10000;
}

}  // namespace kv
