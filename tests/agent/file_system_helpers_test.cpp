#include "agent/file_system_helpers.h"

#include <gtest/gtest.h>

#include "tests/support/test_log.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

using test::TempMachine;

class FileSystemHelpersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.WriteMachineJson(R"({"os":{"major":6,"minor":1,"platform_id":2,"product_type":1,"architecture":0}})");
    machine.Use();
  }
  TempMachine machine;
};

TEST_F(FileSystemHelpersTest, IsFileExistNeedsAtLeastOneByte) {
  machine.WriteFile("drive_c/data/full.txt", "x");
  machine.WriteFile("drive_c/data/empty.txt", "");
  test::TestLog log;
  EXPECT_TRUE(IsFileExist("C:\\data\\full.txt"));
  EXPECT_TRUE(IsFileExist("c:\\DATA\\Full.TXT"));
  EXPECT_FALSE(IsFileExist("C:\\data\\empty.txt"));
  EXPECT_FALSE(IsFileExist("C:\\data\\missing.txt"));
  EXPECT_FALSE(IsFileExist(nullptr));
  EXPECT_TRUE(log.Contains("[DEBUG] IsFileExist : The File Name C:\\data\\missing.txt is not found 2\n"));
  EXPECT_TRUE(log.Contains("(C:\\data\\empty.txt) size is 0 bytes. Hence returning file not found.\n"));
}

TEST_F(FileSystemHelpersTest, CheckFileExistsTakesPatterns) {
  machine.WriteFile("drive_c/data/report-1.xml", "x");
  EXPECT_EQ(CheckFileExists(u"C:\\data\\report-*.xml"), 0u);
  EXPECT_EQ(CheckFileExists(u"C:\\data\\summary*.xml"), 2u);
  EXPECT_EQ(CheckFileExists(nullptr), 13u);
}

TEST_F(FileSystemHelpersTest, CreateFolderMakesTheDirectoryOfAFilePath) {
  EXPECT_EQ(CreateFolder(u"C:\\a\\b\\file.txt"), 0u);
  EXPECT_TRUE(machine.Exists("drive_c/a/b"));
  EXPECT_FALSE(machine.Exists("drive_c/a/b/file.txt"));
  EXPECT_EQ(CreateFolder(u"C:\\a\\b\\file.txt"), 0u);  // already there
  EXPECT_EQ(CreateFolder(u"C:\\file.txt"), 183u);
  EXPECT_EQ(CreateFolder(u"C:\\"), 183u);
  EXPECT_EQ(CreateFolder(nullptr), 13u);
}

TEST_F(FileSystemHelpersTest, FileSizes) {
  machine.WriteFile("drive_c/data/five.bin", "12345");
  std::int64_t size = -1;
  EXPECT_TRUE(GetFileSize64("C:\\data\\five.bin", &size));
  EXPECT_EQ(size, 5);
  EXPECT_FALSE(GetFileSize64("C:\\data\\none.bin", &size));
  EXPECT_EQ(size, 0);
}

TEST_F(FileSystemHelpersTest, OsFamilies) {
  EXPECT_EQ(GetOsFamily(), OS_FAMILY_7);
  EXPECT_EQ(isWin7orWin8(), 1);
  machine.WriteMachineJson(R"({"os":{"major":10,"minor":0,"platform_id":2,"product_type":1}})");
  machine.Use();
  EXPECT_EQ(GetOsFamily(), OS_FAMILY_10);
  EXPECT_EQ(isWin7orWin8(), 0);
  machine.WriteMachineJson(R"({"os":{"major":4,"minor":0,"platform_id":2}})");
  machine.Use();
  EXPECT_EQ(GetOsFamily(), -1);
  machine.WriteMachineJson(R"({})");
  machine.Use();
  EXPECT_EQ(GetOsFamily(), 1);
}

TEST_F(FileSystemHelpersTest, TimeInSecondsIsTheUtcInstantOfALocalTime) {
  // One hour east of UTC: the bias is -60 minutes.
  machine.WriteMachineJson(R"({"time_zone_bias":-60})");
  machine.Use();
  EXPECT_EQ(GetTimeInSeconds(SystemTime{1970, 1, 4, 1, 0, 0, 0, 0}), -3600);
  EXPECT_EQ(GetTimeInSeconds(SystemTime{2018, 1, 5, 5, 9, 7, 3, 45}), 1515143223 - 3600);
  const std::u16string millis = GetCurrentTimeMillisText();
  EXPECT_GE(millis.size(), 13u);
}

}  // namespace
}  // namespace kv
