// The settings banners: what the agent runs with, line by line, for support
// staff reading the log. A setting that is null shows as "(null)".

#include "startup/agent_banner.h"

#include "agent/agent_settings.h"
#include "base/log_writer.h"

namespace kv {

void LogAgentBanner() {
  const AgentSettings& a = Agent();
  LogInfo("%s", kBannerStarLine);
  LogInfo("Kelvane Server Name                -> %s \n", LogText(a.gv_serverName));
  LogInfo("Kelvane Server Flat Name           -> %s \n", LogText(a.gv_serverFlatName));
  LogInfo("Kelvane Server IPAddress           -> %s \n", LogText(a.gv_serverIPAddress));
  LogInfo("Kelvane Server Secondary IPAddress -> %s \n", LogText(a.gv_serverSecIPAddress));
  LogInfo("Kelvane Last Access Name           -> %s \n", LogText(a.gv_lastAccessName));
  LogInfo("Kelvane Server Port                -> %d \n", a.gv_serverPort);
  LogInfo("Kelvane Server Protocol            -> %s \n", a.gv_serverProtocol.c_str());
  LogInfo("Kelvane Agent Version              -> %s \n", LogText(a.gv_agentVersion));
  LogInfo("Kelvane Agent InstallDir           -> %s \n", a.gv_agentInstallDir.c_str());
  LogInfo("Kelvane Client Namespace           -> %s \n", LogText(a.gv_clientNamespace));
  LogInfo("Kelvane Server Data Path           -> %s \n", LogText(a.gv_clientDataPath));
  LogInfo("Kelvane MSP Name\t           -> %s \n", LogText(a.gv_mspName));
  LogInfo("Kelvane Customer Name\t           -> %s \n", LogText(a.gv_customerName));
  LogInfo("Kelvane Customer Id\t\t   -> %s \n", LogText(a.gv_customerId));
  LogInfo("Kelvane Product Code               -> %s \n", a.gv_kvProductCode.c_str());
  LogInfo("Local Computer Name                       -> %s \n", LogText(a.gv_localComputerName));
  LogInfo("Local Computer IP Address                 -> %s \n", LogText(a.gv_localIPAddress));
  LogInfo("Local Computer MAC Address                -> %s \n", LogText(a.gv_localMACAddress));
  LogInfo("Local Computer Subnet Mask                -> %s \n", LogText(a.gv_localSubnetMask));
  LogInfo("KV Distribution Server Enabled            -> %s \n", LogText(a.gv_enableDistributionServer));
  LogInfo("The remote office name is                 -> %s \n", LogText(a.gv_remoteOfficeName));
  LogInfo("Kelvane Agent HTTP Request Timeout -> %d \n", static_cast<int>(a.gv_httpRequestTimeout));
  LogInfo("Local Computer Domain controller          -> %s \n", LogText(a.gv_logonServer));
  LogInfo("The Agent Machine Resource Id is given by -> %s \n", LogText(a.gv_resourceId));
  LogInfo("Agent Checksum Enabled\t\t               -> %d \n", a.gv_checksumEnabled);
  LogInfo("Agent Data Transfer Rate in KBps\t\t   -> %d \n", a.gv_dataTransferRateKBps);
  LogInfo("%s", kBannerStarLine);
}

void LogDistributionServerBanner() {
  const AgentSettings& a = Agent();
  LogInfo("KV Distribution Server  Name      \t\t\t-> %s \n", LogText(a.gv_dsName));
  LogInfo("KV Distribution Server  IPAddress \t\t\t-> %s \n", LogText(a.gv_dsIPAddress));
  LogInfo("KV Distribution Server  Sec IPAddress         \t\t-> %s \n", LogText(a.gv_dsSecIPAddress));
  LogInfo("KV Distribution Server  Port      \t\t\t-> %d \n", a.gv_dsPort);
  LogInfo("KV Distribution Server  Last Access Name\t\t-> %s \n", LogText(a.gv_dsLastAccessName));
  LogInfo("KV Distribution Server  Protocol  \t\t\t-> %s \n", a.gv_dsProtocol.c_str());
  LogInfo("Remote Office ID                          -> %s \n", LogText(a.gv_remoteOfficeId));
  LogInfo("%s", kBannerStarLine);
}

}  // namespace kv
