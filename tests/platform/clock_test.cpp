// Local time is the machine's: UTC less the image's time-zone bias, whatever
// zone the host is in.

#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "platform/system.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

// Minutes local time is ahead of UTC now (rounded), read twice around.
long MinutesAhead() {
  const std::int64_t utc = SystemTimeToFileTime(GetSystemTime());
  const std::int64_t local = SystemTimeToFileTime(GetLocalTime());
  return std::lround(static_cast<double>(local - utc) / 600'000'000.0);
}

TEST(Clock, LocalTimeIsUtcLessTheMachinesBias) {
  test::TempMachine machine;
  machine.WriteMachineJson(R"({"time_zone_bias": -600})");  // ten hours east of UTC
  machine.Use();
  EXPECT_EQ(GetTimeZoneBias(), -600);
  EXPECT_EQ(MinutesAhead(), 600);

  machine.WriteMachineJson(R"({"time_zone_bias": 300})");
  machine.Use();
  EXPECT_EQ(MinutesAhead(), -300);
}

TEST(Clock, TheHostsZoneNeverShows) {
  const char* saved = std::getenv("TZ");
  const std::string previous = saved ? saved : "";
  setenv("TZ", "EST+5", 1);
  tzset();
  test::TempMachine machine;
  machine.Use();
  EXPECT_EQ(GetTimeZoneBias(), 0);
  EXPECT_EQ(MinutesAhead(), 0);
  if (saved)
    setenv("TZ", previous.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

}  // namespace
}  // namespace kv
