#include "prereq/registry_path_reader.h"

#include <gtest/gtest.h>

#include "tests/support/test_log.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

using test::TempMachine;
using test::TestLog;

// A 32-bit process on 64-bit Windows, with one key present in both views.
class RegistryPathReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.WriteMachineJson(R"({"os":{"architecture":9,"wow64":true}})");
    machine.WriteRegistry(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Probe]\n"
        "@=\"the default\"\n"
        "\"Zero\"=dword:00000000\n"
        "\"AllOnes\"=dword:ffffffff\n"
        "\"Multi\"=hex(7):66,00,69,00,72,00,73,00,74,00,00,00,73,00,65,00,63,00,00,00,00,00\n"
        "\"Binary\"=hex:41,42,00,43\n"
        "\"Expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\n"
        "\"Text\"=\"native\"\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Probe]\n"
        "\"Text\"=\"redirected\"\n");
    machine.Use();
  }

  std::string value = "unchanged";
  TempMachine machine;
};

TEST_F(RegistryPathReaderTest, RootNamesLongShortAndCaseSensitive) {
  EXPECT_EQ(GetRegKeyValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Probe", "Text", value, true), REGPATH_VALUE_READ);
  EXPECT_EQ(value, "native");
  value.clear();
  EXPECT_EQ(GetRegKeyValue("HKLM\\SOFTWARE\\Probe", "Text", value, true), REGPATH_VALUE_READ);
  EXPECT_EQ(value, "native");
  EXPECT_EQ(GetRegKeyValue("hkey_local_machine\\SOFTWARE\\Probe", "Text", value, true), REGPATH_KEY_NOT_OPENED);
  EXPECT_EQ(value, "");
  const std::string longRoot(100, 'H');
  EXPECT_EQ(GetRegKeyValue((longRoot + "\\SOFTWARE").c_str(), "Text", value, true), REGPATH_KEY_NOT_OPENED);
  EXPECT_EQ(GetRegKeyValue(nullptr, "Text", value, true), REGPATH_KEY_NOT_OPENED);
}

TEST_F(RegistryPathReaderTest, ViewsDifferForRedirectedKeys) {
  ASSERT_EQ(GetRegKeyValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Probe", "Text", value, true), REGPATH_VALUE_READ);
  EXPECT_EQ(value, "native");
  ASSERT_EQ(GetRegKeyValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Probe", "Text", value, false), REGPATH_VALUE_READ);
  EXPECT_EQ(value, "redirected");
}

TEST_F(RegistryPathReaderTest, EmptyValueNameReadsNothing) {
  EXPECT_EQ(GetRegKeyValue("HKLM\\SOFTWARE\\Probe", "", value, true), REGPATH_NO_VALUE_NAME);
  EXPECT_EQ(value, "unchanged");
}

TEST_F(RegistryPathReaderTest, DashesReadTheDefaultValue) {
  TestLog log;
  EXPECT_EQ(GetRegKeyValue("HKLM\\SOFTWARE\\Probe", "--", value, true), REGPATH_VALUE_READ);
  EXPECT_EQ(value, "the default");
  EXPECT_TRUE(log.Contains("GetRegKeyValue : going to add the (default) value .\n"));
}

TEST_F(RegistryPathReaderTest, AbsentValueFailsWithTheFileNotFoundCode) {
  TestLog log;
  EXPECT_EQ(GetRegKeyValue("HKLM\\SOFTWARE\\Probe", "Missing", value, true), REGPATH_VALUE_NOT_READ);
  EXPECT_EQ(value, "");
  EXPECT_TRUE(
      log.Contains("[ERROR] GetRegKeyValue : Query of Key HKLM\\SOFTWARE\\Probe and valueName is "
                   "Missing failed due to error: 2.\n"));
}

TEST_F(RegistryPathReaderTest, MissingKeyLogsAndEmptiesTheOutput) {
  TestLog log;
  EXPECT_EQ(GetRegKeyValue("HKLM\\SOFTWARE\\Nowhere", "Text", value, true), REGPATH_KEY_NOT_OPENED);
  EXPECT_EQ(value, "");
  EXPECT_TRUE(log.Contains("GetRegKeyValue : Unable to open the key: HKLM\\SOFTWARE\\Nowhere\n"));
}

TEST_F(RegistryPathReaderTest, DwordsAreDecimalSigned) {
  ASSERT_EQ(GetRegKeyValue("HKLM\\SOFTWARE\\Probe", "Zero", value, true), REGPATH_VALUE_READ);
  EXPECT_EQ(value, "0");
  ASSERT_EQ(GetRegKeyValue("HKLM\\SOFTWARE\\Probe", "AllOnes", value, true), REGPATH_VALUE_READ);
  EXPECT_EQ(value, "-1");
}

TEST_F(RegistryPathReaderTest, OtherTypesReadUpToTheFirstNul) {
  ASSERT_EQ(GetRegKeyValue("HKLM\\SOFTWARE\\Probe", "Multi", value, true), REGPATH_VALUE_READ);
  EXPECT_EQ(value, "first");
  ASSERT_EQ(GetRegKeyValue("HKLM\\SOFTWARE\\Probe", "Binary", value, true), REGPATH_VALUE_READ);
  EXPECT_EQ(value, "AB");
  ASSERT_EQ(GetRegKeyValue("HKLM\\SOFTWARE\\Probe", "Expand", value, true), REGPATH_VALUE_READ);
  EXPECT_EQ(value, "%TEMP%");
}

TEST_F(RegistryPathReaderTest, LongStringsAreReadOnTheSecondAttempt) {
  const std::string longText(1500, 'x');
  machine.WriteRegistry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Probe]\n\"Long\"=\"" + longText + "\"\n");
  TestLog log;
  ASSERT_EQ(GetRegKeyValue("HKLM\\SOFTWARE\\Probe", "Long", value, true), REGPATH_VALUE_READ);
  EXPECT_EQ(value, longText);
  EXPECT_TRUE(
      log.Contains("[ERROR] GetRegKeyValue : Query of Key HKLM\\SOFTWARE\\Probe and valueName is Long "
                   "failed due to error: 234. So retrying!\n"));
}

TEST_F(RegistryPathReaderTest, UnterminatedDataNeverReadsPastTheValue) {
  // 1000 bytes of binary data without a zero byte fill the first buffer exactly.
  std::string hex;
  for (int i = 0; i < 1000; ++i) hex += i ? ",41" : "41";
  machine.WriteRegistry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Probe]\n\"Full\"=hex:" + hex + "\n");
  ASSERT_EQ(GetRegKeyValue("HKLM\\SOFTWARE\\Probe", "Full", value, true), REGPATH_VALUE_READ);
  EXPECT_EQ(value, std::string(1000, 'A'));
}

}  // namespace
}  // namespace kv
