#include "store/typed_value.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "store/column_types.h"
#include "store/date_time.h"
#include "store/memory_pool.h"

namespace kv {
namespace {

// A converted value and its length, for the checks below.
struct Converted {
  OwnedValue value;
  std::int32_t length;
};

Converted Convert(const char* text, std::uint8_t type, std::int32_t length = 0) {
  Converted out{nullptr, length};
  out.value = ConvertToTypedValue(text, out.length, type);
  return out;
}

TEST(TypedValueTest, StrictDecimalParses) {
  EXPECT_EQ(ParseInt32("+12"), 12);
  EXPECT_EQ(ParseInt32("-7"), -7);
  EXPECT_EQ(ParseInt32("12a"), 0);
  EXPECT_EQ(ParseInt32(""), 0);
  EXPECT_EQ(ParseInt32("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseInt32("2147483648"), 0);  // out of range: no value rather than a wrapped one
  EXPECT_EQ(ParseInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(ParseInt64("9223372036854775808"), 0);
  EXPECT_DOUBLE_EQ(ParseDouble("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(ParseDouble("-2."), -2.0);
  EXPECT_DOUBLE_EQ(ParseDouble(".25"), 0.25);
  EXPECT_DOUBLE_EQ(ParseDouble("1e5"), 0.0);
  EXPECT_DOUBLE_EQ(ParseDouble("."), 0.0);
}

TEST(TypedValueTest, IntegersAreStoredAtTheirTypesWidth) {
  Converted tiny = Convert("300", TARN_SQL_TINYINT);
  ASSERT_NE(tiny.value, nullptr);
  EXPECT_EQ(tiny.length, 1);
  EXPECT_EQ(static_cast<std::uint8_t>(tiny.value[0]), 300 & 0xFF);  // low-order byte

  Converted small = Convert("-2", TARN_SQL_SMALLINT);
  EXPECT_EQ(small.length, 2);
  EXPECT_EQ(ReadSignedInteger(small.value.get(), 2), -2);

  Converted big = Convert("-5000000000", TARN_SQL_LONG_INT);
  EXPECT_EQ(big.length, 8);
  EXPECT_EQ(ReadSignedInteger(big.value.get(), 8), -5000000000LL);

  Converted unsignedInt = Convert("4000000000", TARN_SQL_UNSIGNED_INT);  // beyond ParseInt32: 0
  EXPECT_EQ(ReadUnsignedInteger(unsignedInt.value.get(), 4), 0u);

  Converted real = Convert("2.5", TARN_SQL_REAL);
  EXPECT_EQ(real.length, 4);
  EXPECT_EQ(ReadFloat(real.value.get()), 2.5f);
  Converted dbl = Convert("-0.125", TARN_SQL_DOUBLE);
  EXPECT_EQ(dbl.length, 8);
  EXPECT_EQ(ReadDouble(dbl.value.get()), -0.125);
}

TEST(TypedValueTest, TextsRawBytesBooleansAndDates) {
  Converted text = Convert("RESOURCE_ID", TARN_SQL_VARCHAR);
  EXPECT_EQ(text.length, 11);
  EXPECT_STREQ(text.value.get(), "RESOURCE_ID");

  Converted raw = Convert("ab\0cd", TARN_SQL_BLOB, 5);
  EXPECT_EQ(raw.length, 5);
  EXPECT_EQ(std::memcmp(raw.value.get(), "ab\0cd", 5), 0);
  EXPECT_EQ(Convert("ab", TARN_SQL_BLOB, -1).value, nullptr);

  Converted yes = Convert("true", TARN_SQL_BOOLEAN);
  EXPECT_EQ(yes.length, 1);
  EXPECT_EQ(yes.value[0], 1);
  EXPECT_EQ(Convert("FALSE", TARN_SQL_BOOLEAN).value[0], 0);
  EXPECT_EQ(Convert("yes", TARN_SQL_BOOLEAN).value, nullptr);

  Converted date = Convert("2018-01-19", TARN_SQL_DATE);
  EXPECT_EQ(date.length, TARN_DATETIME_LENGTH);  // a date-time also for a date column
  EXPECT_EQ(ConvertTypedValueToText(date.value.get(), date.length, TARN_SQL_DATE), "2018-01-19 00:00:00");
  EXPECT_EQ(Convert("2023-02-31", TARN_SQL_DATE).value, nullptr);

  EXPECT_EQ(Convert("1", 23).value, nullptr);
  EXPECT_EQ(Convert(nullptr, TARN_SQL_INT).value, nullptr);
}

TEST(TypedValueTest, ParsingInPlaceViewsTextsWithoutCopying) {
  const std::string literal = "x500000";
  TypedValueBuffer buffer;
  ASSERT_TRUE(ParseTypedValue(literal, TARN_SQL_TEXT, buffer));
  EXPECT_EQ(buffer.value().data, literal.data());
  EXPECT_EQ(buffer.value().length, 7);
  ASSERT_TRUE(ParseTypedValue("999990", TARN_SQL_INT, buffer));
  EXPECT_EQ(ReadSignedInteger(buffer.value().data, buffer.value().length), 999990);
  EXPECT_FALSE(ParseTypedValue("maybe", TARN_SQL_BOOLEAN, buffer));
  EXPECT_TRUE(buffer.value().IsNull());
}

TEST(TypedValueTest, DisplayTexts) {
  EXPECT_EQ(ConvertTypedValueToText(nullptr, 0, TARN_SQL_INT), "NULL");
  EXPECT_EQ(ConvertTypedValueToText("x", 1, TARN_SQL_NOT_SUPPORTED_TYPE), std::nullopt);
  EXPECT_EQ(ConvertTypedValueToText("x", 1, 23), std::nullopt);

  const char minusOne[4] = {'\xFF', '\xFF', '\xFF', '\xFF'};
  EXPECT_EQ(ConvertTypedValueToText(minusOne, 4, TARN_SQL_INT), "-1");
  EXPECT_EQ(ConvertTypedValueToText(minusOne, 4, TARN_SQL_UNSIGNED_INT), "4294967295");
  EXPECT_EQ(ConvertTypedValueToText(minusOne, 1, TARN_SQL_TINYINT), "-1");
  // A tiny integer of a table document is held in 4 bytes and read as such.
  const char seven[4] = {7, 0, 0, 0};
  EXPECT_EQ(ConvertTypedValueToText(seven, 4, TARN_SQL_UNSIGNED_TINYINT), "7");

  const float quarter = 0.25f;
  EXPECT_EQ(ConvertTypedValueToText(reinterpret_cast<const char*>(&quarter), 4, TARN_SQL_FLOAT), "0.250000");
  const double huge = 1e308;
  EXPECT_EQ(ConvertTypedValueToText(reinterpret_cast<const char*>(&huge), 8, TARN_SQL_DOUBLE)->size(), 316u);

  const char on = 1, off = 0;
  EXPECT_EQ(ConvertTypedValueToText(&on, 1, TARN_SQL_BOOLEAN), "'t'");
  EXPECT_EQ(ConvertTypedValueToText(&off, 1, TARN_SQL_BOOLEAN), "'f'");
  EXPECT_EQ(ConvertTypedValueToText("a<b", 3, TARN_SQL_TEXT), "a<b");

  // Date columns of table documents hold a date alone, time columns a time.
  const TarnDate date{2018, 1, 19};
  EXPECT_EQ(ConvertTypedValueToText(reinterpret_cast<const char*>(&date), 4, TARN_SQL_DATE), "2018-01-19");
  const TarnTime time{6, 38, 15};
  EXPECT_EQ(ConvertTypedValueToText(reinterpret_cast<const char*>(&time), 3, TARN_SQL_TIME), "06:38:15");
  EXPECT_EQ(ConvertTypedValueToText("12345", 5, TARN_SQL_DATE), std::nullopt);
}

TEST(TypedValueTest, SqlTextsComeFromThePool) {
  MemoryPool pool;
  const char seven[4] = {7, 0, 0, 0};
  EXPECT_STREQ(ConvertTypedValueToSqlText(seven, 4, TARN_SQL_INT, pool), "7");
  EXPECT_STREQ(ConvertTypedValueToSqlText("it's", 4, TARN_SQL_VARCHAR, pool), "it's");
  const char on = 1;
  EXPECT_STREQ(ConvertTypedValueToSqlText(&on, 1, TARN_SQL_BOOLEAN, pool), "'t'");
  EXPECT_EQ(ConvertTypedValueToSqlText("long text", 9, TARN_SQL_TEXT, pool), nullptr);
  EXPECT_EQ(ConvertTypedValueToSqlText("x", 1, TARN_SQL_BLOB, pool), nullptr);
  const TarnDate date{2018, 1, 19};
  EXPECT_EQ(ConvertTypedValueToSqlText(reinterpret_cast<const char*>(&date), 4, TARN_SQL_DATE, pool), nullptr);
  EXPECT_EQ(ConvertTypedValueToSqlText(nullptr, 0, TARN_SQL_INT, pool), nullptr);
}

TEST(ColumnTypesTest, TypeWordsAndWidening) {
  EXPECT_EQ(GetColumnTypeCode("bigint"), TARN_SQL_INT);
  EXPECT_EQ(GetColumnTypeCode("Long"), TARN_SQL_INT);
  EXPECT_EQ(GetColumnTypeCode("nchar"), TARN_SQL_VARCHAR);
  EXPECT_EQ(GetColumnTypeCode("TARN_SQL_CHAR"), TARN_SQL_CHAR);
  EXPECT_EQ(GetColumnTypeCode("VARCHAR"), TARN_SQL_NOT_SUPPORTED_TYPE);
  EXPECT_EQ(GetColumnTypeCode("timestamp"), TARN_SQL_DATETIME);
  EXPECT_EQ(GetColumnTypeCode(nullptr), TARN_SQL_NOT_SUPPORTED_TYPE);
  EXPECT_EQ(WidenColumnType(TARN_SQL_CHAR, 255), TARN_SQL_CHAR);
  EXPECT_EQ(WidenColumnType(TARN_SQL_CHAR, 256), TARN_SQL_TEXT);
  EXPECT_EQ(WidenColumnType(TARN_SQL_VARCHAR, 1000), TARN_SQL_TEXT);
  EXPECT_EQ(WidenColumnType(TARN_SQL_BLOB, 1000), TARN_SQL_BLOB);
  EXPECT_EQ(TypeSize(TARN_SQL_UNSIGNED_LONG_INT), 8);
  EXPECT_EQ(TypeSize(TARN_SQL_REAL), 4);
  EXPECT_EQ(TypeSize(TARN_SQL_TEXT), 0);
}

}  // namespace
}  // namespace kv
