#include "prereq/processor_server_checks.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "tests/support/test_log.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

constexpr const char* k64BitServer =
    R"({"os":{"major":10,"minor":0,"platform_id":2,"product_type":3,"product_info":8,"architecture":9,"wow64":true}})";

class ProcessorServerChecksTest : public ::testing::Test {
 protected:
  void SetUpMachine(const std::string& json, const std::string& registry) {
    machine.WriteMachineJson(json);
    machine.WriteRegistry(registry);
    machine.Use();
  }
  static std::string Processor(const std::string& identifier) {
    return "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment]\n"
           "\"PROCESSOR_IDENTIFIER\"=" +
           identifier + "\n";
  }
  test::TempMachine machine;
};

TEST_F(ProcessorServerChecksTest, AmdIsFoundByItsThreeSpellings) {
  const std::pair<const char*, bool> cases[] = {
      {"\"AMD64 Family 23 Model 1 Stepping 1, AuthenticAMD\"", true},
      {"\"Intel64 Family 6 Model 79 Stepping 1, GenuineIntel\"", false},
      {"\"x86 Family 6, amd clone\"", true},
      {"\"Amd processor\"", true},
      {"\"aMd processor\"", false},
      {"\"\"", false},
      // Binary data is read as its bytes up to the first zero byte.
      {"hex:41,4d,44,00,49", true},
  };
  for (const auto& [identifier, amd] : cases) {
    SetUpMachine(k64BitServer, Processor(identifier));
    EXPECT_EQ(IsAMDProcessor(), amd) << identifier;
  }
}

TEST_F(ProcessorServerChecksTest, UnreadableProcessorNameIsNotAmd) {
  SetUpMachine(k64BitServer, "");
  test::TestLog log;
  EXPECT_FALSE(IsAMDProcessor());
  EXPECT_TRUE(log.Contains("[ERROR] Could not get Processor name \n"));
}

TEST_F(ProcessorServerChecksTest, ServerEditionsAreRecognisedByName) {
  const std::pair<const char*, int> cases[] = {
      {k64BitServer, 1},
      {R"({"os":{"major":10,"minor":0,"platform_id":2,"product_type":1,"product_info":48,"architecture":9}})", 0},
      {R"({"os":{"major":5,"minor":2,"platform_id":2,"product_type":3,"architecture":0}})", 1},
      {R"({"os":{"major":5,"minor":0,"platform_id":2,"product_type":3,"architecture":0}})", 0},
      {R"({})", 0},
  };
  for (const auto& [json, server] : cases) {
    SetUpMachine(json, "");
    EXPECT_EQ(IsServerOS(), server) << json;
  }
}

TEST_F(ProcessorServerChecksTest, MitigationSettingsLandAsDwordsInTheNativeView) {
  SetUpMachine(k64BitServer, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node]\n");
  test::TestLog log;
  enableProtectioninServerOS();
  const std::string reg = machine.ReadFile("registry.reg");
  EXPECT_NE(reg.find("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management]\n"
                     "\"FeatureSettingsOverride\"=dword:00000000\n"
                     "\"FeatureSettingsOverrideMask\"=dword:00000003\n"),
            std::string::npos)
      << reg;
  EXPECT_TRUE(log.Contains("[INFO] enableProtectioninServerOS : FeatureSettingsOverride : 0 \n"));
  EXPECT_TRUE(log.Contains("[INFO] enableProtectioninServerOS : MinVmVersionForCpuBasedMitigations : 0 \n"));
}

}  // namespace
}  // namespace kv
