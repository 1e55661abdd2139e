#pragma once
// The agent's process-wide settings, filled from the registry at start-up and
// read directly by the rest of the agent. Each keeps its name from the
// agent's configuration ("gv_" prefix).

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
};

// The process's settings.
AgentSettings& Agent();
// Back to the initial values (tests).
void ResetAgentSettings();

}  // namespace kv
