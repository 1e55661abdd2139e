#pragma once
// The date, time and date-time values of TARN_SQL_DATE, TARN_SQL_TIME and
// TARN_SQL_DATETIME columns, their text forms and their parsers.
//
// The values are flat records of bytes without pointers, so that a stored
// value can be copied byte for byte with its length (a row snapshot, an
// arena) and read back from any address:
//   TarnDate      year (16 bits), month, day            stored length 4
//   TarnTime      hours, minutes, seconds               stored length 3
//   TarnDateTime  a date, a time, a byte naming the parts present and three
//                 zero bytes                            stored length 11
// A date-time made from a text always holds both parts: a time alone gets
// the zero date 0000-00-00, a date alone the time 00:00:00. A
// TarnGenDateTime may lack either part.
//
// Only real dates and times are made: month 1-12, a day that the month has,
// a year up to 9999, hours 0-23, minutes and seconds 0-59; the zero date is
// the one date outside those ranges. Anything else fails to be created (a
// date of 2023-02-31 or 99999-1-1 is no date), so every value prints in the
// text forms below and reads back unchanged.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace kv {

// Every field is a byte (the year two of them, low-order first), so that
// the records have no padding and no alignment: a stored value is read in
// place wherever it lies.
struct TarnDate {
  std::uint8_t yearBytes[2] = {0, 0};
  std::uint8_t month = 0;
  std::uint8_t day = 0;

  constexpr TarnDate() = default;
  constexpr TarnDate(std::uint16_t year, std::uint8_t month, std::uint8_t day)
      : yearBytes{static_cast<std::uint8_t>(year), static_cast<std::uint8_t>(year >> 8)}, month(month), day(day) {}
  constexpr std::uint16_t year() const { return static_cast<std::uint16_t>(yearBytes[0] | yearBytes[1] << 8); }
};
struct TarnTime {
  std::uint8_t hours = 0;
  std::uint8_t minutes = 0;
  std::uint8_t seconds = 0;
};
struct TarnDateTime {
  TarnDate date;
  TarnTime time;
  std::uint8_t parts = 0;  // TARN_DATE_PART | TARN_TIME_PART
  std::uint8_t reserved[3] = {0, 0, 0};
};
using TarnGenDateTime = TarnDateTime;

constexpr std::uint8_t TARN_DATE_PART = 1;
constexpr std::uint8_t TARN_TIME_PART = 2;

// Stored lengths.
constexpr int TARN_DATE_LENGTH = 4;
constexpr int TARN_TIME_LENGTH = 3;
constexpr int TARN_DATETIME_LENGTH = 11;
static_assert(sizeof(TarnDate) == TARN_DATE_LENGTH && sizeof(TarnTime) == TARN_TIME_LENGTH &&
              sizeof(TarnDateTime) == TARN_DATETIME_LENGTH && alignof(TarnDateTime) == 1);
static_assert(std::is_trivially_copyable_v<TarnDateTime>);

[[nodiscard]] bool IsValidTarnDate(int year, int month, int day);
[[nodiscard]] bool IsValidTarnTime(int hours, int minutes, int seconds);

// Fail with "TarnDate creation failed", "TarnTime creation failed" or
// "TarnDateTime creation failed" (ERROR) for fields out of range.
std::optional<TarnDate> CreateTarnDate(int year, int month, int day);
std::optional<TarnTime> CreateTarnTime(int hours, int minutes, int seconds);
std::optional<TarnDateTime> CreateTarnDateTime(int year, int month, int day, int hours, int minutes, int seconds);

// Text forms "%04d-%02d-%02d", "%02d:%02d:%02d" and both joined by a blank,
// in a buffer of their own (no allocation).
struct DateTimeText {
  char text[32];
  std::string_view view() const { return text; }
};
DateTimeText FormatTarnDate(const TarnDate& date);
DateTimeText FormatTarnTime(const TarnTime& time);
// Only the parts present; the empty text when there are none.
DateTimeText FormatTarnDateTime(const TarnDateTime& value);

// Fresh texts; null for a null value (and for a date-time without parts).
std::optional<std::string> TarnDateToString(const TarnDate* date);
std::optional<std::string> TarnTimeToString(const TarnTime* time);
std::optional<std::string> TarnDateTimeToString(const TarnDateTime* value);

// "%d-%d-%d", "%d:%d:%d" and "%d-%d-%d %d:%d:%d" (trailing text ignored);
// null when a field is missing or a value is out of range.
std::optional<TarnDate> ParseTarnDate(std::string_view text);
std::optional<TarnTime> ParseTarnTime(std::string_view text);
std::optional<TarnDateTime> ParseTarnDateTime(std::string_view text);

// A date and time text, a date text or a time text, told apart by the '-'
// and ':' it holds; null for a null text (logged), a text with neither, a
// missing field or a value out of range.
std::optional<TarnDateTime> ConvertStringToTarnDateTime(const char* text);
// The same for the first length bytes of text (a NUL ends it earlier).
std::optional<TarnDateTime> ConvertStringToTarnDateTime(const char* text, std::size_t length);
// The same, leaving out the part the text does not give.
std::optional<TarnGenDateTime> ConvertStringToTarnGenDateTime(const char* text);

// The current local date and time.
std::optional<TarnDateTime> GetCurrentTarnDateTime();

// A stored date/time value by its length: 4 a date, 3 a time, 11 a
// date-time. Null for any other length or a null value.
std::optional<TarnGenDateTime> ReadDateTimeValue(const void* bytes, int length);

}  // namespace kv
