#include "runtime/service_notify.h"

#include <gtest/gtest.h>

#include "agent/agent_settings.h"
#include "tests/support/test_log.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

using test::TempMachine;
using test::TestLog;

class ServiceNotifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.WriteMachineJson(R"({"services": ["KVAgent"]})");
    machine.Use();
    ResetAgentSettings();
  }
  void TearDown() override { ResetAgentSettings(); }

  TempMachine machine;
};

TEST_F(ServiceNotifyTest, UnknownServiceIsNotNotified) {
  TestLog log;
  EXPECT_EQ(SendServiceMsg(147, u"NoSuchService"), 0);
  EXPECT_TRUE(log.Contains("[ERROR] SendServiceMsg : Failed to open the Service\n"));
  EXPECT_FALSE(log.Contains("Opened successfully"));
  EXPECT_FALSE(machine.Exists("scm-controls.log"));
  EXPECT_EQ(SendServiceMsg(147, nullptr), 0);
}

TEST_F(ServiceNotifyTest, KnownServiceReceivesTheCode) {
  TestLog log;
  EXPECT_EQ(SendServiceMsg(147, u"kvagent"), 1);
  EXPECT_TRUE(log.Contains("[INFO] SendServiceMsg : Service kvagent Opened successfully\n"));
  EXPECT_TRUE(log.Contains("[INFO] SendServiceMsg : Notification is succeeded\n"));
  EXPECT_EQ(machine.ReadFile("scm-controls.log"), "KVAgent 147\n");
}

TEST_F(ServiceNotifyTest, AgentServiceIsNamedByTheSettings) {
  TestLog log;
  EXPECT_EQ(NotifyAgentService(147), 0);  // no service name yet
  Agent().gv_agentServiceName = "KVAgent";
  EXPECT_EQ(NotifyAgentService(148), 1);
  EXPECT_EQ(machine.ReadFile("scm-controls.log"), "KVAgent 148\n");
}

}  // namespace
}  // namespace kv
