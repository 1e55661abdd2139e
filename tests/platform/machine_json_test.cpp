#include "platform/posix/machine_json.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/posix/machine.h"
#include "platform/system.h"
#include "tests/support/child_process.h"
#include "tests/support/test_machine.h"

namespace kv::posix {
namespace {

std::string ExampleJson(const std::string& name) {
  return test::ReadWholeFile(std::string(KV_SOURCE_DIR) + "/examples/machines/" + name + "/machine.json");
}

struct Fault {
  std::string text;
  std::size_t line;
  std::string member;
  std::string messagePart;
};

TEST(MachineJson, TheExampleImagesAreSound) {
  for (const char* name : {"default", "win10-antivirus", "amd-processor"}) {
    nlohmann::json info;
    const auto error = ParseMachineJson(ExampleJson(name), info);
    EXPECT_FALSE(error) << name << ": " << error->member << ": " << error->message;
    EXPECT_TRUE(info.is_object());
  }
}

TEST(MachineJson, EveryFaultNamesItsMemberAndTheDocumentIsDropped) {
  const Fault faults[] = {
      {"{\n\"os\": {\"build\": 1e400}}", 2, "/os/build", "number overflow"},
      {R"({"os": {"wow64": "yes"}})", 0, "/os/wow64", "a Boolean is expected, not a string"},
      {R"({"os": {"major": null}})", 0, "/os/major", "an integer is expected, not null"},
      {R"({"os": {"minor": 1.5}})", 0, "/os/minor", "not the number 1.5"},
      {R"({"os": {"product_type": 256}})", 0, "/os/product_type", "out of range (0 to 255)"},
      {R"({"os": {"major": 18446744073709551615}})", 0, "/os/major", "out of range"},
      {R"({"identity": {"join_status": "lost"}})", 0, "/identity/join_status", "not one of"},
      {R"({"identity": {"domain_controller": {"name": 7}}})", 0, "/identity/domain_controller/name", "a string"},
      {R"({"adapters": [{"index": 1}, {"addresses": [{"ip": false}]}]})", 0, "/adapters/1/addresses/0/ip", "a string"},
      {R"({"environment": {"TEMP": 1}})", 0, "/environment/TEMP", "a string"},
      {R"({"cwd": "Windows\\System32"})", 0, "/cwd", "with its drive"},
      {R"({"time_zone_bias": 100000})", 0, "/time_zone_bias", "out of range"},
      {R"({"wmi": {"locator": 5}})", 0, "/wmi/locator", "not a failing HRESULT"},
      {R"({"wmi": {"available": 1}})", 0, "/wmi/available", "a Boolean"},
      {R"({"wmi": {"namespaces": {"root\\x": {"C": [{"p": {"vt": "8"}}]}}}})", 0, "/wmi/namespaces/root\\x/C/0/p/vt",
       "an integer"},
      {R"({"wmi": {"namespaces": {"a/b~": {"C": {}}}}})", 0, "/wmi/namespaces/a~1b~0/C", "an array"},
      {R"({"defender": {"hresult": 1}})", 0, "/defender/hresult", "not a failing HRESULT"},
      {R"({"crypto": {"error": 0}})", 0, "/crypto/error", "not an error code"},
      {R"({"crypto": {"keys": ["signature", "master"]}})", 0, "/crypto/keys/1", "not a key pair"},
      {R"({"services": "KVAgent"})", 0, "/services", "an array"},
      {R"({"disk": {"write_faults": [{"file": "x", "error": "EPERM"}]}})", 0, "/disk/write_faults/0/error",
       "ENOSPC or EIO"},
      {R"({"disk": {"write_faults": [{"file": "x", "after": -1}]}})", 0, "/disk/write_faults/0/after", "out of range"},
      {"[1, 2]", 1, "", "not a JSON object"},
      {"{\"os\": {\"major\": 10,\n\n \"minor\": }}", 3, "/os/minor", "syntax error"},
      {"{\"a\": [1, {\"b\": tru}]}", 1, "/a/1/b", "syntax error"},
      {"{} {}", 1, "", "syntax error"},
      {"", 1, "", "unexpected end of input"},
  };
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault.text);
    nlohmann::json info = nlohmann::json::object({{"stale", 1}});
    const auto error = ParseMachineJson(fault.text, info);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->line, fault.line);
    EXPECT_EQ(error->member, fault.member);
    EXPECT_NE(error->message.find(fault.messagePart), std::string::npos) << error->message;
    EXPECT_EQ(info, nlohmann::json::object());
  }
}

TEST(MachineJson, NestingIsBoundedWithoutRecursion) {
  const std::string deep = "{\"x\": " + std::string(100000, '[') + std::string(100000, ']') + "}";
  nlohmann::json info;
  const auto error = ParseMachineJson(deep, info);
  ASSERT_TRUE(error);
  EXPECT_NE(error->message.find("nest deeper than 64 levels"), std::string::npos);
  EXPECT_TRUE(error->member.starts_with("/x/0/0/"));

  const std::string fits = "{\"x\": " + std::string(63, '[') + std::string(63, ']') + "}";
  EXPECT_FALSE(ParseMachineJson(fits, info));
}

TEST(MachineJson, ValuesThatMakeSenseAreKept) {
  nlohmann::json info;
  const auto error = ParseMachineJson(R"({"os": {"major": 4294967295, "wow64": false},
      "identity": {"join_status": 7}, "wmi": {"locator": -2147024891, "com_init": 2147942405, "proxy_blanket": 0,
      "namespaces": {"root\\x": {"C": [{"p": {"vt": 8201, "value": []}, "q": null, "r": {}}]}}},
      "crypto": {"error": 2148073495, "keys": []}, "time_zone_bias": -60, "unknown member": [null]})",
                                      info);
  EXPECT_FALSE(error) << error->member << ": " << error->message;
  EXPECT_EQ(info["/wmi/com_init"_json_pointer], 2147942405u);
}

TEST(MachineJson, AnImageWithAFaultyFileReportsNothing) {
  test::TempMachine machine;
  machine.WriteMachineJson(R"({"os": {"major": 10, "wow64": "yes"}, "environment": {"TEMP": "C:\\Temp"}})");
  ::testing::internal::CaptureStderr();
  machine.Use();
  const bool valid = Machine().valid;
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(valid);
  EXPECT_EQ(err,
            "error: " + machine.Path("machine.json") + ": member /os/wow64: a Boolean is expected, not a string\n");
  EXPECT_FALSE(GetEnvironmentVariable("TEMP"));
}

}  // namespace
}  // namespace kv::posix
