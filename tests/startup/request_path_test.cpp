// The request path each product edition's server expects.

#include "startup/request_path.h"

#include <gtest/gtest.h>

#include "agent/agent_settings.h"
#include "tests/support/test_log.h"
#include "transfer/transfer_types.h"

namespace kv {
namespace {

class RequestPath : public ::testing::Test {
 protected:
  ~RequestPath() override { ResetAgentSettings(); }
  std::string Path(const char* code, const std::string& path, int type, bool toManagement = true) {
    Agent().gv_kvProductCode = code;
    return EditionRequestPath(path, type, toManagement);
  }
  test::TestLog log_{4};
};

TEST_F(RequestPath, OnDemandDownloadsFromTheManagementServerGoThroughItsHandler) {
  EXPECT_EQ(Path("KVOD", "client-data/x/y.xml", GET_DATA), "clientdatarequest?fileName=client-data/x/y.xml");
  EXPECT_EQ(Path("kvod", "/files/a.bin", DOWNLOAD_FILE), "clientdatarequest?fileName=/files/a.bin");
  EXPECT_FALSE(log_.Contains("AgentSendRequest - gv_kvProductCode"));

  // Its servlets answer themselves, found without regard to case.
  for (const char* path : {"/agentSlot?x=1", "/servlet/AGENTREQUEST?a", "ui/agentTrayIcon?b", "agentinfo?c"})
    EXPECT_EQ(Path("KVOD", path, GET_DATA), path);
  EXPECT_TRUE(log_.Contains(
      "[INFO] AgentSendRequest - gv_kvProductCode is [KVOD], requestType is GET_DATA / DOWNLOAD_FILE [11001] and is "
      "servlet request \n"));
  // "agentSlot?" without its slash is no servlet.
  EXPECT_EQ(Path("KVOD", "xagentSlot?x", GET_DATA), "clientdatarequest?fileName=xagentSlot?x");
}

TEST_F(RequestPath, OnDemandKeepsPostsAndTheDistributionServersPaths) {
  EXPECT_EQ(Path("KVOD", "upload/status", SEND_DATA), "upload/status");
  EXPECT_TRUE(log_.Contains(
      "[INFO] AgentSendRequest - gv_kvProductCode is [KVOD], toKVServer is set to [1]. Request Type is NOT GET_DATA "
      "/ DOWNLOAD_FILE and is [11002]\n"));
  EXPECT_EQ(Path("KVOD", "client-data/x/y.xml", GET_DATA, false), "client-data/x/y.xml");
  EXPECT_TRUE(log_.Contains(
      "[INFO] AgentSendRequest - gv_kvProductCode is [KVOD], toKVServer is set to [0]. Request Type is NOT GET_DATA "
      "/ DOWNLOAD_FILE and is [11001]\n"));
}

TEST_F(RequestPath, TheHostedEditionPrefixesEveryPath) {
  for (int type : {GET_DATA, DOWNLOAD_FILE, SEND_DATA, SEND_FILE_BY_BITRATE})
    EXPECT_EQ(Path("MSPQZ", "agentSlot?x", type), "kv/agentSlot?x");
  EXPECT_EQ(Path("mspqz", "/a", GET_DATA, false), "kv//a");
  EXPECT_TRUE(log_.Contains(
      "[INFO] AgentSendRequest - gv_kvProductCode is [MSPQZ], requestType is GET_DATA / DOWNLOAD_FILE [11002] \n"));
}

TEST_F(RequestPath, StandAloneKeepsThePathAndMakesItValidUtf8) {
  EXPECT_EQ(Path("KVEE", "client-data/x/y.xml", GET_DATA), "client-data/x/y.xml");
  EXPECT_TRUE(log_.Contains("[DEBUG] AgentSendRequest - Stand Alone / MSP build : gv_kvProductCode is [KVEE] \n"));
  EXPECT_EQ(Path("KVPE", "caf\xc3\xa9/\xff.xml", GET_DATA), "caf\xc3\xa9/\xef\xbf\xbd.xml");
}

}  // namespace
}  // namespace kv
