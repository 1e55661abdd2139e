#include "store/broken_down_time.h"

#include <string>

#include "base/log_writer.h"
#include "store/converter_log.h"
#include "store/text_scan.h"
#include "store/value_text.h"

namespace kv {
namespace {

std::tm MakeTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm time{};
  time.tm_year = year;
  time.tm_mon = month;
  time.tm_mday = day;
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  return time;
}

}  // namespace

int ParseMonth(const char* name) {
  LogTrace("\n\t@@@@@ Inside ParseMonth() @@@@@\n");
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (!name) return -1;
  for (int i = 0; i < 12; ++i) {
    if (AsciiEqualsNoCase(name, kMonths[i])) return i;
  }
  return -1;
}

std::optional<std::tm> ParseDateTime(const char* text) {
  LogConverterEntry("ParseDateTime");
  if (!text) return std::nullopt;
  try {
    std::string weekday, monthName, zone;
    int day, year, hour, minute, second;
    if (Scan(text, "%s %d %s %d %d:%d:%d %s", &weekday, &day, &monthName, &year, &hour, &minute, &second, &zone) == 8) {
      const int month = ParseMonth(monthName.c_str());
      if (month < 0) return std::nullopt;
      return MakeTime(year - 1900, month, day, hour, minute, second);
    }
    if (Scan(text, "%s %d-%3s-%d %d:%d:%d %s", &weekday, &day, &monthName, &year, &hour, &minute, &second, &zone) ==
        8) {
      const int month = ParseMonth(monthName.c_str());
      if (month < 0) return std::nullopt;
      return MakeTime(year, month, day, hour, minute, second);
    }
    if (Scan(text, "%s %s %d %d:%d:%d %d", &weekday, &monthName, &day, &hour, &minute, &second, &year) == 7) {
      const int month = ParseMonth(monthName.c_str());
      if (month < 0) return std::nullopt;
      return MakeTime(year - 1900, month, day, hour, minute, second);
    }
  } catch (const std::bad_alloc&) {
  }
  return std::nullopt;
}

int CompareTime(const std::tm& a, const std::tm& b) {
  LogConverterEntry("CompareTime");
  const int left[] = {a.tm_year, a.tm_mon, a.tm_mday, a.tm_hour, a.tm_min, a.tm_sec};
  const int right[] = {b.tm_year, b.tm_mon, b.tm_mday, b.tm_hour, b.tm_min, b.tm_sec};
  for (int i = 0; i < 6; ++i) {
    if (left[i] != right[i]) return left[i] > right[i] ? 1 : 0;
  }
  return 0;
}

}  // namespace kv
