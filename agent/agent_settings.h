#pragma once
// The agent's process-wide settings, filled from the registry at start-up and
// read directly by the rest of the agent. Each keeps its name from the
// agent's configuration ("gv_" prefix) and starts with the value other parts
// see when start-up stops before reaching it. A string that may be null is
// an optional (nullopt = null).

#include <optional>
#include <string>

#include "platform/win_types.h"

namespace kv {

struct AgentSettings {
  // The agent's key under HKEY_LOCAL_MACHINE.
  std::string gv_RegKey = "Software\\Tarnwick\\Kelvane\\KVAgent";
  // "KVAgentInstallDir"; empty until read. Ends with a backslash.
  std::string gv_agentInstallDir;
  // 1 when the process is a 32-bit process on 64-bit Windows.
  int gv_IsWow64 = 0;
  // "KVEventEnabled", read with the log's set-up.
  DWORD gv_eventEnabled = 1;
  // "AgentServiceName": the service notified of agent events.
  std::string gv_agentServiceName;

  // ---- the management server ("ServerInfo") ----
  std::optional<std::string> gv_serverName;  // host name used for requests
  std::optional<std::string> gv_serverInstalledTime;
  std::optional<std::string> gv_serverFlatName;
  std::optional<std::string> gv_serverIPAddress;
  std::optional<std::string> gv_serverSecIPAddress;
  std::optional<std::string> gv_lastAccessName;  // name through which the server was last reached
  int gv_serverHttpPort = 0;
  int gv_serverHttpsPort = 0;
  std::string gv_serverProtocol = "http";
  int gv_serverPort = 0;  // the port of gv_serverProtocol

  // ---- the distribution server ----
  std::optional<std::string> gv_enableDistributionServer;  // "yes" turns it on
  std::optional<std::string> gv_dsName;
  std::optional<std::string> gv_dsFlatName;
  std::optional<std::string> gv_dsLastAccessName;
  int gv_dsHttpPort = 0;
  int gv_dsHttpsPort = 0;
  std::optional<std::string> gv_dsIPAddress;
  std::optional<std::string> gv_dsSecIPAddress;
  std::string gv_dsProtocol = "http";
  int gv_dsPort = 0;  // the management server's port when there is no distribution server

  // ---- the agent ----
  std::optional<std::string> gv_agentVersion;
  std::optional<std::string> gv_mspName;
  std::optional<std::string> gv_customerName;
  std::optional<std::string> gv_customerId;
  std::string gv_kvProductCode = "KVEE";
  std::optional<std::string> gv_remoteOfficeName;
  std::optional<std::string> gv_remoteOfficeId;
  std::string gv_enableRemoteOfficeMgmt = "NO";
  DWORD gv_httpRequestTimeout = 60000;     // milliseconds
  DWORD gv_httpConnectionTimeout = 30000;  // milliseconds
  int gv_dataTransferRateKBps = 1024;      // 0: no limit
  int gv_enableDSRoute = 0;                // 1: requests go through the distribution server
  DWORD gv_blockCrashedConfig = 0;
  DWORD gv_shutdownBlocked = 0;
  int gv_checksumEnabled = 1;

  // ---- the proxy ----
  std::string gv_proxyEnabled = "NO";
  std::optional<std::string> gv_proxyUserName = std::string();
  std::string gv_proxyPassword;  // held decoded
  std::optional<std::string> gv_proxyServerName;
  std::optional<std::string> gv_proxyByPass = std::string("<local>");

  // ---- this computer ----
  std::optional<std::string> gv_resourceId;
  std::optional<std::string> gv_clientNamespace;  // domain or workgroup
  std::optional<std::string> gv_clientDataPath;   // "client-data/<customer>/domains/<namespace>"
  std::optional<std::string> gv_localComputerName;
  // Comma-separated lists, one entry per usable IPv4 address.
  std::optional<std::string> gv_localIPAddress;
  std::optional<std::string> gv_localMACAddress;
  std::optional<std::string> gv_localSubnetMask;
  std::optional<std::string> gv_logonServer;  // flat name of the domain controller
  // "TEMP" of the environment; empty until read.
  std::string gv_tempDir;
};

// The process's settings.
AgentSettings& Agent();
// Back to the initial values (tests).
void ResetAgentSettings();

}  // namespace kv
