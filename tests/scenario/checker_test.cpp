// The real program run against machine images made by the tests.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/support/agent_image.h"
#include "tests/support/wine.h"

namespace kv {
namespace {

using test::kAgentInstallDir;
using test::kCheckerLog;
using test::RunResult;
using test::TempMachine;

// The agent's key, and an Intel processor: the answer must not depend on
// the processor of the computer the tests run on (under Wine it is real).
std::string AgentKey(const std::string& extraValues = "") {
  return test::AgentKeyBlock(extraValues) + test::ProcessorBlock("Intel64 Family 6 Model 85 Stepping 4, GenuineIntel");
}

std::string CompatKey(bool wow6432) {
  return std::string("[HKEY_LOCAL_MACHINE\\SOFTWARE\\") + (wow6432 ? "WOW6432Node\\" : "") +
         "Microsoft\\Windows\\CurrentVersion\\QualityCompat]\n"
         "\"cadca5fe-87d3-4b96-b7fb-a231484277cc\"=dword:00000000\n\n";
}

class CheckerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.WriteMachineJson(R"({"os":{"architecture":9,"wow64":true},"cwd":"C:\\Windows\\System32"})");
    machine.MakeDirectory(kAgentInstallDir);
  }

  RunResult Run(const std::vector<std::string>& args = {}) {
    test::CheckerRun result = test::RunChecker(machine, args);
    wholeExitCode = result.exitCode;
    return result.run;
  }

  std::string Log() const { return machine.ReadFile(kCheckerLog); }

  TempMachine machine;
  int wholeExitCode = -1;
};

TEST_F(CheckerTest, MissingInstallDirectoryExits13WithoutALog) {
  machine.WriteRegistry(test::RegKeyBlock(test::kAgentKey32, "\"KVAgentLogLevel\"=dword:00000004\n"));
  const RunResult r = Run();
  EXPECT_EQ(r.exitCode, 13);
  EXPECT_EQ(wholeExitCode, 13);
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(machine.Exists(kCheckerLog));
  EXPECT_FALSE(machine.Exists(std::string(kAgentInstallDir) + "/logs"));
}

TEST_F(CheckerTest, LogsUnderTheInstallDirectoryWithTimestampedLevelledLines) {
  machine.WriteRegistry(AgentKey() + CompatKey(false));
  const RunResult r = Run({"-p", "KB4056892"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "gv_RegKey : Software\\Tarnwick\\Kelvane\\KVAgent\n");
  const std::string log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(std::regex_search(log, std::regex("^Log open time: \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}:\\d{3}\n")));
  EXPECT_TRUE(std::regex_search(
      log,
      std::regex(
          "\\[ \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}:\\d{3} \\] \\[ \\d+ \\] \\[INFO\\] patchName :KB4056892\n")));
  EXPECT_NE(log.find("[DEBUG] \t @@@@@@@@ Inside GetRegKeyValue Method @@@@@@@@\n"), std::string::npos);
  EXPECT_NE(log.find("[INFO]  gv_IsWow64 : "), std::string::npos);
  EXPECT_TRUE(std::regex_search(log, std::regex("Log close time: [^\n]+\n$")));
}

TEST_F(CheckerTest, CompatibilityValueInTheNativeViewGivesZero) {
  machine.WriteRegistry(AgentKey() + CompatKey(false));
  const RunResult r = Run();
  EXPECT_EQ(r.exitCode, 0);
  const std::string log = Log();
  EXPECT_NE(log.find("[INFO] Key found ::: HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                     "QualityCompat,cadca5fe-87d3-4b96-b7fb-a231484277cc \n"),
            std::string::npos);
  EXPECT_EQ(log.find("Return code"), std::string::npos);
}

TEST_F(CheckerTest, ThirtyTwoBitJavaReadsTheProcessView) {
  KV_SKIP_UNDER_64BIT_WINE("the process's own view is the 32-bit one only for a 32-bit program");
  // The value is only in the 32-bit view.
  machine.WriteRegistry(AgentKey() + CompatKey(true));
  Run();
  EXPECT_NE(Log().find("[INFO] Key not found ::: HKEY_LOCAL_MACHINE"), std::string::npos);
  EXPECT_NE(Log().find("[INFO] Return code : 0 \n"), std::string::npos);

  std::filesystem::remove(machine.Path(kCheckerLog));
  Run({"-x", "32"});
  EXPECT_NE(Log().find("[INFO] Key found ::: HKEY_LOCAL_MACHINE"), std::string::npos);

  // Any other architecture text keeps the 64-bit view.
  std::filesystem::remove(machine.Path(kCheckerLog));
  Run({"-x", "32bit"});
  EXPECT_NE(Log().find("[INFO] Key not found ::: HKEY_LOCAL_MACHINE"), std::string::npos);
}

TEST_F(CheckerTest, MalformedRegistryIsAClearErrorAndExit13) {
  KV_SKIP_UNDER_WINE("its registry is a database of its own, not a file the program reads");
  machine.WriteRegistry(test::AgentKeyBlock() + "\"Broken\"=dword:xyz\n");
  const std::string before = machine.ReadFile("registry.reg");
  const RunResult r = Run();
  EXPECT_EQ(r.exitCode, 13);
  EXPECT_NE(r.err.find(machine.Path("registry.reg") + ":7:"), std::string::npos) << r.err;
  EXPECT_EQ(machine.ReadFile("registry.reg"), before);
}

TEST_F(CheckerTest, MalformedMachineDescriptionIsAClearErrorAndExit13) {
  KV_SKIP_UNDER_WINE("its system describes itself, without a machine.json");
  machine.WriteRegistry(AgentKey());
  machine.WriteMachineJson("{\n  \"os\": { \"wow64\": true,\n  }\n}\n");
  const RunResult r = Run();
  EXPECT_EQ(r.exitCode, 13);
  EXPECT_NE(r.err.find(machine.Path("machine.json") + ":3:"), std::string::npos) << r.err;
}

TEST_F(CheckerTest, ALogThatCannotBeCreatedLeavesTheAnswerUnchanged) {
  machine.WriteRegistry(AgentKey() + CompatKey(false));
  // A file where the logs directory should be.
  machine.WriteFile(std::string(kAgentInstallDir) + "/logs", "not a directory");
  const RunResult r = Run();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "gv_RegKey : Software\\Tarnwick\\Kelvane\\KVAgent\n");
}

TEST_F(CheckerTest, TheDefaultExampleMachineMayTakeThePatch) {
  test::CopyExampleMachine(machine, "default");
  const std::string registryBefore = machine.ReadFile("registry.reg");
  const RunResult r = Run();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(wholeExitCode, 0);
  EXPECT_NE(Log().find("Key found :::"), std::string::npos);
  // Rewriting the example's registry leaves it byte for byte as committed
  // (under Wine registry.reg is Wine's whole machine hive after the run).
  if (!test::WineMode()) {
    EXPECT_EQ(machine.ReadFile("registry.reg"), registryBefore);
  }
}

}  // namespace
}  // namespace kv
