#include "agent/os_naming.h"

#include <gtest/gtest.h>

#include "tests/support/test_log.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

struct NamingCase {
  const char* description;
  const char* os;        // the "os" object of machine.json
  const char* registry;  // extra registry keys
  const char* expected;
};

std::string OsNameOn(const NamingCase& c) {
  test::TempMachine machine;
  machine.WriteMachineJson(std::string("{\"os\":") + c.os + "}");
  machine.WriteRegistry(c.registry);
  machine.Use();
  return GetOSNameEx().value_or("<null>");
}

constexpr const char* kPreviewProductName =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion]\n"
    "\"ProductName\"=\"Windows 10 Pro Insider Preview\"\n";

TEST(GetOSNameExTest, NamesVersionsAndEditions) {
  const NamingCase cases[] = {
      {"Windows 10 Pro x64",
       R"({"major":10,"minor":0,"platform_id":2,"product_type":1,"product_info":48,"architecture":9,"wow64":true})", "",
       "Windows 10 Professional Edition (x64)"},
      {"Server 2016 Datacenter",
       R"({"major":10,"minor":0,"platform_id":2,"product_type":3,"product_info":8,"architecture":9,"wow64":true})", "",
       "Windows Server 2016 Datacenter Edition (x64)"},
      {"Windows 10 single language",
       R"({"major":10,"minor":0,"platform_id":2,"product_type":1,"product_info":100,"architecture":9})", "",
       "Windows 10 (x64)"},
      {"Windows 8.1 core, 32-bit",
       R"({"major":6,"minor":3,"platform_id":2,"product_type":1,"product_info":98,"architecture":0})", "",
       "Windows 8.1"},
      {"32-bit Windows 7 Ultimate",
       R"({"major":6,"minor":1,"platform_id":2,"product_type":1,"product_info":1,"architecture":0})", "",
       "Windows 7 Ultimate Edition"},
      {"Server 2012 is always x64",
       R"({"major":6,"minor":2,"platform_id":2,"product_type":3,"product_info":7,"architecture":0})", "",
       "Windows Server 2012 Standard Edition (x64)"},
      {"Insider preview",
       R"({"major":10,"minor":0,"platform_id":2,"product_type":1,"product_info":48,"architecture":9,"wow64":true})",
       kPreviewProductName, "Windows 10 Beta (x64)"},
      {"Unknown product type",
       R"({"major":10,"minor":0,"platform_id":2,"product_type":1,"product_info":250,"architecture":9})", "",
       "Windows 10 Beta (x64)"},
      {"Version the tables do not know",
       R"({"major":11,"minor":0,"platform_id":2,"product_type":1,"product_info":48,"architecture":9})", "", ""},
      {"Server 2003 Standard",
       R"({"major":5,"minor":2,"platform_id":2,"product_type":3,"suite_mask":0,"architecture":0})", "",
       "Windows Server 2003, Standard Edition"},
      {"Server 2003 Enterprise x64",
       R"({"major":5,"minor":2,"platform_id":2,"product_type":3,"suite_mask":2,"architecture":9})", "",
       "Windows Server 2003, Enterprise x64 Edition"},
      {"XP Professional", R"({"major":5,"minor":1,"platform_id":2,"product_type":1,"suite_mask":256,"architecture":0})",
       "", "Windows XP Professional"},
      {"XP Home", R"({"major":5,"minor":1,"platform_id":2,"product_type":1,"suite_mask":512,"architecture":0})", "",
       "Windows XP Home Edition "},
      {"XP Professional x64", R"({"major":5,"minor":2,"platform_id":2,"product_type":1,"architecture":9})", "",
       "Windows XP Professional x64 Edition"},
      {"2000 Server", R"({"major":5,"minor":0,"platform_id":2,"product_type":3,"suite_mask":0,"architecture":0})", "",
       "Windows 2000 Server"},
      {"2000 Advanced Server",
       R"({"major":5,"minor":0,"platform_id":2,"product_type":3,"suite_mask":2,"architecture":0})", "",
       "Windows 2000 Advanced Server"},
      {"NT 4 Terminal Server",
       R"({"major":4,"minor":0,"platform_id":2,"product_type":3,"suite_mask":16,"architecture":0})", "",
       "Windows NT Server 4.0, Terminal Server Edition"},
      {"NT 4 with the basic record only",
       R"({"major":4,"minor":0,"platform_id":2,"extended_record":false,"architecture":0})",
       "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions]\n\"ProductType\"=\"LanmanNT\"\n",
       "Windows NT Server 4.0"},
      {"Windows 98 SE", R"({"major":4,"minor":10,"platform_id":1,"service_pack":" A "})", "", "Windows 98 SE"},
      {"Windows Me", R"({"major":4,"minor":90,"platform_id":1})", "", "Windows Millennium Edition"},
      {"Win32s", R"({"major":3,"minor":1,"platform_id":0})", "", "Win32s"},
  };
  for (const auto& c : cases) EXPECT_EQ(OsNameOn(c), c.expected) << c.description;
}

TEST(GetOSNameExTest, UnreadableVersionGivesNull) {
  EXPECT_EQ(OsNameOn({"no os", "null", "", ""}), "<null>");
  // The oldest systems without their ProductType value cannot be named.
  EXPECT_EQ(OsNameOn({"basic record, no ProductType",
                      R"({"major":4,"minor":0,"platform_id":2,"extended_record":false})", "", ""}),
            "<null>");
}

TEST(GetOSNameExTest, UnknownProductTypeIsLoggedAsBeta) {
  test::TestLog log;
  OsNameOn(
      {"", R"({"major":10,"minor":0,"platform_id":2,"product_type":1,"product_info":250,"architecture":9})", "", ""});
  EXPECT_TRUE(log.Contains("[INFO] dwPlatformInfo : 250\n"));
  EXPECT_TRUE(log.Contains("[ERROR] Edition can't be retrieved. So Assuming it as Beta\n"));
  EXPECT_TRUE(log.Contains("[DEBUG] si.wProcessorArchitecture : 9\n"));
}

}  // namespace
}  // namespace kv
