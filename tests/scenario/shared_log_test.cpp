// Many runs of the checker at once on one computer: started together on a
// log that is past its rotation size, one of them rotates it, once, and
// no run loses an entry or a backup.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/agent_image.h"
#include "tests/support/child_process.h"
#include "tests/support/wine.h"

namespace kv {
namespace {

using test::TempMachine;

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

TEST(SharedLogTest, TwentyRunsOnALogDueForRotationRotateItOnceAndKeepEverything) {
  KV_SKIP_UNDER_WINE("twenty runs started at once as processes of the emulated machine");
  TempMachine machine;
  machine.WriteMachineJson(R"({"os":{"architecture":9,"wow64":true},"cwd":"C:\\Windows\\System32"})");
  machine.WriteRegistry(test::AgentKeyBlock() +
                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\QualityCompat]\n"
                        "\"cadca5fe-87d3-4b96-b7fb-a231484277cc\"=dword:00000000\n");
  const std::string logs = std::string(test::kAgentInstallDir) + "/logs/";
  // Far past the rotation size (2,000,000 bytes), so that copying it takes
  // long enough for the runs to meet.
  std::string full;
  while (full.size() < 32000000) full += "an entry of an earlier run\n";
  machine.WriteFile(logs + "kvprereqhandler.log", full);
  machine.WriteFile(logs + "kvprereqhandler1.log", "the newest backup\n");
  machine.WriteFile(logs + "kvprereqhandler2.log", "an older backup\n");

  constexpr int kRuns = 20;
  test::SpawnOptions options;
  options.env = {{"KV_MACHINE", machine.dir()}};
  std::vector<pid_t> pids;
  for (int i = 0; i < kRuns; ++i) pids.push_back(test::SpawnProgram(test::BinPath("kvprereqhandler"), {}, options));
  for (pid_t pid : pids) EXPECT_EQ(test::WaitProgram(pid), 0);

  // One rotation: the full log is the newest backup, the others moved one up.
  EXPECT_TRUE(machine.ReadFile(logs + "kvprereqhandler1.log") == full);
  EXPECT_EQ(machine.ReadFile(logs + "kvprereqhandler2.log"), "the newest backup\n");
  EXPECT_EQ(machine.ReadFile(logs + "kvprereqhandler3.log"), "an older backup\n");
  EXPECT_FALSE(machine.Exists(logs + "kvprereqhandler4.log"));

  // Every run's entries, whole, in the emptied log.
  const std::string live = machine.ReadFile(logs + "kvprereqhandler.log");
  EXPECT_EQ(Count(live, "Log open time: "), static_cast<std::size_t>(kRuns));
  EXPECT_EQ(Count(live, "Log close time: "), static_cast<std::size_t>(kRuns));
  EXPECT_EQ(Count(live, "[INFO] Key found ::: "), static_cast<std::size_t>(kRuns));
  EXPECT_EQ(Count(live, "an entry of an earlier run"), 0u);
  EXPECT_EQ(Count(live, "\n[ "), Count(live, "\n") - Count(live, "\nLog ") - 1) << "a line that is not an entry";
}

}  // namespace
}  // namespace kv
