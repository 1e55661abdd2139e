// Every row of the checker's decision, run as the real program against a
// machine image built for the row.

#include <gtest/gtest.h>

#include "tests/support/agent_image.h"
#include "tests/support/wine.h"

namespace kv {
namespace {

using test::TempMachine;

struct Row {
  const char* description;
  bool amd;
  bool compatValue;
  bool server;
  const char* antivirus;  // "none", "product" (installed/registered), "defender", "no-wmi+defender"
  int exitCode;
  bool mitigations;
};

std::string Registry(const Row& row) {
  std::string reg = test::AgentKeyBlock();
  reg += "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment]\n";
  reg += row.amd ? "\"PROCESSOR_IDENTIFIER\"=\"AMD64 Family 23 Model 49 Stepping 0, AuthenticAMD\"\n\n"
                 : "\"PROCESSOR_IDENTIFIER\"=\"Intel64 Family 6 Model 85 Stepping 4, GenuineIntel\"\n\n";
  if (row.compatValue)
    reg +=
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\QualityCompat]\n"
        "\"cadca5fe-87d3-4b96-b7fb-a231484277cc\"=dword:00000000\n\n";
  return reg;
}

std::string MachineJson(const Row& row) {
  const std::string antivirus = row.antivirus;
  const bool product = antivirus == "product";
  std::string os =
      row.server
          ? R"("os":{"major":10,"minor":0,"platform_id":2,"product_type":3,"product_info":8,"architecture":9,"wow64":true})"
          : R"("os":{"major":10,"minor":0,"platform_id":2,"product_type":1,"product_info":48,"architecture":9,"wow64":true})";
  std::string wmi =
      R"("wmi":{"available":)" + std::string(antivirus == "no-wmi+defender" ? "false" : "true") +
      R"(,"namespaces":{"root\\CIMV2":{"Win32_Product":[{"Name":"Microsoft Office"})" +
      (product ? R"(,{"Name":"Kaspersky Endpoint Security 11"})" : "") +
      R"(]},"root\\SecurityCenter2":{"AntivirusProduct":[{"displayName":"Old AV","productState":393472})" +
      (product ? R"(,{"displayName":"Kaspersky","productState":266240})" : "") + "]}}}";
  const bool defender = antivirus.find("defender") != std::string::npos;
  std::string defenderEntry = std::string(R"("defender":{"hresult":0,"enabled":)") + (defender ? "1" : "0") + "}";
  return "{" + os + "," + wmi + "," + defenderEntry + R"(,"cwd":"C:\\Windows\\System32","services":["KVAgent"]})";
}

void PrintTo(const Row& row, std::ostream* os) { *os << row.description; }

class DecisionTest : public ::testing::TestWithParam<Row> {};

TEST_P(DecisionTest, ExitCodeAndMitigationSettings) {
  const Row& row = GetParam();
  const std::string antivirus = row.antivirus;
  // Only rows that get as far as the antivirus probes need what Wine lacks.
  const bool probesAntivirus = !row.amd && !row.compatValue;
  if (probesAntivirus && antivirus == "product")
    KV_SKIP_UNDER_WINE(
        "its WMI lists no installed product (Win32_Product) and has no security centre "
        "(root\\SecurityCenter2) to register one");
  if (probesAntivirus && antivirus == "no-wmi+defender") KV_SKIP_UNDER_WINE("its WMI service cannot be stopped");
  TempMachine machine;
  machine.MakeDirectory(test::kAgentInstallDir);
  machine.WriteRegistry(Registry(row));
  machine.WriteMachineJson(MachineJson(row));
  test::InstallLibrary(machine, "MpClient.dll", "C:\\Program Files\\Windows Defender\\MpClient.dll");

  const test::CheckerRun result = test::RunChecker(machine, {"-p", "KB4056892"});
  EXPECT_EQ(result.run.exitCode, row.exitCode & 0xFF) << result.run.err;
  EXPECT_EQ(result.exitCode, row.exitCode);

  const std::string reg = machine.ReadFile("registry.reg");
  const bool override0 = reg.find("\"FeatureSettingsOverride\"=dword:00000000\n") != std::string::npos;
  const bool mask3 = reg.find("\"FeatureSettingsOverrideMask\"=dword:00000003\n") != std::string::npos;
  const bool vm1 = reg.find(
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Virtualization]\n"
                       "\"MinVmVersionForCpuBasedMitigations\"=dword:00000001\n") != std::string::npos;
  EXPECT_EQ(override0, row.mitigations);
  EXPECT_EQ(mask3, row.mitigations);
  EXPECT_EQ(vm1, row.mitigations) << reg;
  EXPECT_EQ(reg.find("WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Virtualization"), std::string::npos);

  const std::string log = machine.ReadFile(test::kCheckerLog);
  if (std::string(row.antivirus) == "no-wmi+defender") {
    EXPECT_NE(log.find("[ERROR] GetValuesUsingWMIQuery :Could not connect."), std::string::npos);
    EXPECT_NE(log.find("[INFO] Windows Defender is Enabled\n"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecisionTest,
    ::testing::Values(Row{"AmdEvenWithTheCompatibilityValue", true, true, true, "none", 119, false},
                      Row{"AmdClient", true, false, false, "product", 119, false},
                      Row{"CompatibleServer", false, true, true, "product", 0, true},
                      Row{"CompatibleClientWithAntivirus", false, true, false, "product", 0, false},
                      Row{"ServerWithInstalledAntivirus", false, false, true, "product", 15613, false},
                      Row{"ServerWithDefenderEnabled", false, false, true, "defender", 15613, false},
                      Row{"ServerWithoutWmiStillAsksDefender", false, false, true, "no-wmi+defender", 15613, false},
                      Row{"ServerWithoutAntivirus", false, false, true, "none", 0, true},
                      Row{"ClientWithEnabledAntivirus", false, false, false, "product", 15613, false},
                      Row{"ClientWithoutAntivirus", false, false, false, "none", 0, false}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.description); });

}  // namespace
}  // namespace kv
