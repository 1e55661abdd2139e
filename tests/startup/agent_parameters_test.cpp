// The agent's start-up settings against an emulated 64-bit machine on which
// the agent runs as a 32-bit process, so its keys live under WOW6432Node.

#include "startup/agent_parameters.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "agent/agent_settings.h"
#include "agent/registry_helpers.h"
#include "tests/support/test_log.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

constexpr const char* kAgentKey = "Software\\Tarnwick\\Kelvane\\KVAgent";
constexpr const char* kServerInfoKey = "Software\\Tarnwick\\Kelvane\\KVAgent\\ServerInfo";

constexpr const char* kMachineJson = R"({
  "os": {"architecture": 9, "wow64": true},
  "environment": {"TEMP": "C:\\Windows\\Temp"},
  "identity": {"computer_name": "WEB01", "join_status": "domain", "join_name": "CORP",
               "domain_controller": {"name": "\\\\DC01"}},
  "adapters": [{"index": 7, "mac": "00:15:5d:01:02:03",
                "addresses": [{"ip": "10.0.0.15", "mask": "255.255.255.0", "context": 1}]}]
})";

// A .reg string value.
std::string Sz(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

class AgentParameters : public testing::Test {
 protected:
  void SetUp() override {
    ResetAgentSettings();
    agent_ = {{"KVAgentInstallDir", Sz("C:\\Kelvane\\")},
              {"KVAgentVersion", Sz("11.4.2.1180")},
              {"AgentServiceName", Sz("KVAgent")},
              {"MSPName", Sz("Northwind IT")},
              {"CustomerName", Sz("Contoso")},
              {"CustomerId", Sz("CUST-42")},
              {"KVProductCode", Sz("KVPE")},
              {"EnableDistributionServer", Sz("no")},
              {"EnableDSRoute", Sz("no")},
              {"DataTransferRate_KBps", Sz("2048")},
              {"ProxyEnabled", Sz("no")},
              {"RemoteOfficeName", Sz("Head Office")}};
    server_ = {{"KVServerName", Sz("kv.example")},    {"KVServerFlatName", Sz("KV")},
               {"KVServerIPAddress", Sz("10.0.0.5")}, {"KVLastAccessName", Sz("kv.example")},
               {"KVServerPort", Sz("8020")},          {"KVServerProtocol", Sz("http")}};
    system_ = {{"KVAgentResourceID", Sz("301")}};
    machineJson_ = kMachineJson;
  }
  void TearDown() override {
    log_.reset();
    ResetAgentSettings();
  }

  // Writes the image and opens a fresh log on it.
  void Apply() {
    std::string reg;
    const auto key = [&reg](const std::string& suffix, const std::map<std::string, std::string>& values) {
      reg += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tarnwick\\Kelvane\\KVAgent" + suffix + "]\n";
      for (const auto& [name, value] : values) reg += Sz(name) + "=" + value + "\n";
      reg += "\n";
    };
    key("", agent_);
    key("\\ServerInfo", server_);
    key("\\SystemDetails", system_);
    machine_.WriteRegistry(reg);
    machine_.WriteMachineJson(machineJson_);
    machine_.Use();
    log_.reset();
    log_ = std::make_unique<test::TestLog>(4);
    ResetAgentSettings();
  }

  bool Logged(const std::string& text) const { return log_->Contains(text); }
  static std::optional<std::string> Stored(const char* key, const char* name) {
    std::optional<std::string> value;
    if (ReadRegSZ(HKEY_LOCAL_MACHINE, key, name, value) != ERROR_SUCCESS) value.reset();
    return value;
  }

  std::map<std::string, std::string> agent_, server_, system_;
  std::string machineJson_;
  test::TempMachine machine_;
  std::unique_ptr<test::TestLog> log_;
};

TEST_F(AgentParameters, FillsEverySettingAndEndsWithZero) {
  Apply();
  ASSERT_EQ(InitializeAgentParameters(), 0);
  const AgentSettings& a = Agent();
  EXPECT_EQ(a.gv_IsWow64, 1);
  EXPECT_EQ(a.gv_tempDir, "C:\\Windows\\Temp");
  EXPECT_EQ(a.gv_serverName, "kv.example");
  EXPECT_EQ(a.gv_serverInstalledTime, std::nullopt);
  EXPECT_EQ(a.gv_serverPort, 8020);
  EXPECT_EQ(a.gv_dsProtocol, "http");
  EXPECT_EQ(a.gv_dsPort, 8020);
  EXPECT_EQ(a.gv_agentServiceName, "KVAgent");
  EXPECT_EQ(a.gv_kvProductCode, "KVPE");
  EXPECT_EQ(a.gv_agentInstallDir, "C:\\Kelvane\\");
  EXPECT_EQ(a.gv_remoteOfficeId, std::nullopt);
  EXPECT_EQ(a.gv_enableRemoteOfficeMgmt, "NO");
  EXPECT_EQ(a.gv_httpRequestTimeout, 60000u);
  EXPECT_EQ(a.gv_httpConnectionTimeout, 30000u);
  EXPECT_EQ(a.gv_dataTransferRateKBps, 2048);
  EXPECT_EQ(a.gv_checksumEnabled, 1);
  EXPECT_EQ(a.gv_clientNamespace, "CORP");
  EXPECT_EQ(a.gv_clientDataPath, "client-data/cust-42/domains/corp");
  EXPECT_EQ(a.gv_resourceId, "301");
  EXPECT_EQ(a.gv_logonServer, "DC01");
  EXPECT_EQ(Stored(kAgentKey, "DataTransferRate_KBps"), "2048");  // in range: not rewritten

  EXPECT_TRUE(Logged("[DEBUG] @@@@@@@ Inside InitializeAgentParameters Method @@@@@@@@ \n"));
  EXPECT_TRUE(
      Logged("[ERROR] InitializeServerDetailsFromRegistry : Error while fetching server installed time from "
             "registry! \n"));
  EXPECT_TRUE(Logged("[ERROR] InitializeAgentDetails : Error while fetching branch office ID from registry! \n"));
  EXPECT_TRUE(Logged("[INFO] Kelvane Server Secondary IPAddress -> (null) \n"));
  EXPECT_TRUE(Logged("[INFO] Kelvane Server Data Path           -> client-data/cust-42/domains/corp \n"));
  EXPECT_TRUE(Logged("[INFO] Agent Data Transfer Rate in KBps\t\t   -> 2048 \n"));
  EXPECT_FALSE(Logged("Enable Distribution Server Route"));
  EXPECT_TRUE(Logged("[DEBUG] InitializeAgentParameters : Computer is not an imaged one .. \n"));
  EXPECT_TRUE(Logged("[DEBUG] @@@@@@@@ End Of InitializeAgentParameters Method @@@@@@@@ \n"));
}

TEST_F(AgentParameters, PortFollowsTheProtocol) {
  struct Case {
    std::optional<std::string> protocol, securePort;
    std::string port;
    std::string wantProtocol;
    int wantHttps, wantPort;
  };
  const Case cases[] = {
      {"https", std::nullopt, "8020", "https", 8383, 8383},  // secure port derived: +363
      {"https", "9443", "8020", "https", 9443, 9443},
      {"ftp", std::nullopt, "8020", "http", 8383, 8020},  // shorter than 4: http
      {std::nullopt, std::nullopt, "8020", "http", 8383, 8020},
      {"HTTP", std::nullopt, "8020", "HTTP", 8383, 8020},  // compared without regard to case
      {"https", std::nullopt, "abc", "https", 363, 363},   // atoi of a non-number
      {"https", "x", " 80x", "https", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.protocol.value_or("(absent)") + " " + c.port);
    server_.erase("KVServerProtocol");
    server_.erase("KVServerSecurePort");
    if (c.protocol) server_["KVServerProtocol"] = Sz(*c.protocol);
    if (c.securePort) server_["KVServerSecurePort"] = Sz(*c.securePort);
    server_["KVServerPort"] = Sz(c.port);
    Apply();
    ASSERT_EQ(InitializeServerDetailsFromRegistry(), 0);
    EXPECT_EQ(Agent().gv_serverProtocol, c.wantProtocol);
    EXPECT_EQ(Agent().gv_serverHttpsPort, c.wantHttps);
    EXPECT_EQ(Agent().gv_serverPort, c.wantPort);
  }
}

TEST_F(AgentParameters, WrongTypesAndOddValuesNeverCrash) {
  // A 4-byte value read as a string gives its raw bytes; a string read as a
  // 4-byte value is too long and takes the default.
  server_["KVServerPort"] = "dword:00001f54";
  server_["KVServerProtocol"] = "dword:00000001";
  server_["KVServerName"] = Sz(std::string(20000, 'n'));
  agent_["HTTPRequestTimeout"] = Sz("30000");
  agent_["HTTPConnectionTimeout"] = "dword:00000bb8";
  agent_["EnableChecksum"] = "dword:00000001";
  Apply();
  ASSERT_EQ(InitializeAgentParameters(), 0);
  EXPECT_EQ(Agent().gv_serverName->size(), 20000u);
  EXPECT_EQ(Agent().gv_serverHttpPort, 0);  // "T\x1f" is no number
  EXPECT_EQ(Agent().gv_serverProtocol, "http");
  EXPECT_EQ(Agent().gv_httpRequestTimeout, 60000u);
  EXPECT_EQ(Agent().gv_httpConnectionTimeout, 3000u);
  EXPECT_EQ(Agent().gv_checksumEnabled, 0);
  EXPECT_TRUE(Logged("[ERROR] ReadDwordRegistryData: Error while reading DWORD value of HTTPRequestTimeout : 234 \n"));
}

TEST_F(AgentParameters, ShortSecondaryAddressesAreAbsent) {
  agent_["EnableDistributionServer"] = Sz("YES");
  server_["DistributionServerName"] = Sz("ds.example");
  server_["DistributionServerPort"] = Sz("9020");
  const std::pair<std::string, std::string> cases[] = {{"ab", "abc"}, {"abc", "abcd"}};
  for (const auto& [serverSecondary, dsSecondary] : cases) {
    server_["KVServerSecIPAddress"] = Sz(serverSecondary);
    server_["DistributionServerSecIPAddress"] = Sz(dsSecondary);
    Apply();
    ASSERT_EQ(InitializeAgentParameters(), 0);
    const bool longer = serverSecondary.size() == 3;
    EXPECT_EQ(Agent().gv_serverSecIPAddress, longer ? std::optional<std::string>("abc") : std::nullopt);
    EXPECT_EQ(Agent().gv_dsSecIPAddress, longer ? std::optional<std::string>("abcd") : std::nullopt);
    // Cleared placeholders are not reported as missing.
    EXPECT_FALSE(Logged("Secondary ipaddress"));
    EXPECT_FALSE(Logged("secondary server ipaddress"));
  }
}

TEST_F(AgentParameters, TransferRateRuleWritesZeroBack) {
  const std::pair<std::optional<std::string>, int> cases[] = {{"5000", 0}, {"3072", 3072},    {"3073", 0}, {"-5", 0},
                                                              {"", 0},     {std::nullopt, 0}, {"fast", 0}};
  for (const auto& [stored, rate] : cases) {
    SCOPED_TRACE(stored.value_or("(absent)"));
    agent_.erase("DataTransferRate_KBps");
    if (stored) agent_["DataTransferRate_KBps"] = Sz(*stored);
    Apply();
    ASSERT_EQ(GetDataTransferRate(), 0);
    EXPECT_EQ(Agent().gv_dataTransferRateKBps, rate);
    // Out of range, empty or absent: "0" is stored; a value that reads as 0 stays.
    const bool rewritten = !stored || stored->empty() || (rate == 0 && *stored != "fast");
    EXPECT_EQ(Stored(kAgentKey, "DataTransferRate_KBps"), rewritten ? std::optional<std::string>("0") : stored);
  }
}

TEST_F(AgentParameters, DistributionRouteRule) {
  const std::pair<std::optional<std::string>, int> cases[] = {
      {std::nullopt, 0}, {"YES", 1}, {"yes", 1}, {"maybe", 0}, {"", 1}};
  for (const auto& [stored, route] : cases) {
    SCOPED_TRACE(stored.value_or("(absent)"));
    agent_.erase("EnableDSRoute");
    if (stored) agent_["EnableDSRoute"] = Sz(*stored);
    Apply();
    Agent().gv_enableDSRoute = 1;  // an empty value leaves the setting as it is
    EXPECT_EQ(GetEnableDSRoute(), 0);
    EXPECT_EQ(Agent().gv_enableDSRoute, route);
    EXPECT_EQ(Stored(kAgentKey, "EnableDSRoute"), stored ? stored : std::optional<std::string>("no"));
  }
}

TEST_F(AgentParameters, DistributionServerRouteAfterTheBanner) {
  agent_["EnableDistributionServer"] = Sz("yes");
  agent_["EnableDSRoute"] = Sz("yes");
  agent_["ProxyEnabled"] = Sz("yes");
  server_["KVServerProtocol"] = Sz("https");
  server_["KVServerSecIPAddress"] = Sz("10.0.0.6");
  server_["DistributionServerName"] = Sz("ds.example");
  server_["DistributionServerIPAddress"] = Sz("10.1.0.5");
  server_["DistributionLastAccessName"] = Sz("ds-last");
  server_["DistributionServerPort"] = Sz("9020");
  server_["DistributionServerProtocol"] = Sz("http");  // always replaced by the server's protocol
  Apply();
  ASSERT_EQ(InitializeAgentParameters(), 0);
  const AgentSettings& a = Agent();
  EXPECT_EQ(Stored(kServerInfoKey, "DistributionServerProtocol"), "https");
  EXPECT_EQ(a.gv_dsProtocol, "https");
  EXPECT_EQ(a.gv_dsHttpsPort, 9383);
  EXPECT_EQ(a.gv_dsPort, 9383);
  // The banner showed the management server; afterwards requests go to the
  // distribution server on the management server's port, without proxy.
  EXPECT_TRUE(Logged("[INFO] Kelvane Server Name                -> kv.example \n"));
  EXPECT_EQ(a.gv_serverName, "ds.example");
  EXPECT_EQ(a.gv_serverFlatName, "ds.example");
  EXPECT_EQ(a.gv_serverIPAddress, "10.1.0.5");
  EXPECT_EQ(a.gv_serverSecIPAddress, "10.0.0.6");  // the distribution server has none
  EXPECT_EQ(a.gv_lastAccessName, "ds-last");
  EXPECT_EQ(a.gv_proxyEnabled, "NO");
  EXPECT_EQ(a.gv_serverPort, 8383);
  EXPECT_TRUE(Logged("[INFO] KV Distribution Server  Port      \t\t\t-> 9383 \n"));
  EXPECT_TRUE(Logged("[INFO] KV Distribution Server  Sec IPAddress         \t\t-> (null) \n"));
  EXPECT_TRUE(Logged("[INFO] Remote Office ID                          -> (null) \n"));
  const std::string star = "****************************************************************** \n";
  EXPECT_TRUE(Logged("[INFO] " + star));
  EXPECT_TRUE(Logged("[INFO] Enable Distribution Server Route                       -> 1 \n"));
}

TEST_F(AgentParameters, FatalAbsencesStopWith13) {
  struct Case {
    std::map<std::string, std::string>* values;
    const char* name;
    const char* line;
  };
  agent_["EnableDistributionServer"] = Sz("yes");
  server_["DistributionServerName"] = Sz("ds.example");
  server_["DistributionServerPort"] = Sz("9020");
  const Case cases[] = {
      {&server_, "KVServerName",
       "[ERROR] InitializeAgentParameters : Error while fetching Server details from registry! \n"},
      {&server_, "KVServerPort",
       "[ERROR] InitializeServerDetailsFromRegistry : Error while fetching server port from registry! \n"},
      {&agent_, "EnableDistributionServer",
       "[ERROR] InitializeAgentParameters : Error while fetching Master Agent entry from registry! \n"},
      {&server_, "DistributionServerPort",
       "[ERROR] InitializeAgentParameters : Error while fetching DS Server details from registry! \n"},
      {&agent_, "MSPName", "[ERROR] InitializeAgentParameters : Error while the Agent details ! \n"},
      {&agent_, "KVAgentInstallDir",
       "[ERROR] InitializeAgentDetails : Error while fetching agent install directory from registry! \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string saved = (*c.values)[c.name];
    c.values->erase(c.name);
    Apply();
    EXPECT_EQ(InitializeAgentParameters(), 13);
    EXPECT_TRUE(Logged(c.line));
    EXPECT_FALSE(Logged("Kelvane Server Name"));  // no banner
    (*c.values)[c.name] = saved;
  }
}

TEST_F(AgentParameters, MissingMachineIdentityStopsWith13) {
  machineJson_ = R"({"os":{"architecture":9,"wow64":true}})";
  Apply();
  EXPECT_EQ(InitializeAgentParameters(), 13);
  EXPECT_TRUE(Logged("[ERROR] InitializeAgentParameters : Error while the local machine details ! \n"));
  EXPECT_EQ(Agent().gv_agentVersion, std::nullopt);  // later settings keep their initial values
  EXPECT_EQ(Agent().gv_kvProductCode, "KVEE");
}

TEST_F(AgentParameters, EmptyCustomerIdFails) {
  for (const bool present : {true, false}) {
    agent_.erase("CustomerId");
    if (present) agent_["CustomerId"] = Sz("");
    Apply();
    EXPECT_EQ(InitializeAgentDetails(), 13);
    EXPECT_EQ(Agent().gv_customerId, std::nullopt);
    EXPECT_TRUE(Logged("[ERROR] GetCustomerId: error while retrieving customerid\n"));
    EXPECT_TRUE(Logged("[ERROR] InitializeAgentDetails : Error while fetching customer Id from registry! \n"));
  }
}

TEST_F(AgentParameters, ImagedComputer) {
  for (const char* imaged : {"dword:00000001", "dword:00000002", "\"1\""}) {
    SCOPED_TRACE(imaged);
    agent_["ImagedComputer"] = imaged;
    Apply();
    const bool isImaged = std::string(imaged) == "dword:00000001";
    EXPECT_EQ(InitializeAgentParameters(), isImaged ? 10047 : 0);
    EXPECT_TRUE(Logged("[INFO] Agent Checksum Enabled\t\t               -> 1 \n"));  // the banner came first
    EXPECT_EQ(Logged("[INFO] InitializeAgentParameters : Computer is detected as imaged One .. \n"), isImaged);
  }
}

TEST_F(AgentParameters, ProxyPasswordIsDecodedAndNeverLogged) {
  agent_["ProxyEnabled"] = Sz("yes");
  agent_["ProxyServerName"] = Sz("proxy.example:3128");
  struct Case {
    std::optional<std::string> stored;
    std::string password;
    const char* storedShown;
  };
  // "c2VjcmV0IQ==" is "secret!"
  const Case cases[] = {{"  c2VjcmV0IQ== ", "secret!", "********"},
                        {"c2VjcmV0IQ=", "", "********"},  // not a whole group
                        {"c2Vj*mV0", "", "********"},     // outside the alphabet
                        {"", "", ""},
                        {std::nullopt, "", "(null)"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored.value_or("(absent)"));
    agent_.erase("ProxyPassword");
    if (c.stored) agent_["ProxyPassword"] = Sz(*c.stored);
    Apply();
    ASSERT_EQ(InitializeAgentParameters(), 0);
    EXPECT_EQ(Agent().gv_proxyPassword, c.password);
    EXPECT_EQ(Agent().gv_proxyUserName, std::nullopt);
    EXPECT_EQ(Agent().gv_proxyByPass, std::nullopt);
    const std::string shown = c.storedShown;
    EXPECT_TRUE(Logged("[DEBUG] Password from registry: " + shown + "\n"));
    EXPECT_TRUE(Logged("[DEBUG] Encrypted password is: " + shown + "\n"));
    EXPECT_TRUE(Logged(std::string("[DEBUG] Decrypted password is: ") + (c.password.empty() ? "" : "********") + "\n"));
    EXPECT_FALSE(Logged("secret"));
    EXPECT_FALSE(Logged("c2VjcmV0"));
    EXPECT_TRUE(Logged("[INFO] *********************************************************** \n"));
    EXPECT_TRUE(Logged("[INFO] Proxy Server Name -> proxy.example:3128 \n"));
    EXPECT_TRUE(Logged("[INFO] Proxy UserName    -> (null) \n"));
    EXPECT_TRUE(Logged("[INFO] Proxy ByPass List -> (null) \n"));
    EXPECT_TRUE(Logged("[DEBUG] Cryptographic client Ok\r\n"));
  }
}

TEST_F(AgentParameters, CryptographicClientOutcomeIsOnlyLogged) {
  agent_["ProxyEnabled"] = Sz("yes");
  agent_["ProxyPassword"] = Sz("YWJj");
  const std::pair<const char*, const char*> cases[] = {
      {R"("crypto": {"container": false, "keys": []})", "[DEBUG] Cryptographic client Ok\r\n"},
      {R"("crypto": {"keys": ["signature"]})", "[DEBUG] Cryptographic client Ok\r\n"},
      {R"("crypto": {"error": 2148073495})", "[DEBUG] Cryptographic client error\r\n"}};
  for (const auto& [crypto, line] : cases) {
    SCOPED_TRACE(crypto);
    machineJson_ = std::string(kMachineJson);
    machineJson_.insert(machineJson_.find('{') + 1, std::string(crypto) + ",");
    Apply();
    ASSERT_EQ(InitializeAgentParameters(), 0);
    EXPECT_TRUE(Logged(line));
    EXPECT_EQ(Agent().gv_proxyPassword, "abc");
  }
}

TEST_F(AgentParameters, TempDirectoryFitsItsBuffer) {
  for (const std::size_t length : {254u, 255u}) {
    const std::string temp = "C:\\" + std::string(length - 3, 't');
    machineJson_ = std::string(kMachineJson);
    const std::size_t at = machineJson_.find("C:\\\\Windows\\\\Temp");
    machineJson_.replace(at, std::string("C:\\\\Windows\\\\Temp").size(), "C:\\\\" + std::string(length - 3, 't'));
    Apply();
    ASSERT_EQ(InitializeAgentParameters(), 0);
    EXPECT_EQ(Agent().gv_tempDir, length == 254 ? temp : "");
  }
}

TEST_F(AgentParameters, LastAccessNamesAreStoredUnderServerInfo) {
  Apply();
  EXPECT_EQ(writeLastAccessName("kv2.example"), 0);
  EXPECT_EQ(writeDSLastAccessName("ds2.example"), 0);
  EXPECT_EQ(Stored(kServerInfoKey, "KVLastAccessName"), "kv2.example");
  EXPECT_EQ(Stored(kServerInfoKey, "DistributionLastAccessName"), "ds2.example");
  const std::string reg = machine_.ReadFile("registry.reg");
  EXPECT_NE(reg.find("WOW6432Node\\Tarnwick\\Kelvane\\KVAgent\\ServerInfo]"), std::string::npos);
}

}  // namespace
}  // namespace kv
