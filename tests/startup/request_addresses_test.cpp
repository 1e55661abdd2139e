// Requests through the server's addresses against the test server: the
// order of the attempts, the last access name they leave, the server and
// proxy a request takes and the transfer each request type makes.

#include "startup/request_addresses.h"

#include <gtest/gtest.h>

#include "tests/startup/agent_server_fixture.h"
#include "transfer/transfer_types.h"

namespace kv {
namespace {

using test::kRefused;
using test::kServerInfoKey;
using test::kUnresolved;

constexpr const char* kLastAccessLine = "[INFO] AgentSendRequest : Last Access Address is ";

class RequestAddresses : public test::AgentServerTest {
 protected:
  DWORD Get(const char* path, std::string* reply = nullptr) {
    std::string ignored;
    return AgentSendRequestGetData(path, reply ? reply : &ignored, true);
  }
  static std::optional<std::string> StoredLastAccess() { return Stored(kServerInfoKey, "KVLastAccessName"); }
};

TEST_F(RequestAddresses, AnUnreachableLastAccessNameGivesWayToTheIpAddress) {
  server.Put("/client-data/doc.xml", "<Reply/>");
  SetServerAddresses({kRefused, "127.0.0.1", std::nullopt, "kv.example", "KV"});
  std::string reply;
  EXPECT_EQ(Get("client-data\\doc.xml", &reply), 0u);
  EXPECT_EQ(reply, "<Reply/>");
  EXPECT_EQ(Agent().gv_lastAccessName, "127.0.0.1");
  EXPECT_EQ(StoredLastAccess(), "127.0.0.1");
  EXPECT_TRUE(
      Logged("[INFO] AgentSendRequest : The url to get / send in UTF8 format is given by client-data/doc.xml \n"));
  EXPECT_TRUE(Logged(std::string(kLastAccessLine) + "127.0.0.1 \n"));

  // From now on the IP address is tried first.
  EXPECT_EQ(Get("client-data/doc.xml"), 0u);
  EXPECT_EQ(Hosts(), (std::vector<std::string>{"127.0.0.1", "127.0.0.1"}));
}

TEST_F(RequestAddresses, AnAnswerOutsideTheRetrySetEndsTheAttempts) {
  // A 404 of the last access name: nothing else is tried, nothing written.
  SetServerAddresses({"127.0.0.1", "localhost", "localhost", "localhost", "localhost"});
  EXPECT_EQ(Get("missing.xml"), 404u);
  EXPECT_EQ(Hosts(), std::vector<std::string>{"127.0.0.1"});
  EXPECT_EQ(StoredLastAccess(), std::nullopt);
  EXPECT_FALSE(Logged(kLastAccessLine));
  EXPECT_EQ(Agent().gv_lastAccessName, "127.0.0.1");
}

TEST_F(RequestAddresses, TheIpAddressFailingInAnyWayLeadsToTheSecondary) {
  // The first answer for the target is a 404, later ones succeed.
  server.Put("/doc.xml", "<Reply/>");
  SetServerAddresses({kUnresolved, "127.0.0.1", "localhost", kRefused, kRefused});
  EXPECT_EQ(Get("doc.xml?status=404&times=1"), 0u);
  EXPECT_EQ(Hosts(), (std::vector<std::string>{"127.0.0.1", "localhost"}));
  EXPECT_EQ(Agent().gv_lastAccessName, "localhost");
  EXPECT_EQ(StoredLastAccess(), "localhost");

  // After the secondary address only the retry set goes on: two 500s end it.
  SetServerAddresses({kUnresolved, "127.0.0.1", "localhost", "127.0.0.1", "127.0.0.1"});
  EXPECT_EQ(Get("doc.xml?status=500&times=2"), 500u);
  EXPECT_EQ(Hosts().size(), 4u);
  EXPECT_EQ(StoredLastAccess(), "localhost");
}

TEST_F(RequestAddresses, TheRetrySetWalksOnToTheFlatName) {
  server.Put("/doc.xml", "<Reply/>");
  // 12007, 12029, a placeholder that is skipped, 12029, then an answer.
  SetServerAddresses({kUnresolved, kRefused, "ab", kRefused, "127.0.0.1"});
  EXPECT_EQ(Get("doc.xml"), 0u);
  EXPECT_EQ(Hosts(), std::vector<std::string>{"127.0.0.1"});
  EXPECT_EQ(StoredLastAccess(), "127.0.0.1");

  // HTTP 400 is in the retry set too; the server name answers.
  SetServerAddresses({"127.0.0.1", std::nullopt, "", "localhost", kRefused});
  EXPECT_EQ(Get("doc.xml?status=400&times=1"), 0u);
  EXPECT_EQ(Agent().gv_lastAccessName, "localhost");
  EXPECT_EQ(StoredLastAccess(), "localhost");

  // The last failure is the result when every address fails.
  SetServerAddresses({kUnresolved, kRefused, std::nullopt, kRefused, kUnresolved});
  EXPECT_EQ(Get("doc.xml"), 12007u);
  SetServerAddresses({kUnresolved, kRefused, std::nullopt, kUnresolved, kRefused});
  EXPECT_EQ(Get("doc.xml"), 12029u);
  EXPECT_EQ(StoredLastAccess(), "localhost");
}

TEST_F(RequestAddresses, WithoutAnAddressToTryNothingIsSent) {
  SetServerAddresses({std::nullopt, "", "ab", std::nullopt, "xy"});
  EXPECT_EQ(Get("doc.xml"), 12007u);
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ(StoredLastAccess(), std::nullopt);
  EXPECT_FALSE(Logged(kLastAccessLine));
  // The null addresses are logged by the conversion and the call goes on.
  EXPECT_TRUE(Logged("[ERROR] ChangeUtf8ToWideStr: utf8 is empty! \n"));
}

class RequestAddressesWithProxy : public test::AgentServerTest {
 protected:
  RequestAddressesWithProxy() : AgentServerTest(ProxyOptions()) {
    AgentSettings& agent = Agent();
    agent.gv_proxyEnabled = "yes";
    agent.gv_proxyServerName = "127.0.0.1:" + std::to_string(server.ProxyPort());
    agent.gv_proxyUserName = "proxy-user";
    agent.gv_proxyPassword = "proxy-secret";
    agent.gv_proxyByPass = "";
    agent.gv_enableDistributionServer = "YES";
    SetServerAddresses({"127.0.0.1", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    SetDistributionAddresses({"localhost", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    server.Put("/doc.xml", "<Reply/>");
  }
  static test::HttpTestServerOptions ProxyOptions() {
    test::HttpTestServerOptions options;
    options.proxy = true;
    options.proxyUser = "proxy-user";
    options.proxyPassword = "proxy-secret";
    return options;
  }
};

TEST_F(RequestAddressesWithProxy, TheDistributionServerIsReachedDirectly) {
  std::string reply;
  EXPECT_EQ(AgentSendRequest("doc.xml", nullptr, &reply, GET_DATA, true, 0, 0, TRANSFER_MODE_NORMAL), 0u);
  EXPECT_EQ(reply, "<Reply/>");
  const std::vector<test::RecordedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_FALSE(requests[0].viaProxy);
  EXPECT_EQ(Hosts(), std::vector<std::string>{"localhost"});
  EXPECT_EQ(Stored(kServerInfoKey, "DistributionLastAccessName"), "localhost");
  EXPECT_EQ(Stored(kServerInfoKey, "KVLastAccessName"), std::nullopt);
  EXPECT_FALSE(Logged("proxy-secret"));
}

TEST_F(RequestAddressesWithProxy, TheManagementServerIsReachedThroughTheProxy) {
  EXPECT_EQ(AgentSendRequestGetData("doc.xml", nullptr, true), 0u);
  // The distribution server is off: every request goes to the management server.
  Agent().gv_enableDistributionServer = "no";
  EXPECT_EQ(AgentSendRequest("doc.xml", nullptr, nullptr, GET_DATA, true, 0, 0, TRANSFER_MODE_NORMAL), 0u);
  // Each request comes through the proxy, which hands it on to the server.
  std::size_t proxied = 0, direct = 0;
  for (const test::RecordedRequest& request : server.Requests()) {
    EXPECT_NE(request.Header("Host").find("127.0.0.1"), std::string::npos);
    ++(request.viaProxy ? proxied : direct);
  }
  EXPECT_GE(proxied, 2u);
  EXPECT_EQ(direct, 2u);
  EXPECT_EQ(Stored(kServerInfoKey, "KVLastAccessName"), "127.0.0.1");
  EXPECT_EQ(Stored(kServerInfoKey, "DistributionLastAccessName"), std::nullopt);
  EXPECT_FALSE(Logged("proxy-secret"));
}

TEST_F(RequestAddresses, EachRequestTypeMakesItsTransfer) {
  const std::string hello = "hello";
  std::string reply;
  EXPECT_EQ(AgentSendRequest("echo", &hello, &reply, SEND_DATA, true, 1, 0, TRANSFER_MODE_NORMAL), 0u);
  EXPECT_EQ(reply, "hello");
  EXPECT_EQ(AgentSendRequest("echo", &hello, &reply, SEND_MULTIPART, true, 1, 3, TRANSFER_MODE_NORMAL), 0u);
  EXPECT_EQ(reply, "hel");

  machine.WriteFile("drive_c/upload.txt", "file body");
  const std::string file = "C:\\upload.txt";
  EXPECT_EQ(AgentSendRequest("echo", &file, &reply, SEND_FILE_BY_BITRATE, true, 1, 4, TRANSFER_MODE_NORMAL), 0u);
  EXPECT_EQ(reply, "file body");

  const std::string destination = "C:\\Downloads\\file.bin";
  EXPECT_EQ(AgentSendRequest("bytes/3000", &destination, nullptr, DOWNLOAD_FILE, true, 1, 0, TRANSFER_MODE_NORMAL), 0u);
  EXPECT_EQ(machine.ReadFile("drive_c/Downloads/file.bin"), test::TestBytes(0, 3000));

  // Paced: in Range blocks.
  EXPECT_EQ(AgentSendRequest("bytes/300", nullptr, &reply, GET_DATA, true, 1, 0, TRANSFER_MODE_PACED), 0u);
  EXPECT_EQ(reply, test::TestBytes(0, 300));
  EXPECT_TRUE(server.Requests().back().HasHeader("Range"));

  // Mode 2 starts no download: no address counts as tried.
  const std::size_t before = server.Requests().size();
  EXPECT_EQ(AgentSendRequest("bytes/300", nullptr, &reply, GET_DATA, true, 1, 0, TRANSFER_MODE_NO_DOWNLOAD), 12007u);
  EXPECT_EQ(server.Requests().size(), before);
}

}  // namespace
}  // namespace kv
