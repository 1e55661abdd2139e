// The agent's start-up: every registry setting read once, in a fixed order,
// into the process-wide settings. A missing value either has a default, is
// left null and logged, or stops start-up with 13; the texts of the log
// lines are read by support staff and stay as they are.

#include "startup/agent_parameters.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "agent/agent_settings.h"
#include "agent/error_texts.h"
#include "agent/machine_identity.h"
#include "agent/registry_helpers.h"
#include "agent/text_conversion.h"
#include "agent/text_operations.h"
#include "base/log_writer.h"
#include "platform/system.h"
#include "platform/system_info.h"
#include "platform/unicode.h"
#include "startup/agent_banner.h"
#include "startup/proxy_settings.h"
#include "startup/resource_id.h"

namespace kv {
namespace {

constexpr int kFailed = static_cast<int>(ERROR_INVALID_DATA);
// Without its own secure port a server listens this far above its plain one.
constexpr unsigned kSecurePortOffset = 363;
constexpr DWORD kMaxTransferRateKBps = 3072;
// The TEMP buffer holds 255 bytes with the terminator.
constexpr std::size_t kMaxTempDirLength = 254;

std::string AgentKey() { return Agent().gv_RegKey; }
std::string ServerInfoKey() { return Agent().gv_RegKey + "\\ServerInfo"; }

bool IsYes(const std::string& text) { return EqualsNoCase(std::string_view(text), std::string_view("yes")); }

// atoi/atol where long has 32 bits: blanks, a sign, digits; anything else
// ends the number, overflow is clamped.
int ToInt(const std::string& text) {
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// A value start-up can do without: its absence is logged and leaves it null.
void ReadLogged(const std::string& key, const char* name, std::optional<std::string>& setting, const char* absentLine) {
  setting = ReadAgentString(key, name);
  if (!setting) LogError("%s", absentLine);
}

// A value start-up cannot do without: its absence is logged; the caller stops.
std::optional<std::string> ReadRequired(const std::string& key, const char* name, const char* absentLine) {
  std::optional<std::string> value = ReadAgentString(key, name);
  if (!value) LogError("%s", absentLine);
  return value;
}

// A 4-byte value, or the default when it cannot be read.
DWORD ReadNumber(const std::string& key, const char* name, DWORD fallback) {
  DWORD value = fallback;
  return ReadDwordRegistryData(HKEY_LOCAL_MACHINE, key.c_str(), name, value) == ERROR_SUCCESS ? value : fallback;
}

// Secondary addresses this short are placeholders, not addresses.
void ClearPlaceholder(std::optional<std::string>& address, std::size_t maxPlaceholder) {
  if (address && address->size() <= maxPlaceholder) address.reset();
}

// The secure port; without one, the plain port + 363.
int SecurePort(const std::string& key, const char* name, int httpPort) {
  const std::optional<std::string> value = ReadAgentString(key, name);
  if (value) return ToInt(*value);
  return static_cast<int>(static_cast<unsigned>(httpPort) + kSecurePortOffset);
}

// A protocol name shorter than "http" is no protocol.
std::string ProtocolOf(const std::optional<std::string>& value) {
  return value && value->size() >= 4 ? *value : std::string("http");
}

int PortOf(const std::string& protocol, int httpPort, int httpsPort) {
  return EqualsNoCase(std::string_view(protocol), std::string_view("http")) ? httpPort : httpsPort;
}

void WriteTransferRate(DWORD rate) {
  char text[16];
  std::snprintf(text, sizeof text, "%u", rate);
  NoteFailure(writeValue(HKEY_LOCAL_MACHINE, AgentKey().c_str(), "DataTransferRate_KBps", text, REG_SZ),
              "write back the transfer rate");
}

// "client-data/<customer id>/domains/<namespace>", both in lower case.
std::string ClientDataPath(const std::optional<std::string>& customerId, const std::optional<std::string>& nameSpace) {
  std::string customer = customerId.value_or("");
  // The customer id is lowered byte by byte, ASCII letters only.
  for (char& c : customer)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return "client-data/" + customer + "/domains/" + ToLowerUtf8(nameSpace.value_or("").c_str());
}

// A TEMP too long for its buffer is not cut short (a cut path names another
// directory): it is left empty, as the system leaves a buffer too small.
std::string TempDirectory() {
  std::string temp = GetEnvironmentVariable("TEMP").value_or("");
  return temp.size() <= kMaxTempDirLength ? temp : std::string();
}

// Requests go to the distribution server from here on; the ports stay.
void RouteThroughDistributionServer() {
  AgentSettings& agent = Agent();
  agent.gv_serverName = agent.gv_dsName;
  agent.gv_serverFlatName = agent.gv_dsName;
  agent.gv_serverIPAddress = agent.gv_dsIPAddress;
  if (agent.gv_dsSecIPAddress) agent.gv_serverSecIPAddress = agent.gv_dsSecIPAddress;
  agent.gv_lastAccessName = agent.gv_dsLastAccessName;
  agent.gv_proxyEnabled = "NO";
}

}  // namespace

std::optional<std::string> ReadAgentString(const std::string& keyPath, const char* valueName) {
  std::optional<std::string> value;
  // A value that could not be read whole counts as absent.
  if (ReadRegSZ(HKEY_LOCAL_MACHINE, keyPath.c_str(), valueName, value) != ERROR_SUCCESS) value.reset();
  return value;
}

int InitializeServerDetailsFromRegistry() {
  AgentSettings& agent = Agent();
  const std::string key = ServerInfoKey();
  agent.gv_serverName = ReadRequired(
      key, "KVServerName", "InitializeServerDetailsFromRegistry : Error while fetching server name from registry! \n");
  if (!agent.gv_serverName) return kFailed;
  ReadLogged(key, "KVServerInstalledTime", agent.gv_serverInstalledTime,
             "InitializeServerDetailsFromRegistry : Error while fetching server installed time from registry! \n");
  ReadLogged(key, "KVServerFlatName", agent.gv_serverFlatName,
             "InitializeServerDetailsFromRegistry : Error while fetching server name from registry! \n");
  ReadLogged(key, "KVServerIPAddress", agent.gv_serverIPAddress,
             "InitializeServerDetailsFromRegistry : Error while fetching server ipaddress from registry! \n");
  ReadLogged(key, "KVServerSecIPAddress", agent.gv_serverSecIPAddress,
             "InitializeServerDetailsFromRegistry : Error while fetching server Secondary ipaddress from registry! \n");
  ClearPlaceholder(agent.gv_serverSecIPAddress, 2);
  ReadLogged(key, "KVLastAccessName", agent.gv_lastAccessName,
             "InitializeServerDetailsFromRegistry : Error while fetching server name from registry! \n");
  const std::optional<std::string> port = ReadRequired(
      key, "KVServerPort", "InitializeServerDetailsFromRegistry : Error while fetching server port from registry! \n");
  if (!port) return kFailed;
  agent.gv_serverHttpPort = ToInt(*port);
  agent.gv_serverHttpsPort = SecurePort(key, "KVServerSecurePort", agent.gv_serverHttpPort);
  agent.gv_serverProtocol = ProtocolOf(ReadAgentString(key, "KVServerProtocol"));
  agent.gv_serverPort = PortOf(agent.gv_serverProtocol, agent.gv_serverHttpPort, agent.gv_serverHttpsPort);
  return 0;
}

int InitializeDSServerDetailsFromRegistry() {
  AgentSettings& agent = Agent();
  const std::string key = ServerInfoKey();
  LogDebug("InitializeDSServerDetailsFromRegistry : Reading reporting server regsirty entries\n");
  agent.gv_dsName = ReadRequired(
      key, "DistributionServerName",
      "InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server name from registry! \n");
  if (!agent.gv_dsName) return kFailed;
  ReadLogged(key, "DistributionServerFlatName", agent.gv_dsFlatName,
             "InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server flat name from "
             "registry! \n");
  ReadLogged(key, "DistributionLastAccessName", agent.gv_dsLastAccessName,
             "InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server last access name from "
             "registry! \n");
  const std::optional<std::string> port = ReadRequired(
      key, "DistributionServerPort",
      "InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server port from registry! \n");
  if (!port) return kFailed;
  agent.gv_dsHttpPort = ToInt(*port);
  agent.gv_dsHttpsPort = SecurePort(key, "DistributionServerSecurePort", agent.gv_dsHttpPort);
  ReadLogged(key, "DistributionServerIPAddress", agent.gv_dsIPAddress,
             "InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server ipaddress from "
             "registry! \n");
  ReadLogged(key, "DistributionServerSecIPAddress", agent.gv_dsSecIPAddress,
             "InitializeDSServerDetailsFromRegistry : Error while fetching Reporting secondary server ipaddress "
             "from registry! \n");
  ClearPlaceholder(agent.gv_dsSecIPAddress, 3);
  // The distribution server speaks the management server's protocol.
  NoteFailure(
      writeValue(HKEY_LOCAL_MACHINE, key.c_str(), "DistributionServerProtocol", agent.gv_serverProtocol.c_str(), REG_SZ),
      "record the distribution server's protocol");
  agent.gv_dsProtocol = ProtocolOf(ReadAgentString(key, "DistributionServerProtocol"));
  agent.gv_dsPort = PortOf(agent.gv_dsProtocol, agent.gv_dsHttpPort, agent.gv_dsHttpsPort);
  return 0;
}

int GetCustomerId(std::optional<std::string>& customerId) {
  customerId = ReadAgentString(AgentKey(), "CustomerId");
  if (customerId && !customerId->empty()) return 0;
  customerId.reset();
  LogError("GetCustomerId: error while retrieving customerid\n");
  return kFailed;
}

int GetHTTPRequestTimeout() {
  Agent().gv_httpRequestTimeout = ReadNumber(AgentKey(), "HTTPRequestTimeout", 60000);
  return 0;
}

int GetHTTPConnectionTimeout() {
  Agent().gv_httpConnectionTimeout = ReadNumber(AgentKey(), "HTTPConnectionTimeout", 30000);
  return 0;
}

int GetEnableRemoteOfficeMgmt() {
  Agent().gv_enableRemoteOfficeMgmt = ReadAgentString(AgentKey(), "EnableRemoteOfficeMgmt").value_or("NO");
  return 0;
}

int GetProxyEnabled() {
  Agent().gv_proxyEnabled = ReadAgentString(AgentKey(), "ProxyEnabled").value_or("NO");
  return 0;
}

int GetChecksumEnabled() {
  const std::optional<std::string> value = ReadAgentString(AgentKey(), "EnableChecksum");
  Agent().gv_checksumEnabled = !value || IsYes(*value) ? 1 : 0;
  return 0;
}

int GetDataTransferRate() {
  int& rate = Agent().gv_dataTransferRateKBps;
  const std::optional<std::string> value = ReadAgentString(AgentKey(), "DataTransferRate_KBps");
  if (!value) {
    rate = 0;
    WriteTransferRate(0);
    return 0;
  }
  if (value->empty()) {
    rate = 0;
    WriteTransferRate(0);
  } else {
    rate = ToInt(*value);
  }
  // Compared as unsigned: a negative rate is as out of range as a huge one.
  if (static_cast<DWORD>(rate) > kMaxTransferRateKBps) {
    rate = 0;
    WriteTransferRate(0);
  }
  return 0;
}

LONG GetEnableDSRoute() {
  AgentSettings& agent = Agent();
  const std::optional<std::string> value = ReadAgentString(AgentKey(), "EnableDSRoute");
  if (!value) {
    agent.gv_enableDSRoute = 0;
    return writeValue(HKEY_LOCAL_MACHINE, AgentKey().c_str(), "EnableDSRoute", "no", REG_SZ);
  }
  if (!value->empty()) agent.gv_enableDSRoute = IsYes(*value) ? 1 : 0;
  return 0;
}

int GetImagedComputer(DWORD& imaged) {
  imaged = ReadNumber(AgentKey(), "ImagedComputer", 0);
  return 0;
}

int InitializeAgentDetails() {
  AgentSettings& agent = Agent();
  const std::string key = AgentKey();
  agent.gv_agentVersion = ReadRequired(key, "KVAgentVersion",
                                       "InitializeAgentDetails : Error while fetching agent version from registry! \n");
  if (!agent.gv_agentVersion) return kFailed;
  const std::optional<std::string> serviceName = ReadRequired(
      key, "AgentServiceName", "InitializeAgentDetails : Error while fetching agent service name from registry! \n");
  if (!serviceName) return kFailed;
  agent.gv_agentServiceName = *serviceName;
  agent.gv_mspName =
      ReadRequired(key, "MSPName", "InitializeAgentDetails : Error while fetching msp name from registry! \n");
  if (!agent.gv_mspName) return kFailed;
  agent.gv_customerName = ReadRequired(key, "CustomerName",
                                       "InitializeAgentDetails : Error while fetching customer name from registry! \n");
  if (!agent.gv_customerName) return kFailed;
  if (GetCustomerId(agent.gv_customerId) != 0) {
    LogError("InitializeAgentDetails : Error while fetching customer Id from registry! \n");
    return kFailed;
  }
  const std::optional<std::string> productCode = ReadRequired(
      key, "KVProductCode", "InitializeAgentDetails : Error while fetching product Code from registry! \n");
  if (!productCode) return kFailed;
  agent.gv_kvProductCode = *productCode;
  const std::optional<std::string> installDir =
      ReadRequired(key, "KVAgentInstallDir",
                   "InitializeAgentDetails : Error while fetching agent install directory from registry! \n");
  if (!installDir) return kFailed;
  agent.gv_agentInstallDir = *installDir;

  ReadLogged(key, "RemoteOfficeName", agent.gv_remoteOfficeName,
             "InitializeAgentDetails : Error while fetching branch office Name from registry! \n");
  ReadLogged(key, "RemoteOfficeID", agent.gv_remoteOfficeId,
             "InitializeAgentDetails : Error while fetching branch office ID from registry! \n");
  GetEnableRemoteOfficeMgmt();
  GetHTTPRequestTimeout();
  GetHTTPConnectionTimeout();
  GetDataTransferRate();
  if (GetEnableDSRoute() != ERROR_SUCCESS)
    LogError("InitializeAgentDetails : Error while fetching GetEnableDSRoute from registry! \n");

  agent.gv_blockCrashedConfig = ReadNumber(key, "BlockCrashedConfig", 0);
  LogDebug("InitializeAgentDetails : Some configuration is crashed (if value is one) : %d \n",
           static_cast<int>(agent.gv_blockCrashedConfig));
  agent.gv_shutdownBlocked = ReadNumber(key, "ShutdownBlocked", 0);
  LogInfo("InitializeAgentDetails : BlockedShutdown value : %d \n", static_cast<int>(agent.gv_shutdownBlocked));

  agent.gv_clientDataPath = ClientDataPath(agent.gv_customerId, agent.gv_clientNamespace);
  // Without an identifier the agent still starts; the banner shows it missing.
  (void)GetResourceID(agent.gv_resourceId);
  GetChecksumEnabled();
  return 0;
}

int InitializeAgentParameters() {
  AgentSettings& agent = Agent();
  LogDebug("@@@@@@@ Inside InitializeAgentParameters Method @@@@@@@@ \n");
  agent.gv_IsWow64 = QueryWow64Process().value_or(false) ? 1 : 0;
  agent.gv_tempDir = TempDirectory();

  if (InitializeServerDetailsFromRegistry() != 0) {
    LogError("InitializeAgentParameters : Error while fetching Server details from registry! \n");
    return kFailed;
  }
  agent.gv_enableDistributionServer = ReadAgentString(AgentKey(), "EnableDistributionServer");
  if (!agent.gv_enableDistributionServer) {
    LogError("InitializeAgentParameters : Error while fetching Master Agent entry from registry! \n");
    return kFailed;
  }
  const bool distributionServer = IsYes(*agent.gv_enableDistributionServer);
  if (distributionServer) {
    if (InitializeDSServerDetailsFromRegistry() != 0) {
      LogError("InitializeAgentParameters : Error while fetching DS Server details from registry! \n");
      return kFailed;
    }
  } else {
    agent.gv_dsProtocol = agent.gv_serverProtocol;
    agent.gv_dsPort = agent.gv_serverPort;
  }
  if (InitializeLocalMachineDetails() != 0) {
    LogError("InitializeAgentParameters : Error while the local machine details ! \n");
    return kFailed;
  }
  GetProxyEnabled();
  if (IsYes(agent.gv_proxyEnabled)) ReadProxySettings();
  if (InitializeAgentDetails() != 0) {
    LogError("InitializeAgentParameters : Error while the Agent details ! \n");
    return kFailed;
  }

  LogAgentBanner();
  if (distributionServer) {
    LogDistributionServerBanner();
    if (agent.gv_enableDSRoute == 1) RouteThroughDistributionServer();
    LogInfo("Enable Distribution Server Route                       -> %d \n", agent.gv_enableDSRoute);
    LogInfo("%s", kBannerStarLine);
  }

  // A value that cannot be read leaves the computer not imaged.
  DWORD imaged = 0;
  (void)GetImagedComputer(imaged);
  if (imaged == 1) {
    LogInfo("InitializeAgentParameters : Computer is detected as imaged One .. \n");
    return AGENT_COMPUTER_IMAGED;
  }
  LogDebug("InitializeAgentParameters : Computer is not an imaged one .. \n");
  LogDebug("@@@@@@@@ End Of InitializeAgentParameters Method @@@@@@@@ \n");
  return 0;
}

LONG writeLastAccessName(const char* name) {
  return writeValue(HKEY_LOCAL_MACHINE, ServerInfoKey().c_str(), "KVLastAccessName", name, REG_SZ);
}

LONG writeDSLastAccessName(const char* name) {
  return writeValue(HKEY_LOCAL_MACHINE, ServerInfoKey().c_str(), "DistributionLastAccessName", name, REG_SZ);
}

}  // namespace kv
