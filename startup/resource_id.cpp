#include "startup/resource_id.h"

#include "agent/agent_settings.h"
#include "agent/registry_helpers.h"
#include "base/log_writer.h"

namespace kv {

LONG GetResourceID(std::optional<std::string>& id) {
  const std::string key = Agent().gv_RegKey + "\\SystemDetails";
  const LONG code = ReadRegSZ(HKEY_LOCAL_MACHINE, key.c_str(), "KVAgentResourceID", id);
  if (code == ERROR_SUCCESS) return ERROR_SUCCESS;
  id.reset();  // a value that could not be read whole is no identifier
  LogError(
      "GetResourceID : Unable to get the KV Agent Resource ID from Registry , So trying to get the same from "
      "server .\n");
  // The server's resource document is not fetched yet: the registry's answer stands.
  return code;
}

}  // namespace kv
