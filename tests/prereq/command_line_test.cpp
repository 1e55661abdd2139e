#include "prereq/command_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/test_log.h"

namespace kv {
namespace {

const CommandLineSettings& Parse(std::vector<const char*> args) {
  ResetCommandLine();
  args.insert(args.begin(), "kvprereqhandler");
  EXPECT_TRUE(ParseArguments(static_cast<int>(args.size()), args.data()));
  return CommandLine();
}

TEST(ParseArgumentsTest, EveryFlagTakesTheNextArgument) {
  test::TestLog log;
  const auto& s = Parse(
      {"-p", "KB4056892", "-l", "Windows", "-v", "10", "-d", "deps.xml", "-x", "64", "-j", "1.8.0_151", "-c", "+12"});
  EXPECT_EQ(s.patchName, "KB4056892");
  EXPECT_EQ(s.productName, "Windows");
  EXPECT_EQ(s.productVersion, "10");
  EXPECT_EQ(s.dependencyFileName, "deps.xml");
  EXPECT_EQ(s.javaArchitecture, "64");
  EXPECT_EQ(s.javaLatestInstalledVersion, "1.8.0_151");
  EXPECT_EQ(s.clearJavaDetection, 12);
  const std::string text = log.Contents();
  EXPECT_NE(text.find("[INFO] patchName :KB4056892\n"), std::string::npos);
  EXPECT_NE(text.find("[INFO] productName : Windows\n"), std::string::npos);
  EXPECT_NE(text.find("[INFO] javaLatestInstalledVersion : 1.8.0_151\n"), std::string::npos);
  EXPECT_NE(text.find("[INFO] Java detection need to be cleared"), std::string::npos);
}

TEST(ParseArgumentsTest, OnlyTheSecondCharacterCounts) {
  const auto& s = Parse({"-patch", "KB1", "plain", "-xyz", "32"});
  EXPECT_EQ(s.patchName, "KB1");
  EXPECT_EQ(s.javaArchitecture, "32");
}

TEST(ParseArgumentsTest, SoftwareDeploymentConsumesTheNextArgument) {
  test::TestLog log;
  const auto& s = Parse({"-s", "-p", "KB2"});
  EXPECT_EQ(s.calledFromSoftwareDeployment, 1);
  EXPECT_FALSE(s.patchName.has_value());
  EXPECT_TRUE(log.Contains("called from software deployment"));
}

TEST(ParseArgumentsTest, UnknownLettersConsumeNothing) {
  const auto& s = Parse({"-P", "-q", "-p", "KB3", "-", "-x"});
  EXPECT_EQ(s.patchName, "KB3");
  // A value flag standing last has nothing to take.
  EXPECT_FALSE(s.javaArchitecture.has_value());
}

TEST(ParseArgumentsTest, ClearJavaDetectionUsesTheCheckedParse) {
  EXPECT_EQ(Parse({"-c", "12a"}).clearJavaDetection, -1);
  EXPECT_EQ(Parse({"-c", "-7"}).clearJavaDetection, -7);
  EXPECT_EQ(Parse({"-c", ""}).clearJavaDetection, 0);
}

}  // namespace
}  // namespace kv
