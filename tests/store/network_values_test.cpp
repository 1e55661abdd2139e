#include "store/network_values.h"

#include <gtest/gtest.h>

#include <string>

#include "store/broken_down_time.h"
#include "store/path_checks.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

TEST(NetworkValuesTest, OidAndIpTexts) {
  OidArray parts;
  EXPECT_EQ(ConvertToOidOrIpFromString(parts, "10.0.0.1", true), 4);
  EXPECT_EQ(parts, (OidArray{10, 0, 0, 1}));
  EXPECT_EQ(ConvertToOidOrIpFromString(parts, "10.0.x.1", true), -1);
  EXPECT_TRUE(parts.empty());
  EXPECT_EQ(ConvertToOidOrIpFromString(parts, ".1.3.6", false), 3);
  EXPECT_EQ(parts, (OidArray{1, 3, 6}));
  EXPECT_EQ(ConvertToOidOrIpFromString(parts, "1.3.6", false), -1);  // an OID starts with its dot
  EXPECT_EQ(ConvertToOidOrIpFromString(parts, "10", true), -1);
  EXPECT_EQ(ConvertToOidOrIpFromString(parts, "1.+.2", true), -1);  // reads as 0 without a zero digit
  EXPECT_EQ(ConvertToOidOrIpFromString(parts, nullptr, true), -1);

  EXPECT_FALSE(IsValidIPAddress("1..2.3", 6));
  EXPECT_FALSE(IsValidIPAddress("256.1.1.1", 9));
  EXPECT_FALSE(IsValidIPAddress("1.2.3", 5));
  EXPECT_FALSE(IsValidIPAddress(".1.2.3", 6));
  EXPECT_FALSE(IsValidIPAddress("1.2.3.", 6));
  EXPECT_FALSE(IsValidIPAddress("1.2.3.0x", 8));
  EXPECT_TRUE(IsValidIPAddress("0.0.0.0", 7));
  EXPECT_TRUE(IsValidIPAddress("192.168.00.255", 14));
  EXPECT_TRUE(IsValidOid(".1.3", 4));
  EXPECT_FALSE(IsValidOid(".1", 2));
}

TEST(NetworkValuesTest, OidArrays) {
  const std::uint32_t oid[] = {1, 3, 6, 4294967295u};
  int size = sizeof oid;
  // Ten digits per sub-identifier plus its dot: no fixed buffer to outgrow.
  EXPECT_EQ(ConvertToStringFromOID(oid, size), ".1.3.6.4294967295");
  EXPECT_EQ(size, 17);
  const std::uint32_t shorter[] = {1, 3};
  EXPECT_EQ(CompareOid(oid, 4, shorter, 2), 1);
  EXPECT_EQ(CompareOid(shorter, 2, oid, 4), -1);
  EXPECT_EQ(CompareOid(oid, 2, shorter, 2), 0);
  EXPECT_EQ(GetNextSubId(3, oid, 4), 6u);
  EXPECT_EQ(GetNextSubId(4294967295u, oid, 4), 0u);
  std::string ip;
  const std::uint32_t address[] = {9, 10, 0, 0, 7};
  EXPECT_TRUE(ConvertToIpAddressFromOid(ip, address, 5, 1, 5));
  EXPECT_EQ(ip, "10.0.0.7");
  EXPECT_FALSE(ConvertToIpAddressFromOid(ip, address, 5, 2, 6));
  EXPECT_EQ(ConvertToCharArray(address, 2), std::string("\x09\x0A"));
  OidArray copy;
  EXPECT_EQ(ReallocateAndSetOID(copy, oid, 2), 1);
  EXPECT_EQ(copy, (OidArray{1, 3}));
}

TEST(NetworkValuesTest, BinaryDateTimes) {
  const std::uint8_t octets[] = {0x07, 0xE2, 0x01, 0x13, 0x06, 0x26, 0x0F, 0x00, '+', 5, 30};
  int length = 8;
  EXPECT_EQ(ConvertToStringFromDateTime(octets, length), "2018-1-19,6:38:15.0");
  EXPECT_EQ(length, 19);
  length = 11;
  EXPECT_EQ(ConvertToStringFromDateTime(octets, length), "2018-1-19,6:38:15.0,+5:30");
  length = 9;  // neither form: nothing is read beyond the octets given
  EXPECT_EQ(ConvertToStringFromDateTime(octets, length), std::nullopt);

  const auto back = ConvertToDateTimeFromString("2018-1-19,6:38:15.0,+5:30", length);
  ASSERT_TRUE(back);
  EXPECT_EQ(length, 11);
  EXPECT_EQ(*back, std::vector<std::uint8_t>(octets, octets + 11));
  EXPECT_EQ(ConvertToDateTimeFromString("2018-1-19,6:38:15.0", length)->size(), 8u);
  EXPECT_EQ(ConvertToDateTimeFromString("2018-1-19", length), std::nullopt);
  EXPECT_EQ(ConvertToDateTimeFromString("2018-300-19,6:38:15.0", length), std::nullopt);
}

TEST(NetworkValuesTest, CountersAndIntegers) {
  Counter64 counter;
  const std::uint8_t nine[] = {0, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  ConvertToCounter64(counter, nine, 9);
  EXPECT_EQ(counter.high, 0x01020304u);
  EXPECT_EQ(counter.low, 0x05060708u);
  ConvertToCounter64(counter, nine + 6, 3);
  EXPECT_EQ(counter.high, 0u);
  EXPECT_EQ(counter.low, 0x060708u);
  ConvertToCounter64FromULongLong(0xFFFFFFFFFFFFFFFFull, counter);
  EXPECT_EQ(ConvertToStringFromCounter64(counter), "18446744073709551615");  // unsigned, never negative

  const std::uint8_t negative[] = {0xFF, 0xFE};
  EXPECT_EQ(ConvertToInteger(negative, 2), -2);
  EXPECT_EQ(ConvertToInteger(nine, 5), -1);
  EXPECT_EQ(ToString(-5, 0), "-5");
  EXPECT_EQ(ToString(2, 1), "TRUE");
  EXPECT_EQ(ToString(0, 1), "FALSE");
  EXPECT_EQ(ToString(0, 2), std::nullopt);
  int length = 0;
  EXPECT_EQ(ConvertToStringFromUnsignedInteger(4294967295u, &length), "4294967295");
  EXPECT_EQ(length, 10);
}

TEST(NetworkValuesTest, HexDigits) {
  EXPECT_EQ(GetHexValue('b'), 11);
  EXPECT_EQ(GetHexValue('z'), 'z');
  EXPECT_EQ(ConvertToDecimalFromHexa('z'), 0);
  char text[] = "4a6B";
  ConvertToHexValue(text, 4);
  EXPECT_EQ(static_cast<std::uint8_t>(text[0]), 0x4A);
  EXPECT_EQ(static_cast<std::uint8_t>(text[1]), 0x6B);
  std::uint8_t nibbles[4];
  const std::uint8_t octets[] = {0x4A, 0x6B};
  ConvertToStringFromHex(nibbles, octets, 2);
  EXPECT_EQ(nibbles[0], 4);
  EXPECT_EQ(nibbles[3], 11);
}

TEST(BrokenDownTimeTest, MonthsAndTheThreeHttpDateForms) {
  EXPECT_EQ(ParseMonth("sep"), 8);
  EXPECT_EQ(ParseMonth("Sept"), -1);
  EXPECT_EQ(ParseMonth(nullptr), -1);

  const auto rfc1123 = ParseDateTime("Sun, 06 Nov 1994 08:49:37 GMT");
  ASSERT_TRUE(rfc1123);
  EXPECT_EQ(rfc1123->tm_year, 94);
  EXPECT_EQ(rfc1123->tm_mon, 10);
  EXPECT_EQ(rfc1123->tm_mday, 6);
  EXPECT_EQ(rfc1123->tm_sec, 37);
  const auto rfc850 = ParseDateTime("Sunday, 06-Nov-94 08:49:37 GMT");
  ASSERT_TRUE(rfc850);
  EXPECT_EQ(rfc850->tm_year, 94);  // as written
  const auto asctime = ParseDateTime("Sun Nov  6 08:49:37 1994");
  ASSERT_TRUE(asctime);
  EXPECT_EQ(asctime->tm_year, 94);
  EXPECT_EQ(asctime->tm_hour, 8);
  EXPECT_EQ(ParseDateTime("Sun, 06 Now 1994 08:49:37 GMT"), std::nullopt);
  EXPECT_EQ(ParseDateTime(std::string(10000, 'A').c_str()), std::nullopt);  // any length, no overrun

  std::tm later = *rfc1123;
  later.tm_sec += 1;
  EXPECT_EQ(CompareTime(later, *rfc1123), 1);
  EXPECT_EQ(CompareTime(*rfc1123, later), 0);
  EXPECT_EQ(CompareTime(*rfc1123, *asctime), 0);
}

TEST(PathChecksTest, DirectoriesOnly) {
  test::TempMachine machine;
  machine.MakeDirectory("drive_c/store");
  machine.WriteFile("drive_c/store/CMakeLists.txt", "");
  machine.Use();
  EXPECT_TRUE(IsDirectory("C:\\store"));
  EXPECT_FALSE(IsDirectory("C:\\store\\CMakeLists.txt"));
  EXPECT_FALSE(IsDirectory("C:\\no-such-entry"));
  EXPECT_FALSE(IsDirectory(nullptr));
}

}  // namespace
}  // namespace kv
