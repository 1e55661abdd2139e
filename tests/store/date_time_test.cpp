#include "store/date_time.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_log.h"

namespace kv {
namespace {

std::optional<std::string> Text(const std::optional<TarnDateTime>& value) {
  return value ? TarnDateTimeToString(&*value) : std::nullopt;
}

TEST(DateTimeTest, TextFormsOfEachShape) {
  EXPECT_EQ(Text(ConvertStringToTarnDateTime("2018-01-19")), "2018-01-19 00:00:00");
  EXPECT_EQ(Text(ConvertStringToTarnDateTime("06:38:15")), "0000-00-00 06:38:15");
  EXPECT_EQ(Text(ConvertStringToTarnDateTime("2018-1-9 6:38:15")), "2018-01-09 06:38:15");
  EXPECT_EQ(ConvertStringToTarnDateTime("20180119"), std::nullopt);

  EXPECT_EQ(Text(ConvertStringToTarnGenDateTime("2018-01-19")), "2018-01-19");
  EXPECT_EQ(Text(ConvertStringToTarnGenDateTime("06:38:15")), "06:38:15");
  EXPECT_EQ(Text(ConvertStringToTarnGenDateTime("2018-01-19 06:38:15")), "2018-01-19 06:38:15");

  TarnDateTime none{};
  EXPECT_EQ(TarnDateTimeToString(&none), std::nullopt);
  EXPECT_EQ(TarnDateTimeToString(nullptr), std::nullopt);
  const TarnDate date{7, 2, 3};
  EXPECT_EQ(TarnDateToString(&date), "0007-02-03");
  const TarnTime time{23, 5, 9};
  EXPECT_EQ(TarnTimeToString(&time), "23:05:09");
  EXPECT_EQ(TarnDateToString(nullptr), std::nullopt);
}

TEST(DateTimeTest, OnlyRealDatesAndTimesAreMade) {
  test::TestLog log;
  EXPECT_EQ(ConvertStringToTarnDateTime("2023-02-31"), std::nullopt);
  EXPECT_TRUE(log.Contains("TarnDate creation failed"));
  EXPECT_EQ(ConvertStringToTarnDateTime("99999-1-1"), std::nullopt);
  EXPECT_EQ(ConvertStringToTarnDateTime("2023-13-01 00:00:00"), std::nullopt);
  EXPECT_TRUE(log.Contains("TarnDateTime creation failed"));
  EXPECT_EQ(ConvertStringToTarnDateTime("24:00:00"), std::nullopt);
  EXPECT_TRUE(log.Contains("TarnTime creation failed"));
  EXPECT_EQ(ConvertStringToTarnDateTime("12:60:00"), std::nullopt);
  EXPECT_EQ(ConvertStringToTarnDateTime("2024-02-30"), std::nullopt);
  EXPECT_EQ(Text(ConvertStringToTarnDateTime("2024-02-29")), "2024-02-29 00:00:00");  // a leap year
  EXPECT_EQ(ConvertStringToTarnDateTime("1900-02-29"), std::nullopt);
  EXPECT_EQ(ConvertStringToTarnDateTime("2018-01-"), std::nullopt);        // a field missing
  EXPECT_EQ(ConvertStringToTarnDateTime("4294969296-1-1"), std::nullopt);  // not wrapped into range
  EXPECT_EQ(ConvertStringToTarnDateTime("-1-1-1"), std::nullopt);
  EXPECT_EQ(Text(ConvertStringToTarnDateTime("0000-00-00 00:00:00")), "0000-00-00 00:00:00");

  EXPECT_EQ(ConvertStringToTarnDateTime(nullptr), std::nullopt);
  EXPECT_TRUE(log.Contains("datetimeStr NULL \n"));
  EXPECT_EQ(ConvertStringToTarnGenDateTime("noon"), std::nullopt);
  EXPECT_TRUE(log.Contains("The String is not a datetimeStr \n"));
  EXPECT_TRUE(log.Contains("Inside ConvertStringToTarnDateTime \n"));
}

TEST(DateTimeTest, StoredValuesReadByTheirLength) {
  const std::optional<TarnDateTime> both = CreateTarnDateTime(2018, 1, 19, 6, 38, 15);
  ASSERT_TRUE(both);
  const auto read = ReadDateTimeValue(&*both, TARN_DATETIME_LENGTH);
  ASSERT_TRUE(read);
  EXPECT_EQ(FormatTarnDateTime(*read).view(), "2018-01-19 06:38:15");
  EXPECT_EQ(FormatTarnDateTime(*ReadDateTimeValue(&both->date, TARN_DATE_LENGTH)).view(), "2018-01-19");
  EXPECT_EQ(FormatTarnDateTime(*ReadDateTimeValue(&both->time, TARN_TIME_LENGTH)).view(), "06:38:15");
  EXPECT_EQ(ReadDateTimeValue(&*both, 5), std::nullopt);
  EXPECT_EQ(ReadDateTimeValue(nullptr, 4), std::nullopt);
}

TEST(DateTimeTest, CurrentDateAndTime) {
  const std::optional<TarnDateTime> now = GetCurrentTarnDateTime();
  ASSERT_TRUE(now);
  EXPECT_GE(now->date.year(), 2024);
  EXPECT_EQ(now->parts, TARN_DATE_PART | TARN_TIME_PART);
  EXPECT_TRUE(IsValidTarnDate(now->date.year(), now->date.month, now->date.day));
}

}  // namespace
}  // namespace kv
