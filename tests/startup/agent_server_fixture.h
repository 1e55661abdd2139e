#pragma once
// An agent on an emulated 64-bit machine (its keys under WOW6432Node) whose
// settings name the test server: its management server answers at
// 127.0.0.1, the distribution server is off, the proxy too. Addresses that
// fail quickly: kUnresolved (12007), kRefused (12029: nothing listens there).

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "agent/agent_settings.h"
#include "agent/registry_helpers.h"
#include "tests/servers/http_test_server.h"
#include "tests/support/agent_image.h"
#include "tests/support/test_log.h"

namespace kv::test {

inline constexpr const char* kUnresolved = "no-such-host.invalid";
inline constexpr const char* kRefused = "127.0.0.2";
inline constexpr const char* kServerInfoKey = "Software\\Tarnwick\\Kelvane\\KVAgent\\ServerInfo";
inline constexpr const char* kSystemDetailsKey = "Software\\Tarnwick\\Kelvane\\KVAgent\\SystemDetails";

class AgentServerTest : public ::testing::Test {
 protected:
  explicit AgentServerTest(HttpTestServerOptions options = {}) : server(std::move(options)) {
    ResetAgentSettings();
    machine.WriteMachineJson(
        R"({"os":{"architecture":9,"wow64":true},"environment":{"TEMP":"C:\\Windows\\Temp"},"services":["KVAgent"]})");
    machine.WriteRegistry(RegKeyBlock(kAgentKey32));
    machine.MakeDirectory("drive_c/Windows/Temp");
    machine.Use();
    AgentSettings& agent = Agent();
    agent.gv_IsWow64 = 1;
    agent.gv_tempDir = "C:\\Windows\\Temp";
    agent.gv_agentServiceName = "KVAgent";
    agent.gv_enableDistributionServer = "no";
    agent.gv_serverPort = static_cast<int>(server.Port());
    agent.gv_dsPort = static_cast<int>(server.Port());
    // Addresses only the test names are tried.
    SetServerAddresses({"127.0.0.1", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  }
  ~AgentServerTest() override { ResetAgentSettings(); }

  // Last access name, IP address, secondary IP address, server name, flat name.
  using Addresses = std::vector<std::optional<std::string>>;
  static void SetServerAddresses(const Addresses& a) {
    AgentSettings& agent = Agent();
    Assign(a, {&agent.gv_lastAccessName, &agent.gv_serverIPAddress, &agent.gv_serverSecIPAddress, &agent.gv_serverName,
               &agent.gv_serverFlatName});
  }
  static void SetDistributionAddresses(const Addresses& a) {
    AgentSettings& agent = Agent();
    Assign(a, {&agent.gv_dsLastAccessName, &agent.gv_dsIPAddress, &agent.gv_dsSecIPAddress, &agent.gv_dsName,
               &agent.gv_dsFlatName});
  }
  static void Assign(const Addresses& a, const std::vector<std::optional<std::string>*>& settings) {
    for (std::size_t i = 0; i < settings.size(); ++i) *settings[i] = a.at(i);
  }

  static std::optional<std::string> Stored(const char* key, const char* name) {
    std::optional<std::string> value;
    if (ReadRegSZ(HKEY_LOCAL_MACHINE, key, name, value) != ERROR_SUCCESS) value.reset();
    return value;
  }

  // The host of each request the server received, in order.
  std::vector<std::string> Hosts() const {
    std::vector<std::string> hosts;
    for (const RecordedRequest& request : server.Requests()) {
      const std::string host = request.Header("Host");
      hosts.push_back(host.substr(0, host.rfind(':')));
    }
    return hosts;
  }

  bool Logged(const std::string& text) const { return log.Contains(text); }

  TempMachine machine;
  HttpTestServer server;
  TestLog log{4};
};

}  // namespace kv::test
