#include "tests/transfer/transfer_fixture.h"

#include <chrono>
#include <future>

#include "agent/agent_settings.h"
#include "agent/registry_helpers.h"
#include "agent/registry_key_handle.h"
#include "platform/unicode.h"
#include "tests/support/agent_image.h"
#include "transfer/transfer_state.h"

namespace kv::test {

TransferTest::TransferTest(HttpTestServerOptions serverOptions) : server(std::move(serverOptions)) {
  machine.WriteRegistry(AgentKeyBlock() + RegKeyBlock(std::string(kAgentKey32) + "\\Settings"));
  machine.MakeDirectory("drive_c/Windows/Temp");
  machine.MakeDirectory(kImageLogs);
  DescribeMachine();
  ResetAgentSettings();
  AgentSettings& agent = Agent();
  agent.gv_agentInstallDir = kInstallDir;
  agent.gv_tempDir = "C:\\Windows\\Temp";
  agent.gv_IsWow64 = 1;
  agent.gv_httpRequestTimeout = 10000;
  ResetTransferState();
  Transfer().sleep = [this](DWORD ms) { pauses.push_back(ms); };
}

TransferTest::~TransferTest() { ResetTransferState(); }

void TransferTest::DescribeMachine(const std::string& members) {
  machine.WriteMachineJson("{" + members + R"("os":{"major":10,"minor":0,"platform_id":2,"architecture":9,"wow64":true},)"
                           R"("environment":{"TEMP":"C:\\Windows\\Temp"}})");
  machine.Use();
}

ConnectionParameters TransferTest::To(const std::string& path) const {
  ConnectionParameters params;
  params.protocol = "http";
  params.serverName = u"127.0.0.1";
  params.serverPort = static_cast<int>(server.Port());
  params.objectPath = Utf8ToUtf16(path);
  return params;
}

void TransferTest::SetDownloadMode(DWORD mode) const {
  RegistryKeyHandle key;
  ASSERT_EQ(key.openKey(HKEY_LOCAL_MACHINE, (Agent().gv_RegKey + "\\Settings").c_str(), KEY_ALL_ACCESS), 0);
  ASSERT_EQ(key.setDword("DownloadMode", mode), 0);
}

std::optional<std::string> TransferTest::MetaText(const std::string& subkey, const char* name) const {
  RegistryKeyHandle key;
  if (key.openKey(HKEY_LOCAL_MACHINE, (kMetadataKey + subkey).c_str(), KEY_READ) != ERROR_SUCCESS) return std::nullopt;
  char buffer[512] = {};
  DWORD size = sizeof buffer - 1;
  if (key.queryString(name, buffer, size) != ERROR_SUCCESS) return std::nullopt;
  return std::string(buffer);
}

std::optional<DWORD> TransferTest::MetaNumber(const std::string& subkey, const char* name) const {
  RegistryKeyHandle key;
  if (key.openKey(HKEY_LOCAL_MACHINE, (kMetadataKey + subkey).c_str(), KEY_READ) != ERROR_SUCCESS) return std::nullopt;
  DWORD value = 0;
  if (key.queryDword(name, value) != ERROR_SUCCESS) return std::nullopt;
  return value;
}

std::vector<RecordedRequest> TransferTest::RequestsFor(const std::string& path) const {
  std::vector<RecordedRequest> found;
  for (const RecordedRequest& request : server.Requests()) {
    if (request.target.substr(0, request.target.find('?')) == path) found.push_back(request);
  }
  return found;
}

DWORD TransferTest::WithinLimit(const std::function<DWORD()>& transfer, int seconds) {
  auto running = std::async(std::launch::async, transfer);
  if (running.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
    ADD_FAILURE() << "the transfer was still running after " << seconds << " s";
    server.Stop();
  }
  return running.get();
}

}  // namespace kv::test
