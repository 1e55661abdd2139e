// The checker on the example machines without a resource identifier: it
// asks the test server for the computer's resource document through the
// server's addresses, cannot load it (the checker never loads the table
// definitions), goes on and answers as it always does.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "tests/servers/http_test_server.h"
#include "tests/support/agent_image.h"
#include "tests/support/loopback_port.h"
#include "tests/support/wine.h"

namespace kv {
namespace {

using test::RecordedRequest;

constexpr const char* kDocumentPath = "/client-data/cust-0042/domains/corp/resources/web01.xml";
constexpr const char* kRefused = "127.0.0.2";  // nothing listens there
constexpr const char* kDecisionLine = "gv_RegKey : Software\\Tarnwick\\Kelvane\\KVAgent\n";

// The line of the checker's decision ends what it prints.
bool EndsWithDecisionLine(const std::string& out) {
  const std::string line = kDecisionLine;
  return out.size() >= line.size() && out.compare(out.size() - line.size(), line.size(), line) == 0;
}

std::string Sz(const std::string& text) { return "\"" + text + "\""; }

std::string Document(const std::string& value) {
  return "<?xml version=\"1.0\"?>\n<Reply><AgentparamsList><Agentparams PARAM_NAME=\"RESOURCE_ID\" PARAM_VALUE=\"" +
         value + "\"/></AgentparamsList></Reply>";
}

// A value of a key in registry.reg text: replaced where it stands, else
// added at the end of the key (a new key when there is none).
std::string WithValue(std::string reg, const std::string& key, const std::string& name, const std::string& data) {
  const std::string line = Sz(name) + "=" + data + "\n";
  const std::string header = "[" + key + "]\n";
  std::size_t start = reg.find(header);
  if (start == std::string::npos) return reg + "\n" + header + line;
  start += header.size();
  const std::size_t end = std::min(reg.find("\n\n", start - 1), reg.find("\n[", start - 1)) + 1;
  const std::size_t at = reg.find(Sz(name) + "=", start);
  if (at != std::string::npos && at < end) return reg.replace(at, reg.find('\n', at) + 1 - at, line);
  return reg.insert(end, line);
}

std::string WithoutValue(std::string reg, const std::string& name) {
  const std::size_t at = reg.find(Sz(name) + "=");
  return at == std::string::npos ? reg : reg.erase(at, reg.find('\n', at) + 1 - at);
}

class ResourceRoad : public ::testing::Test {
 protected:
  ResourceRoad() { UseImage("default"); }

  // A copy of an example machine whose agent has no resource identifier and
  // whose management server is the test server at 127.0.0.1.
  void UseImage(const std::string& name) {
    image_ = std::make_unique<test::TempMachine>();
    test::CopyExampleMachine(machine(), name);
    reg_ = WithoutValue(machine().ReadFile("registry.reg"), "KVAgentResourceID");
    // The client's TEMP, where the document lands before it is read, is
    // missing from this image.
    if (name == "win10-antivirus") machine().MakeDirectory("drive_c/Users/alex/AppData/Local/Temp");
    SetServer("KVServerProtocol", Sz("http"));
    SetPort(server.Port());
    SetAddresses({"127.0.0.1", "127.0.0.1", "", "127.0.0.1", "127.0.0.1"});
  }
  void SetAgent(const std::string& name, const std::string& data) {
    reg_ = WithValue(reg_, test::kAgentKey32, name, data);
  }
  void SetServer(const std::string& name, const std::string& data) {
    reg_ = WithValue(reg_, std::string(test::kAgentKey32) + "\\ServerInfo", name, data);
  }
  void SetPort(unsigned port) { SetServer("KVServerPort", Sz(std::to_string(port))); }
  // Last access name, IP address, secondary IP address, server name, flat name.
  void SetAddresses(const std::vector<std::string>& a) {
    const char* names[] = {"KVLastAccessName", "KVServerIPAddress", "KVServerSecIPAddress", "KVServerName",
                           "KVServerFlatName"};
    for (std::size_t i = 0; i < a.size(); ++i) SetServer(names[i], Sz(a[i]));
  }

  test::CheckerRun Run() {
    machine().WriteFile("registry.reg", reg_);
    return test::RunChecker(machine(), {"-p", "KB4056892"});
  }
  // The path of the document the checker asks for: the given one on the
  // emulated machine. Under Wine the computer's name and domain are Wine's,
  // so a first run against a server that has nothing shows it; that run's
  // log is removed.
  std::string DocumentPath(const std::string& onEmulatedMachine) {
    if (!test::WineMode()) return onEmulatedMachine;
    const std::string reg = reg_;
    test::HttpTestServer empty;
    SetPort(empty.Port());
    Run();
    reg_ = reg;
    std::filesystem::remove(machine().Path(test::kCheckerLog));
    const std::vector<RecordedRequest> requests = empty.Requests();
    return requests.empty() ? std::string() : requests.back().target;
  }
  const test::TempMachine& machine() const { return *image_; }
  std::string Log() const { return machine().ReadFile(test::kCheckerLog); }
  bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
  std::string Registry() const { return machine().ReadFile("registry.reg"); }

  test::HttpTestServer server;
  std::unique_ptr<test::TempMachine> image_;
  std::string reg_;
};

TEST_F(ResourceRoad, TheDocumentComesByTheIpAddressAndCannotBeLoaded) {
  const std::string path = DocumentPath(kDocumentPath);
  server.Put(path, Document("1234"));
  SetAddresses({kRefused, "127.0.0.1", "", "kvserver.invalid", "KVSERVER"});
  const test::CheckerRun run = Run();
  EXPECT_EQ(run.exitCode, 0) << run.run.err;
  EXPECT_TRUE(EndsWithDecisionLine(run.run.out)) << run.run.out;

  const std::vector<RecordedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, path);
  EXPECT_NE(Registry().find("\"KVLastAccessName\"=\"127.0.0.1\""), std::string::npos);
  EXPECT_TRUE(Logged("[INFO] AgentSendRequest : Last Access Address is 127.0.0.1 \n"));
  EXPECT_TRUE(Logged("[ERROR] Cannot construct table data from XML buffer.\n"));
  EXPECT_TRUE(
      Logged("[ERROR] GetResourceIDFromServer : Error occured (13) while loading resource id buffer to the "
             "memory : \n " +
             Document("1234") + " \n"));
  EXPECT_TRUE(Logged("[INFO] The Agent Machine Resource Id is given by -> (null) \n"));
  // Nothing stored, nobody told.
  EXPECT_EQ(Registry().find("KVAgentResourceID"), std::string::npos);
  EXPECT_FALSE(machine().Exists("scm-controls.log"));
}

TEST_F(ResourceRoad, A404OnTheLastAccessNameEndsTheAttempts) {
  SetAddresses({"127.0.0.1", "localhost", "localhost", "localhost", "localhost"});
  const test::CheckerRun run = Run();
  EXPECT_EQ(run.exitCode, 0) << run.run.err;
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_TRUE(Logged("path and the error code is 404 \n"));
  EXPECT_FALSE(Logged("Last Access Address"));
  EXPECT_NE(Registry().find("\"KVLastAccessName\"=\"127.0.0.1\""), std::string::npos);
}

TEST_F(ResourceRoad, WithoutAnAddressNothingIsSent) {
  SetAddresses({"", "", "", "", "ab"});
  const test::CheckerRun run = Run();
  EXPECT_EQ(run.exitCode, 0) << run.run.err;
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_TRUE(Logged("path and the error code is 12007 \n"));
  EXPECT_FALSE(Logged("Last Access Address"));
}

TEST_F(ResourceRoad, TheEditionShapesThePath) {
  const std::string path = DocumentPath(kDocumentPath);
  const std::map<std::string, std::string> prefixes = {
      {"KVOD", "/clientdatarequest?fileName="}, {"MSPQZ", "/kv/"}, {"KVEE", ""}};
  for (const auto& [code, prefix] : prefixes) {
    SCOPED_TRACE(code);
    SetAgent("KVProductCode", Sz(code));
    const std::size_t before = server.Requests().size();
    EXPECT_EQ(Run().exitCode, 0);
    const std::vector<RecordedRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), before + 1);
    EXPECT_EQ(requests.back().target, prefix + path);
  }
}

// The checker asks for its document always from the management server,
// with the distribution server on too; the proxy leads there.
TEST_F(ResourceRoad, TheDocumentComesThroughTheProxyFromTheManagementServer) {
  test::HttpTestServerOptions options;
  options.proxy = true;
  options.proxyUser = "proxy-user";
  options.proxyPassword = "proxy-secret";
  test::HttpTestServer proxy(options);
  test::HttpTestServer distribution;
  const std::string path = DocumentPath(kDocumentPath);
  SetAgent("ProxyEnabled", Sz("yes"));
  // Named otherwise than the server: Wine's WinHTTP names only the path to a
  // proxy on the server's own host name, and the proxy could not hand it on.
  SetAgent("ProxyServerName", Sz("localhost:" + std::to_string(proxy.ProxyPort())));
  SetAgent("ProxyUserName", Sz("proxy-user"));
  SetAgent("ProxyPassword", Sz("cHJveHktc2VjcmV0"));  // proxy-secret in Base64
  SetAgent("ProxyByPass", Sz(""));
  SetAgent("EnableDistributionServer", Sz("yes"));
  SetServer("DistributionServerName", Sz("127.0.0.1"));
  SetServer("DistributionLastAccessName", Sz("127.0.0.1"));
  SetServer("DistributionServerPort", Sz(std::to_string(distribution.Port())));
  const test::CheckerRun run = Run();
  EXPECT_EQ(run.exitCode, 0) << run.run.err;

  EXPECT_TRUE(distribution.Requests().empty());
  const std::vector<RecordedRequest> proxied = proxy.Requests();
  ASSERT_FALSE(proxied.empty());
  EXPECT_TRUE(proxied.back().viaProxy);
  EXPECT_TRUE(proxied.back().HasHeader("Proxy-Authorization"));
  EXPECT_NE(proxied.back().target.find(path), std::string::npos) << proxied.back().target;
  // The proxy handed it on to the management server.
  const std::vector<RecordedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, path);
  EXPECT_TRUE(Logged("path and the error code is 404 \n"));
  EXPECT_FALSE(Logged("proxy-secret"));
}

TEST_F(ResourceRoad, AnIdentifierInTheRegistrySparesTheServer) {
  reg_ = WithValue(reg_, std::string(test::kAgentKey32) + "\\SystemDetails", "KVAgentResourceID", Sz("301"));
  EXPECT_EQ(Run().exitCode, 0);
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_TRUE(Logged("[INFO] The Agent Machine Resource Id is given by -> 301 \n"));
}

// The example machines with the checker's decision on each and the path of
// their document.
struct Image {
  std::string name;
  int decision;
  std::string documentPath;
};
const Image kImages[] = {
    {"default", 0, kDocumentPath},
    {"win10-antivirus", 15613, "/client-data/cust-0042/domains/workgroup/resources/desk-0117.xml"},
    {"amd-processor", 119, kDocumentPath},
};

// Whatever the server answers, or when nobody answers, the checker logs it,
// goes on and decides as it would without a server.
TEST_F(ResourceRoad, TheDecisionStandsWhateverTheServerAnswers) {
  struct Answer {
    std::string name;
    std::optional<std::string> document;  // nullopt: nothing at the path (404)
    std::string line;
  };
  const std::string loadError = "while loading resource id buffer to the memory : \n ";
  const Answer answers[] = {
      {"a document", Document("1234"), loadError},
      {"not XML", "<<< this is not XML", loadError + "<<< this is not XML \n"},
      {"no Agentparams rows", "<?xml version=\"1.0\"?>\n<Reply><AgentparamsList/></Reply>",
       "[ERROR] GetResourceIDFromServer :No rows found corresponding to the resource id in the resource id xml .\n"},
      {"a huge value", Document(std::string(2 << 20, '9')), loadError},
      {"an empty answer", "", loadError + " \n"},
      {"no document", std::nullopt, "path and the error code is 404 \n"},
      {"nobody listening", std::nullopt, "path and the error code is 12029 \n"},
  };
  for (const Image& image : kImages) {
    // The images differ under Wine only in what Wine does not serve.
    if (test::WineMode() && image.name != "default") continue;
    UseImage(image.name);
    const std::string path = DocumentPath(image.documentPath);
    for (const Answer& answer : answers) {
      SCOPED_TRACE(image.name + ", " + answer.name);
      test::HttpTestServer answering;
      UseImage(image.name);
      SetPort(answering.Port());
      if (answer.name == "nobody listening") SetAddresses({kRefused, kRefused, "", kRefused, kRefused});
      if (answer.document) answering.Put(path, *answer.document);
      const test::CheckerRun run = Run();
      EXPECT_EQ(run.exitCode, image.decision) << run.run.err;
      EXPECT_TRUE(EndsWithDecisionLine(run.run.out)) << run.run.out;
      EXPECT_TRUE(Logged(answer.line)) << answer.line;
      EXPECT_EQ(Registry().find("KVAgentResourceID"), std::string::npos);
    }
  }
}

TEST_F(ResourceRoad, TheDecisionStandsWhenTheServerHangs) {
  test::SilentListener silent;
  for (const Image& image : kImages) {
    if (test::WineMode() && image.name != "default") continue;
    SCOPED_TRACE(image.name);
    UseImage(image.name);
    // Two addresses, each given up after half a second.
    SetAgent("HTTPRequestTimeout", "dword:000001f4");
    SetPort(silent.Port());
    SetAddresses({"127.0.0.1", "127.0.0.1", "", "", ""});
    const test::CheckerRun run = Run();
    EXPECT_EQ(run.exitCode, image.decision) << run.run.err;
    EXPECT_TRUE(EndsWithDecisionLine(run.run.out)) << run.run.out;
    EXPECT_TRUE(Logged("path and the error code is 12002 \n"));
  }
}

}  // namespace
}  // namespace kv
