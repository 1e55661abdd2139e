#include "store/date_time.h"

#include <cstdio>
#include <cstring>

#include "base/log_writer.h"
#include "platform/system.h"
#include "store/text_scan.h"

namespace kv {
namespace {

constexpr int kMaxYear = 9999;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

TarnDate MakeDate(int year, int month, int day) {
  return TarnDate(static_cast<std::uint16_t>(year), static_cast<std::uint8_t>(month), static_cast<std::uint8_t>(day));
}

TarnTime MakeTime(int hours, int minutes, int seconds) {
  return TarnTime{static_cast<std::uint8_t>(hours), static_cast<std::uint8_t>(minutes),
                  static_cast<std::uint8_t>(seconds)};
}

TarnDateTime Combine(const TarnDate& date, const TarnTime& time, std::uint8_t parts) {
  TarnDateTime value{};
  value.date = date;
  value.time = time;
  value.parts = parts;
  return value;
}

// What a text of a date, a time or both holds; the parts it lacks are zero.
std::optional<TarnDateTime> ParseByShape(std::string_view text) {
  const bool hasDate = text.find('-') != std::string_view::npos;
  const bool hasTime = text.find(':') != std::string_view::npos;
  if (hasDate && hasTime) return ParseTarnDateTime(text);
  if (hasDate) {
    const std::optional<TarnDate> date = ParseTarnDate(text);
    if (!date) return std::nullopt;
    return Combine(*date, TarnTime{}, TARN_DATE_PART);
  }
  if (hasTime) {
    const std::optional<TarnTime> time = ParseTarnTime(text);
    if (!time) return std::nullopt;
    return Combine(TarnDate{}, *time, TARN_TIME_PART);
  }
  return std::nullopt;
}

}  // namespace

bool IsValidTarnDate(int year, int month, int day) {
  if (year == 0 && month == 0 && day == 0) return true;
  return year >= 0 && year <= kMaxYear && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

bool IsValidTarnTime(int hours, int minutes, int seconds) {
  return hours >= 0 && hours <= 23 && minutes >= 0 && minutes <= 59 && seconds >= 0 && seconds <= 59;
}

std::optional<TarnDate> CreateTarnDate(int year, int month, int day) {
  if (!IsValidTarnDate(year, month, day)) {
    LogError("TarnDate creation failed");
    return std::nullopt;
  }
  return MakeDate(year, month, day);
}

std::optional<TarnTime> CreateTarnTime(int hours, int minutes, int seconds) {
  if (!IsValidTarnTime(hours, minutes, seconds)) {
    LogError("TarnTime creation failed");
    return std::nullopt;
  }
  return MakeTime(hours, minutes, seconds);
}

std::optional<TarnDateTime> CreateTarnDateTime(int year, int month, int day, int hours, int minutes, int seconds) {
  if (!IsValidTarnDate(year, month, day) || !IsValidTarnTime(hours, minutes, seconds)) {
    LogError("TarnDateTime creation failed");
    return std::nullopt;
  }
  return Combine(MakeDate(year, month, day), MakeTime(hours, minutes, seconds), TARN_DATE_PART | TARN_TIME_PART);
}

DateTimeText FormatTarnDate(const TarnDate& date) {
  DateTimeText out{};
  std::snprintf(out.text, sizeof out.text, "%04d-%02d-%02d", date.year(), date.month, date.day);
  return out;
}

DateTimeText FormatTarnTime(const TarnTime& time) {
  DateTimeText out{};
  std::snprintf(out.text, sizeof out.text, "%02d:%02d:%02d", time.hours, time.minutes, time.seconds);
  return out;
}

DateTimeText FormatTarnDateTime(const TarnDateTime& value) {
  const bool date = value.parts & TARN_DATE_PART;
  const bool time = value.parts & TARN_TIME_PART;
  if (date && !time) return FormatTarnDate(value.date);
  if (time && !date) return FormatTarnTime(value.time);
  DateTimeText out{};
  if (date && time)
    std::snprintf(out.text, sizeof out.text, "%04d-%02d-%02d %02d:%02d:%02d", value.date.year(), value.date.month,
                  value.date.day, value.time.hours, value.time.minutes, value.time.seconds);
  return out;
}

std::optional<std::string> TarnDateToString(const TarnDate* date) {
  if (!date) return std::nullopt;
  return std::string(FormatTarnDate(*date).view());
}

std::optional<std::string> TarnTimeToString(const TarnTime* time) {
  if (!time) return std::nullopt;
  return std::string(FormatTarnTime(*time).view());
}

std::optional<std::string> TarnDateTimeToString(const TarnDateTime* value) {
  if (!value || !(value->parts & (TARN_DATE_PART | TARN_TIME_PART))) return std::nullopt;
  return std::string(FormatTarnDateTime(*value).view());
}

std::optional<TarnDate> ParseTarnDate(std::string_view text) {
  int year, month, day;
  if (Scan(text, "%d-%d-%d", &year, &month, &day) != 3) return std::nullopt;
  return CreateTarnDate(year, month, day);
}

std::optional<TarnTime> ParseTarnTime(std::string_view text) {
  int hours, minutes, seconds;
  if (Scan(text, "%d:%d:%d", &hours, &minutes, &seconds) != 3) return std::nullopt;
  return CreateTarnTime(hours, minutes, seconds);
}

std::optional<TarnDateTime> ParseTarnDateTime(std::string_view text) {
  int year, month, day, hours, minutes, seconds;
  if (Scan(text, "%d-%d-%d %d:%d:%d", &year, &month, &day, &hours, &minutes, &seconds) != 6) return std::nullopt;
  return CreateTarnDateTime(year, month, day, hours, minutes, seconds);
}

std::optional<TarnDateTime> ConvertStringToTarnDateTime(const char* text) {
  return ConvertStringToTarnDateTime(text, text ? std::strlen(text) : 0);
}

std::optional<TarnDateTime> ConvertStringToTarnDateTime(const char* text, std::size_t length) {
  LogTrace("Inside ConvertStringToTarnDateTime \n");
  if (!text) {
    LogError("datetimeStr NULL \n");
    return std::nullopt;
  }
  const std::string_view view(text, length);
  std::optional<TarnDateTime> value = ParseByShape(view.substr(0, view.find('\0')));
  if (value) value->parts = TARN_DATE_PART | TARN_TIME_PART;
  return value;
}

std::optional<TarnGenDateTime> ConvertStringToTarnGenDateTime(const char* text) {
  LogTrace("Inside ConvertStringToTarnGenDateTime \n");
  if (!text) {
    LogError("datetimeStr NULL \n");
    return std::nullopt;
  }
  if (!std::strchr(text, '-') && !std::strchr(text, ':')) {
    LogError("The String is not a datetimeStr \n");
    return std::nullopt;
  }
  return ParseByShape(text);
}

std::optional<TarnDateTime> GetCurrentTarnDateTime() {
  const SystemTime now = GetLocalTime();
  const std::optional<TarnDate> date = CreateTarnDate(now.year, now.month, now.day);
  if (!date) {
    LogError("CreateTarnDate Failed");
    return std::nullopt;
  }
  // A leap second is shown as the last second of its minute.
  const std::optional<TarnTime> time = CreateTarnTime(now.hour, now.minute, now.second > 59 ? 59 : now.second);
  if (!time) {
    LogError("CreateTarnTime Failed");
    return std::nullopt;
  }
  return Combine(*date, *time, TARN_DATE_PART | TARN_TIME_PART);
}

std::optional<TarnGenDateTime> ReadDateTimeValue(const void* bytes, int length) {
  if (!bytes) return std::nullopt;
  TarnDateTime value{};
  switch (length) {
    case TARN_DATE_LENGTH:
      std::memcpy(&value.date, bytes, TARN_DATE_LENGTH);
      value.parts = TARN_DATE_PART;
      return value;
    case TARN_TIME_LENGTH:
      std::memcpy(&value.time, bytes, TARN_TIME_LENGTH);
      value.parts = TARN_TIME_PART;
      return value;
    case TARN_DATETIME_LENGTH: std::memcpy(&value, bytes, TARN_DATETIME_LENGTH); return value;
    default: return std::nullopt;
  }
}

}  // namespace kv
