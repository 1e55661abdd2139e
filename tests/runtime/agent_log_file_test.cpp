// The agent's own log, opened with the level and event setting of its key.

#include "runtime/agent_log_file.h"

#include <gtest/gtest.h>

#include "agent/agent_settings.h"
#include "base/log_writer.h"
#include "tests/support/agent_image.h"
#include "tests/support/log_fixture.h"

namespace kv {
namespace {

constexpr const char* kLogDir = "C:\\Kelvane\\logs";
constexpr const char* kLogFile = "drive_c/Kelvane/logs/agent.log";

class AgentLogFileTest : public test::LoggedMachineTest {
 protected:
  AgentLogFileTest() {
    machine.MakeDirectory("drive_c/Kelvane/logs");
    ResetAgentSettings();
  }

  std::string Contents() const { return machine.ReadFile(kLogFile); }

  void WriteRegistry(const std::string& values) const {
    machine.WriteRegistry(test::RegKeyBlock(test::kAgentKeyNative, values));
  }
};

TEST_F(AgentLogFileTest, AgentLogReadsItsLevelFromTheRegistry) {
  WriteRegistry("\"KVAgentLogLevel\"=dword:00000001\n\"KVEventEnabled\"=dword:00000000\n");
  ASSERT_EQ(InitAgentLogFile("agent.log", kLogDir, LOG_MODE_TRUNCATE), 0);
  EXPECT_EQ(Logger().logLevel.load(), 1);
  EXPECT_EQ(Agent().gv_eventEnabled, 0u);
  ResetLogger();

  WriteRegistry("\"KVAgentLogLevel\"=dword:00000100\n");
  ASSERT_EQ(InitAgentLogFile("agent.log", kLogDir, LOG_MODE_TRUNCATE), 0);
  EXPECT_EQ(Logger().logLevel.load(), 0);
  EXPECT_EQ(Agent().gv_eventEnabled, 1u);
  ResetLogger();

  WriteRegistry("");
  ASSERT_EQ(InitAgentLogFile("agent.log", kLogDir, LOG_MODE_TRUNCATE), 0);
  EXPECT_EQ(Logger().logLevel.load(), 2);
}

TEST_F(AgentLogFileTest, AgentLogAppendsOrStartsEmpty) {
  machine.WriteFile(kLogFile, "from an earlier run\n");
  ASSERT_EQ(InitAgentLogFile("agent.log", kLogDir, LOG_MODE_APPEND), 0);
  ResetLogger();
  EXPECT_EQ(Contents().rfind("from an earlier run\nLog open time: ", 0), 0u);

  ASSERT_EQ(InitAgentLogFile("agent.log", kLogDir, LOG_MODE_TRUNCATE), 0);
  CloseLogFile();
  EXPECT_EQ(Contents().rfind("Log open time: ", 0), 0u);

  FreeLoggerParams();
  EXPECT_EQ(InitAgentLogFile("agent.log", "C:\\Nowhere\\deeper", LOG_MODE_APPEND), 13);
}

}  // namespace
}  // namespace kv
