#include "prereq/check_driver.h"

#include <cstdio>
#include <optional>
#include <string>

#include "agent/agent_settings.h"
#include "agent/os_naming.h"
#include "agent/registry_helpers.h"
#include "base/log_writer.h"
#include "platform/files.h"
#include "prereq/antivirus_detection.h"
#include "prereq/command_line.h"
#include "prereq/processor_server_checks.h"
#include "prereq/registry_path_reader.h"
#include "prereq/wmi_query.h"
#include "runtime/log_rotation.h"
#include "startup/agent_parameters.h"

namespace kv {
namespace {

constexpr const char* kLogFileName = "kvprereqhandler.log";
constexpr const char* kCompatKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\QualityCompat";
constexpr const char* kCompatValue = "cadca5fe-87d3-4b96-b7fb-a231484277cc";
// The Java architecture that keeps the process's own registry view.
constexpr const char* kDefaultViewArchitecture = "32";

int Finish(int exitCode) {
  StopAgentLog();
  return exitCode;
}

// Servers ask WMI for installed products and then Windows Defender; clients
// ask the security centre. A probe without WMI finds nothing.
bool AntivirusFound(bool server) {
  bool isAVFound = false;
  if (server) {
    (void)ConnectWmiCimv2();
    FindAntivirusInInstalledProducts(&isAVFound);
    ReleaseWmi();
    if (!isAVFound) isAVFound = defenderStatusCheck();
    LogInfo("isAVFound : %d \n", isAVFound ? 1 : 0);
  } else {
    (void)ConnectWmiSecurityCenter2();
    LoadInstalledUpdatesUsingWMI(&isAVFound);
    LogInfo("isAVFound : %d \n", isAVFound ? 1 : 0);
    ReleaseWmi();
  }
  return isAVFound;
}

}  // namespace

int RunCheck(int argc, const char* const* argv) {
  auto& agent = Agent();

  std::optional<std::string> installDir;
  if (ReadRegSZ(HKEY_LOCAL_MACHINE, agent.gv_RegKey.c_str(), "KVAgentInstallDir", installDir) != ERROR_SUCCESS)
    return EXIT_NO_INSTALL_DIR;  // before the log exists: nothing is logged
  agent.gv_agentInstallDir = installDir.value_or("");
  if (agent.gv_agentInstallDir.empty()) agent.gv_agentInstallDir = GetCurrentDirectory();

  // A log that cannot be started leaves the run without a log; the answer
  // is the same.
  (void)StartAgentLog(kLogFileName);

  // Incomplete settings are logged; the probes then see what was read.
  if (InitializeAgentParameters() != 0) LogError("Kelvane Agent info is not available in this machine.\n");

  std::printf("gv_RegKey : %s\n", agent.gv_RegKey.c_str());
  ParseArguments(argc, argv);
  GetOSNameEx();  // logged for support staff; the name itself is not needed here
  LogInfo(" gv_IsWow64 : %d \n", agent.gv_IsWow64);
  const bool server = IsServerOS() != 0;
  if (IsAMDProcessor()) return Finish(EXIT_AMD_PROCESSOR);

  const auto& architecture = CommandLine().javaArchitecture;
  const bool view64 = !(architecture && *architecture == kDefaultViewArchitecture);
  std::string compatValue;
  if (GetRegKeyValue(kCompatKey, kCompatValue, compatValue, view64) == REGPATH_VALUE_READ) {
    LogInfo("Key found ::: %s,%s \n", kCompatKey, kCompatValue);
    if (server) enableProtectioninServerOS();
    return Finish(EXIT_PATCH_ALLOWED);
  }
  LogInfo("Key not found ::: %s,%s \n", kCompatKey, kCompatValue);

  if (AntivirusFound(server)) {
    LogInfo("Return code : 15613 \n");
    return Finish(EXIT_ANTIVIRUS_FOUND);
  }
  if (server) enableProtectioninServerOS();
  LogInfo("Return code : 0 \n");
  return Finish(EXIT_PATCH_ALLOWED);
}

}  // namespace kv
