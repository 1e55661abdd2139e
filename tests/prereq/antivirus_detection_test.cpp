#include "prereq/antivirus_detection.h"

#include <gtest/gtest.h>

#include "prereq/wmi_query.h"
#include "tests/support/test_log.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

using test::TempMachine;
using test::TestLog;

class AntivirusTest : public ::testing::Test {
 protected:
  void UseWmi(const std::string& wmi, const std::string& extra = "") {
    machine.WriteMachineJson(R"({"os":{"architecture":9,"wow64":true},"wmi":)" + wmi + extra + "}");
    machine.Use();
  }
  static std::string SecurityCenter(const std::string& products) {
    return R"({"available":true,"namespaces":{"root\\SecurityCenter2":{"AntivirusProduct":[)" + products + "]}}}";
  }
  static std::string InstalledProducts(const std::string& names) {
    return R"({"available":true,"namespaces":{"root\\CIMV2":{"Win32_Product":[)" + names + "]}}}";
  }
  bool SecurityCentreFinds(const std::string& products) {
    UseWmi(SecurityCenter(products));
    EXPECT_EQ(ConnectWmiSecurityCenter2(), S_OK);
    bool found = false;
    LoadInstalledUpdatesUsingWMI(&found);
    ReleaseWmi();
    return found;
  }
  bool InstalledProductsFind(const std::string& names) {
    UseWmi(InstalledProducts(names));
    EXPECT_EQ(ConnectWmiCimv2(), S_OK);
    bool found = false;
    FindAntivirusInInstalledProducts(&found);
    ReleaseWmi();
    return found;
  }

  TempMachine machine;
};

TEST_F(AntivirusTest, SecurityCentreJudgesTheSecondHexDigitOfTheState) {
  EXPECT_TRUE(SecurityCentreFinds(R"({"displayName":"A","productState":397312})"));    // 0x61000
  EXPECT_FALSE(SecurityCentreFinds(R"({"displayName":"A","productState":393472})"));   // 0x60100
  EXPECT_FALSE(SecurityCentreFinds(R"({"displayName":"A","productState":4096})"));     // 0x1000
  EXPECT_FALSE(SecurityCentreFinds(R"({"displayName":"A","productState":1638400})"));  // 0x190000
  EXPECT_TRUE(SecurityCentreFinds(R"({"displayName":"A","productState":1118208})"));   // 0x111000
  EXPECT_FALSE(SecurityCentreFinds(R"({"displayName":"A","productState":0})"));
  EXPECT_FALSE(SecurityCentreFinds(""));
}

TEST_F(AntivirusTest, AnEnabledProductStaysFoundWhenALaterOneIsNot) {
  TestLog log;
  EXPECT_TRUE(SecurityCentreFinds(R"({"displayName":"Windows Defender","productState":397568},)"
                                  R"({"displayName":"Old AV","productState":393472})"));
  EXPECT_TRUE(log.Contains("[INFO] GetValuesUsingWMIQuery : The required Value is given by: Windows Defender\n"));
  EXPECT_TRUE(log.Contains("[INFO] GetValuesUsingWMIQuery : state : 1   61100\n"));
  EXPECT_TRUE(log.Contains("[INFO] GetValuesUsingWMIQuery : Enabled \n"));
}

TEST_F(AntivirusTest, UnexpectedPropertyTypesTakeTheNotEnabledRoad) {
  TestLog log;
  EXPECT_FALSE(SecurityCentreFinds(R"({"displayName":42,"productState":"397568"})"));
  EXPECT_FALSE(SecurityCentreFinds(R"({"displayName":{"vt":8201,"value":[]}})"));
  EXPECT_TRUE(log.Contains("The required Value is given by: 42\n"));
}

TEST_F(AntivirusTest, InstalledProductsMatchTheListWithCase) {
  EXPECT_TRUE(InstalledProductsFind(R"({"Name":"Kaspersky Endpoint Security 11"})"));
  EXPECT_FALSE(InstalledProductsFind(R"({"Name":"kaspersky endpoint security 11"})"));
  EXPECT_TRUE(InstalledProductsFind(R"({"Name":"Windows Defender Advanced Threat Protection"})"));
  EXPECT_FALSE(InstalledProductsFind(R"({"Name":"Microsoft Visual C++ 2015"},{"Name":"Zürich Büro Tools"})"));
  EXPECT_FALSE(InstalledProductsFind(R"({"Name":null},{"Other":"McAfee"})"));
}

TEST_F(AntivirusTest, InstalledProductProbeStopsAtTheFirstMatch) {
  TestLog log;
  EXPECT_TRUE(InstalledProductsFind(R"({"Name":"Office"},{"Name":"Sophos Endpoint"},{"Name":"McAfee Agent"})"));
  EXPECT_TRUE(log.Contains("[INFO] enum\n"));
  EXPECT_TRUE(log.Contains("[INFO] GetValuesUsingWMIQuery : The required Value is given by 2 : Sophos Endpoint\n"));
  EXPECT_TRUE(log.Contains("[INFO] It is AV\n"));
  EXPECT_FALSE(log.Contains("McAfee Agent"));
}

TEST_F(AntivirusTest, WithoutAConnectionTheProbesLogAndFindNothing) {
  UseWmi(R"({"available":false})");
  TestLog log;
  EXPECT_LT(ConnectWmiCimv2(), 0);
  EXPECT_EQ(wmiServices(), nullptr);
  bool found = false;
  FindAntivirusInInstalledProducts(&found);
  LoadInstalledUpdatesUsingWMI(&found);
  ReleaseWmi();
  EXPECT_FALSE(found);
  EXPECT_TRUE(log.Contains("[ERROR] GetValuesUsingWMIQuery :Could not connect. Error code = 0x800706ba\n"));
  EXPECT_TRUE(log.Contains("[ERROR] LoadInstalledUpdatesUsingWMI : WMI Connection failed. So ignoring WMI checks\n"));
}

TEST_F(AntivirusTest, AFailedQueryIsLoggedWithItsCode) {
  UseWmi(R"({"available":true,"namespaces":{"root\\CIMV2":{}}})");
  TestLog log;
  EXPECT_EQ(ConnectWmiCimv2(), S_OK);
  bool found = false;
  FindAntivirusInInstalledProducts(&found);
  ReleaseWmi();
  EXPECT_FALSE(found);
  EXPECT_TRUE(log.Contains("Query for the required wmi class is failed . Error code = 0x80041010\n"));
}

TEST_F(AntivirusTest, AFailedProxyBlanketKeepsTheConnection) {
  UseWmi(
      R"({"available":true,"proxy_blanket":-2147024891,"namespaces":{"root\\SecurityCenter2":{"AntivirusProduct":[{"displayName":"X","productState":266240}]}}})");
  TestLog log;
  (void)ConnectWmiSecurityCenter2();  // the blanket's failure is the connection's result
  EXPECT_NE(wmiServices(), nullptr);
  bool found = false;
  LoadInstalledUpdatesUsingWMI(&found);
  ReleaseWmi();
  EXPECT_TRUE(found);
  EXPECT_TRUE(log.Contains("[INFO] GetValuesUsingWMIQuery : Connected to ROOT\\CIMV2 WMI namespace\n"));
  EXPECT_TRUE(log.Contains("[ERROR] GetValuesUsingWMIQuery :Could not set proxy blanket. Error code = 0x80070005\n"));
}

TEST(IsAntivirusProductNameTest, AnyOfTheListAsSubstring) {
  EXPECT_TRUE(IsAntivirusProductName("AVG Internet Security"));
  EXPECT_TRUE(IsAntivirusProductName("Symantec Endpoint Protection"));
  EXPECT_FALSE(IsAntivirusProductName("avg"));
  EXPECT_FALSE(IsAntivirusProductName(""));
  EXPECT_FALSE(IsAntivirusProductName(nullptr));
}

class DefenderTest : public ::testing::Test {
 protected:
  void SetUp() override { machine.Use(); }
  void Defender(const std::string& entry) {
    machine.WriteMachineJson(R"({"os":{"architecture":9,"wow64":true},"defender":)" + entry + "}");
    machine.Use();
  }
  TempMachine machine;
};

constexpr const char* kX86Path = "C:\\Program Files (x86)\\Windows Defender\\MpClient.dll";
constexpr const char* kNativePath = "C:\\Program Files\\Windows Defender\\MpClient.dll";

TEST_F(DefenderTest, EnabledOnlyWhenTheFlagIsExactlyOne) {
  test::InstallLibrary(machine, "MpClient.dll", kNativePath);
  TestLog log;
  Defender(R"({"hresult":0,"enabled":1})");
  EXPECT_TRUE(defenderStatusCheck());
  EXPECT_TRUE(log.Contains("[INFO] Windows Defender is Enabled\n"));
  Defender(R"({"hresult":0,"enabled":2})");
  EXPECT_FALSE(defenderStatusCheck());
  EXPECT_TRUE(log.Contains("[INFO] Windows Defender is Disabled\n"));
  Defender(R"({"hresult":-2147467259,"enabled":1})");
  EXPECT_FALSE(defenderStatusCheck());
  EXPECT_TRUE(log.Contains("[ERROR] Function WDStatus failed with HRESULT  = 2147500037\n"));
}

TEST_F(DefenderTest, TheX86PathWinsWhenItHoldsALibrary) {
  test::InstallLibrary(machine, "MpClientWithoutExport.dll", kNativePath);
  test::InstallLibrary(machine, "MpClient.dll", kX86Path);
  Defender(R"({"hresult":0,"enabled":1})");
  TestLog log;
  EXPECT_TRUE(defenderStatusCheck());
  EXPECT_TRUE(log.Contains("Dll path is c:\\Program Files (x86)\\Windows Defender\\MpClient.dll\n"));
}

TEST_F(DefenderTest, AnEmptyX86FileCountsAsAbsent) {
  machine.WriteFile("drive_c/Program Files (x86)/Windows Defender/MpClient.dll", "");
  test::InstallLibrary(machine, "MpClient.dll", kNativePath);
  Defender(R"({"hresult":0,"enabled":1})");
  TestLog log;
  EXPECT_TRUE(defenderStatusCheck());
  EXPECT_TRUE(log.Contains("Dll path is c:\\Program Files\\Windows Defender\\MpClient.dll\n"));
}

TEST_F(DefenderTest, MissingLibraryOrExportAnswersFalse) {
  Defender(R"({"hresult":0,"enabled":1})");
  TestLog log;
  EXPECT_FALSE(defenderStatusCheck());
  EXPECT_TRUE(
      log.Contains("[ERROR] Failed to load dll from path : \"c:\\Program Files\\Windows Defender\\MpClient.dll\" "
                   "with error = 126\n"));
  test::InstallLibrary(machine, "MpClientWithoutExport.dll", kNativePath);
  EXPECT_FALSE(defenderStatusCheck());
  EXPECT_TRUE(log.Contains("[ERROR] GetProcAddress failed with error = 127\n"));
}

}  // namespace
}  // namespace kv
