// The operating-system names and security-centre states the real program
// logs for machine images built by the tests.

#include <gtest/gtest.h>

#include "tests/support/agent_image.h"
#include "tests/support/wine.h"

namespace kv {
namespace {

// Runs the checker on an agent computer with the given "os" entry (and
// extra machine.json members and registry keys) and returns its log.
std::string LogOf(const std::string& os, const std::string& extraJson = "", const std::string& extraRegistry = "") {
  test::TempMachine machine;
  machine.MakeDirectory(test::kAgentInstallDir);
  // The agent's key as a 32-bit process sees it on 64-bit and on 32-bit Windows.
  machine.WriteRegistry(test::RegKeyBlock(test::kAgentKey32, test::AgentValues(3)) +
                        test::RegKeyBlock(test::kAgentKeyNative, test::AgentValues(3)) + extraRegistry);
  machine.WriteMachineJson("{\"os\":" + os + extraJson + "}");
  test::RunChecker(machine);
  return machine.ReadFile(test::kCheckerLog);
}

struct NameRow {
  const char* description;
  const char* os;
  const char* registry;
  const char* name;
};

void PrintTo(const NameRow& row, std::ostream* os) { *os << row.description; }

class NamingScenario : public ::testing::TestWithParam<NameRow> {};

TEST_P(NamingScenario, TheLogNamesTheSystem) {
  KV_SKIP_UNDER_WINE("it reports its own versions (Windows 10, Server 2008), not the image's");
  const NameRow& row = GetParam();
  const std::string log = LogOf(row.os, "", row.registry);
  EXPECT_NE(log.find(std::string("[INFO] IsServerOS : Os Name ") + row.name + "\n"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, NamingScenario,
    ::testing::Values(
        NameRow{
            "Windows10ProX64",
            R"({"major":10,"minor":0,"platform_id":2,"product_type":1,"product_info":48,"architecture":9,"wow64":true})",
            "", "Windows 10 Professional Edition (x64)"},
        NameRow{
            "Server2016Datacenter",
            R"({"major":10,"minor":0,"platform_id":2,"product_type":3,"product_info":8,"architecture":9,"wow64":true})",
            "", "Windows Server 2016 Datacenter Edition (x64)"},
        NameRow{
            "Windows10SingleLanguage",
            R"({"major":10,"minor":0,"platform_id":2,"product_type":1,"product_info":100,"architecture":9,"wow64":true})",
            "", "Windows 10 (x64)"},
        NameRow{"Windows7Ultimate32Bit",
                R"({"major":6,"minor":1,"platform_id":2,"product_type":1,"product_info":1,"architecture":0})", "",
                "Windows 7 Ultimate Edition"},
        NameRow{
            "InsiderPreview",
            R"({"major":10,"minor":0,"platform_id":2,"product_type":1,"product_info":48,"architecture":9,"wow64":true})",
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion]\n"
            "\"ProductName\"=\"Windows 10 Pro Insider Preview\"\n",
            "Windows 10 Beta (x64)"},
        NameRow{"Server2003Standard", R"({"major":5,"minor":2,"platform_id":2,"product_type":3,"architecture":0})", "",
                "Windows Server 2003, Standard Edition"},
        NameRow{"XpProfessional", R"({"major":5,"minor":1,"platform_id":2,"product_type":1,"architecture":0})", "",
                "Windows XP Professional"},
        NameRow{"Windows2000Server", R"({"major":5,"minor":0,"platform_id":2,"product_type":3,"architecture":0})", "",
                "Windows 2000 Server"}),
    [](const ::testing::TestParamInfo<NameRow>& info) { return std::string(info.param.description); });

struct StateRow {
  const char* description;
  const char* products;
  bool enabled;
};

void PrintTo(const StateRow& row, std::ostream* os) { *os << row.description; }

class ProductStateScenario : public ::testing::TestWithParam<StateRow> {};

TEST_P(ProductStateScenario, TheSecondDigitDecides) {
  KV_SKIP_UNDER_WINE("it has no security centre (root\\SecurityCenter2) to register a product in");
  const StateRow& row = GetParam();
  const std::string log = LogOf(
      R"({"major":10,"minor":0,"platform_id":2,"product_type":1,"product_info":48,"architecture":9,"wow64":true})",
      std::string(R"(,"wmi":{"available":true,"namespaces":{"root\\SecurityCenter2":{"AntivirusProduct":[)") +
          row.products + "]}}}");
  EXPECT_NE(log.find(row.enabled ? "[INFO] isAVFound : 1 \n" : "[INFO] isAVFound : 0 \n"), std::string::npos) << log;
  EXPECT_NE(log.find(row.enabled ? "[INFO] Return code : 15613 \n" : "[INFO] Return code : 0 \n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ProductStateScenario,
    ::testing::Values(StateRow{"FiveDigitsWithOne", R"({"displayName":"A","productState":397312})", true},    // 61000
                      StateRow{"FiveDigitsWithZero", R"({"displayName":"A","productState":393472})", false},  // 60100
                      StateRow{"FourDigits", R"({"displayName":"A","productState":4096})", false},            // 1000
                      StateRow{"SixDigitsWithNine", R"({"displayName":"A","productState":1675264})", false},  // 199000
                      StateRow{"EnabledThenDisabled",
                               R"({"displayName":"A","productState":397312},{"displayName":"B","productState":393472})",
                               true}),
    [](const ::testing::TestParamInfo<StateRow>& info) { return std::string(info.param.description); });

}  // namespace
}  // namespace kv
