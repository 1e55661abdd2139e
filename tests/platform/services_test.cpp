#include "platform/services.h"

#include <gtest/gtest.h>

#include "platform/last_error.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

using test::TempMachine;

class ServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.WriteMachineJson(R"({"services": ["KVAgent", "Spooler"]})");
    machine.Use();
    ASSERT_EQ(OpenSCManager(SC_MANAGER_CONNECT, &manager), 0u);
    EXPECT_TRUE(manager.IsOpen());
  }

  TempMachine machine;
  ServiceHandle manager;
};

TEST_F(ServicesTest, ControlCodesOfListedServicesAreRecorded) {
  ServiceHandle service;
  ASSERT_EQ(OpenService(manager, u"kvagent", SERVICE_USER_DEFINED_CONTROL, &service), 0u);
  EXPECT_EQ(ControlService(service, 147), 0u);
  EXPECT_EQ(ControlService(service, 200), 0u);
  ServiceHandle spooler;
  ASSERT_EQ(OpenService(manager, u"Spooler", SERVICE_USER_DEFINED_CONTROL, &spooler), 0u);
  EXPECT_EQ(ControlService(spooler, 130), 0u);
  // The names as the machine lists them, one line per control.
  EXPECT_EQ(machine.ReadFile("scm-controls.log"), "KVAgent 147\nKVAgent 200\nSpooler 130\n");
}

TEST_F(ServicesTest, UnknownServicesDoNotOpen) {
  ServiceHandle service;
  EXPECT_EQ(OpenService(manager, u"NoSuchService", SERVICE_USER_DEFINED_CONTROL, &service),
            ERROR_SERVICE_DOES_NOT_EXIST);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
  EXPECT_FALSE(service.IsOpen());
  EXPECT_EQ(ControlService(service, 147), ERROR_INVALID_HANDLE);
  // A manager handle is not a service, and a service is not a manager.
  EXPECT_EQ(ControlService(manager, 147), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(machine.Exists("scm-controls.log"));

  machine.WriteMachineJson("{}");
  machine.Use();
  EXPECT_EQ(OpenService(manager, u"KVAgent", SERVICE_USER_DEFINED_CONTROL, &service), ERROR_SERVICE_DOES_NOT_EXIST);
}

}  // namespace
}  // namespace kv
