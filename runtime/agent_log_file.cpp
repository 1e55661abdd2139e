#include "runtime/agent_log_file.h"

#include "agent/agent_settings.h"
#include "agent/registry_helpers.h"
#include "base/log_writer.h"
#include "base/object_locks.h"

namespace kv {

int InitAgentLogFile(const char* fileName, const char* directory, int openMode) {
  InitMutex();
  AgentSettings& agent = Agent();
  DWORD eventEnabled = 0;
  agent.gv_eventEnabled =
      ReadDwordRegistryData(HKEY_LOCAL_MACHINE, agent.gv_RegKey.c_str(), "KVEventEnabled", eventEnabled) == 0
          ? eventEnabled
          : 1;
  if (!InitLoggerDefaults()) return ERROR_INVALID_DATA;

  // The agent's settings are read after the log starts: gv_RegKey still has
  // its initial value here.
  DWORD level = LOG_LEVEL_ERROR;
  if (ReadDwordRegistryData(HKEY_LOCAL_MACHINE, agent.gv_RegKey.c_str(), "KVAgentLogLevel", level) != 0)
    level = LOG_LEVEL_ERROR;
  if (!SetLoggerParams(fileName, directory, level)) return ERROR_INVALID_DATA;

  const bool opened = openMode == LOG_MODE_TRUNCATE ? CreateLogFile() : OpenLogFile();
  return opened ? 0 : ERROR_INVALID_DATA;
}

}  // namespace kv
