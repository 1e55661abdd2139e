// The resource identifier as the registry keeps it.

#include "startup/resource_id.h"

#include <gtest/gtest.h>

#include "agent/agent_settings.h"
#include "tests/support/agent_image.h"
#include "tests/support/test_log.h"

namespace kv {
namespace {

constexpr const char* kMissingLine =
    "[ERROR] GetResourceID : Unable to get the KV Agent Resource ID from Registry , So trying to get the same from "
    "server .\n";

class ResourceId : public testing::Test {
 protected:
  void Use(const std::string& systemDetails) {
    ResetAgentSettings();
    machine_.WriteMachineJson(R"({"os":{"architecture":9,"wow64":true}})");
    machine_.WriteRegistry(test::RegKeyBlock(test::kAgentKey32) + systemDetails);
    machine_.Use();
  }

  test::TempMachine machine_;
};

TEST_F(ResourceId, ReadFromTheAgentsSystemDetails) {
  Use("[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tarnwick\\Kelvane\\KVAgent\\SystemDetails]\n"
      "\"KVAgentResourceID\"=\"301\"\n");
  test::TestLog log;
  std::optional<std::string> id;
  EXPECT_EQ(GetResourceID(id), 0);
  EXPECT_EQ(id, "301");
  EXPECT_FALSE(log.Contains("GetResourceID"));
}

TEST_F(ResourceId, MissingIdentifierStaysMissing) {
  for (const char* details : {"[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tarnwick\\Kelvane\\KVAgent\\SystemDetails]\n"
                              "\"Other\"=\"1\"\n",
                              ""}) {
    Use(details);
    test::TestLog log;
    std::optional<std::string> id = "stale";
    EXPECT_EQ(GetResourceID(id), 2);
    EXPECT_EQ(id, std::nullopt);
    EXPECT_TRUE(log.Contains(kMissingLine));
  }
}

TEST_F(ResourceId, ReadsTheValueWhateverItsType) {
  // As the registry helper reads it: the raw bytes up to the first NUL.
  Use("[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tarnwick\\Kelvane\\KVAgent\\SystemDetails]\n"
      "\"KVAgentResourceID\"=dword:00003133\n");
  test::TestLog log;
  std::optional<std::string> id;
  EXPECT_EQ(GetResourceID(id), 0);
  EXPECT_EQ(id, "31");
}

}  // namespace
}  // namespace kv
