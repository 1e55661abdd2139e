// The real program on images a careless or hostile hand prepared: whatever
// is in them, the checker ends with an answer, and an image it cannot read
// is answered with 13 and a message naming the file and the place.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/agent_image.h"
#include "tests/support/wine.h"

namespace kv {
namespace {

using test::TempMachine;

class HostileImageTest : public ::testing::Test {
 protected:
  // The default example answers 0: any other answer comes from the damage.
  HostileImageTest() { test::CopyExampleMachine(machine, "default"); }
  void SetUp() override { KV_SKIP_UNDER_WINE("the emulated machine's reading of its own image files"); }

  // machine.json with one text replaced.
  void ReplaceInMachineJson(const std::string& from, const std::string& to) {
    std::string json = machine.ReadFile("machine.json");
    const auto at = json.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    machine.WriteMachineJson(json.replace(at, from.size(), to));
  }

  // Runs the checker and expects the answer for an unreadable image, with
  // the message on standard error.
  void ExpectUnreadable(const std::string& file, const std::string& place) {
    const test::CheckerRun result = test::RunChecker(machine);
    EXPECT_EQ(result.run.exitCode, 13) << result.run.err;
    EXPECT_EQ(result.exitCode, 13);
    EXPECT_NE(result.run.err.find("error: " + machine.Path(file)), std::string::npos) << result.run.err;
    EXPECT_NE(result.run.err.find(place), std::string::npos) << result.run.err;
    EXPECT_FALSE(machine.Exists(test::kCheckerLog));
  }

  TempMachine machine;
};

TEST_F(HostileImageTest, TheUndamagedImageAnswersZero) {
  const test::CheckerRun result = test::RunChecker(machine);
  EXPECT_EQ(result.exitCode, 0) << result.run.err;
  EXPECT_EQ(result.run.err, "");
}

TEST_F(HostileImageTest, ANumberOutOfRangeIsUnreadable) {
  ReplaceInMachineJson("\"build\": 14393", "\"build\": 1e400");
  ExpectUnreadable("machine.json:2: member /os/build", "number overflow parsing '1e400'");
}

TEST_F(HostileImageTest, MistypedMembersAreUnreadable) {
  ReplaceInMachineJson("\"wow64\": true", "\"wow64\": \"true\"");
  ExpectUnreadable("machine.json", "member /os/wow64: a Boolean is expected, not a string");

  test::CopyExampleMachine(machine, "default");
  ReplaceInMachineJson("\"major\": 10", "\"major\": null");
  ExpectUnreadable("machine.json", "member /os/major: an integer is expected, not null");

  test::CopyExampleMachine(machine, "default");
  ReplaceInMachineJson("{ \"Name\": \"Microsoft Visual C++ 2015 Redistributable (x64)\" }",
                       "{ \"Name\": {\"vt\": \"BSTR\", \"value\": \"x\"} }");
  ExpectUnreadable("machine.json", "member /wmi/namespaces/root\\CIMV2/Win32_Product/0/Name/vt");
}

TEST_F(HostileImageTest, AnInjectedFailureThatIsNoFailureIsUnreadable) {
  ReplaceInMachineJson("\"available\": true", "\"available\": true, \"locator\": 1");
  ExpectUnreadable("machine.json", "member /wmi/locator: 1 is not a failing HRESULT");
}

TEST_F(HostileImageTest, NestingAHundredThousandLevelsDeepIsUnreadable) {
  ReplaceInMachineJson("\"services\"",
                       "\"deep\": " + std::string(100000, '[') + std::string(100000, ']') + ", \"services\"");
  ExpectUnreadable("machine.json", "nest deeper than 64 levels");
}

TEST_F(HostileImageTest, AKeyPathFiftyThousandLevelsDeepIsUnreadable) {
  std::string deep = "[HKEY_LOCAL_MACHINE\\SOFTWARE";
  for (int i = 0; i < 50000; ++i) deep += "\\k";
  const std::string registry = machine.ReadFile("registry.reg") + "\n" + deep + "]\n";
  machine.WriteFile("registry.reg", registry);
  const auto line = std::count(registry.begin(), registry.end(), '\n');
  ExpectUnreadable("registry.reg:" + std::to_string(line), "a key path deeper than 512 levels");
}

TEST_F(HostileImageTest, NamesLongerThanWindowsAllowsAreUnreadable) {
  machine.WriteFile("registry.reg", machine.ReadFile("registry.reg") + "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\" +
                                        std::string(256, 'k') + "]\n");
  ExpectUnreadable("registry.reg", "a key name longer than 255 characters");
}

}  // namespace
}  // namespace kv
