#include "startup/resource_id.h"

#include <cstdint>
#include <new>

#include "agent/agent_settings.h"
#include "agent/error_texts.h"
#include "agent/registry_helpers.h"
#include "agent/text_conversion.h"
#include "agent/text_operations.h"
#include "base/log_writer.h"
#include "base/text_format.h"
#include "platform/last_error.h"
#include "runtime/service_notify.h"
#include "startup/request_addresses.h"
#include "store/result_data.h"
#include "store/xml_table_reader.h"

namespace kv {
namespace {

constexpr const char* kAgentParamsTable = "Agentparams";
constexpr const char* kResourceIdCriteria = "PARAM_NAME='RESOURCE_ID'";
constexpr const char* kParamValueColumn = "param_Value";

std::string SystemDetailsKey() { return Agent().gv_RegKey + "\\SystemDetails"; }

// The registry's "LocalDomainName" as UTF-8; nullopt when it is absent or
// empty (an empty name would leave the namespace segment of the path empty).
std::optional<std::string> LocalDomainName() {
  std::optional<std::u16string> wide;
  if (ReadRegSZEx(HKEY_LOCAL_MACHINE, SystemDetailsKey().c_str(), "LocalDomainName", wide) != ERROR_SUCCESS || !wide)
    return std::nullopt;
  std::string name;
  ChangeWideToUtf8Str(wide->c_str(), name);
  if (name.empty()) return std::nullopt;
  return name;
}

// The client data path for the document, in lower case: its namespace
// replaced by the domain name the registry holds, when it holds one.
std::string DocumentDataPath(const AgentSettings& agent) {
  const std::optional<std::string> domain = LocalDomainName();
  if (!domain) return ToLowerUtf8(agent.gv_clientDataPath ? agent.gv_clientDataPath->c_str() : nullptr);
  LogInfo("domainNameFromReg: %s\n", domain->c_str());
  const std::optional<std::string> replaced =
      FindAndReplaceWithNoCase(agent.gv_clientDataPath ? agent.gv_clientDataPath->c_str() : nullptr,
                               agent.gv_clientNamespace ? agent.gv_clientNamespace->c_str() : nullptr, domain->c_str());
  LogInfo("clientDataPathTemp: %s", LogText(replaced));
  std::string lower = ToLowerUtf8(replaced ? replaced->c_str() : nullptr);
  LogInfo("lower_CDPath: %s\n", lower.c_str());
  return lower;
}

// "/<data path>/resources/<computer name>.xml", formatted whole however
// long the domain name makes it.
std::string ResourceDocumentPath() {
  const AgentSettings& agent = Agent();
  LogInfo("gv_clientDataPath: %s\n", LogText(agent.gv_clientDataPath));
  LogInfo("gv_localComputerName: %s\n", LogText(agent.gv_localComputerName));
  LogInfo("clientDataPathTemp: %s\n", LogText(agent.gv_clientDataPath));
  LogInfo("localComputerLwr: %s\n", LogText(agent.gv_localComputerName));
  const std::string dataPath = DocumentDataPath(agent);
  const std::string computer = ToLowerUtf8(agent.gv_localComputerName ? agent.gv_localComputerName->c_str() : nullptr);
  LogInfo("lower_compName: %s\n", computer.c_str());
  std::string path = Format("/%s/%s/%s%s", dataPath.c_str(), "resources", computer.c_str(), ".xml");
  LogInfo("resourceIdXmlPath: %s\n", path.c_str());
  return path;
}

// The code of a load that failed: the last error it left, or 13 when it
// left none, so that the failure is never reported as success.
DWORD LoadFailureCode() {
  const DWORD code = GetLastError();
  return code != ERROR_SUCCESS ? code : ERROR_INVALID_DATA;
}

// The RESOURCE_ID row of the loaded Agentparams table: its value stored
// and announced. Missing rows are logged; they are not the caller's error.
void TakeIdentifier(std::optional<std::string>& id) {
  ResultDataPtr rows = SelectRows(kAgentParamsTable, kResourceIdCriteria);
  if (!rows) {
    LogError("GetResourceIDFromServer :No rows found corresponding to the resource id in the resource id xml .\n");
    return;
  }
  if (!GotoNextRowObject(rows.get())) {
    LogError("GetResourceIDFromServer : No row objects corresponding to the resource id is found \n");
    return;
  }
  std::int32_t length = 0;
  const char* value = GetColumnValueByName(kParamValueColumn, &length, rows.get());
  if (!value || length <= 0) {
    // An empty identifier stored would be read back as the identifier and
    // never asked for again.
    LogError("GetResourceIDFromServer : The resource id row holds no value \n");
    return;
  }
  try {
    id.emplace(value, static_cast<std::size_t>(length));
  } catch (const std::bad_alloc&) {
    id.reset();
    LogError("GetResourceIDFromServer : Error while allocating the value of resourceid \n");
    return;
  }
  LogInfo("GetResourceIDFromServer : The Resource ID from the server is given  by %s \n", id->c_str());
  SetAgentResourceID(id->c_str());
}

}  // namespace

DWORD GetResourceID(std::optional<std::string>& id) {
  if (ReadRegSZ(HKEY_LOCAL_MACHINE, SystemDetailsKey().c_str(), "KVAgentResourceID", id) == ERROR_SUCCESS)
    return ERROR_SUCCESS;
  id.reset();  // a value that could not be read whole is no identifier
  LogError(
      "GetResourceID : Unable to get the KV Agent Resource ID from Registry , So trying to get the same from "
      "server .\n");
  return GetResourceIDFromServer(id);
}

DWORD GetResourceIDFromServer(std::optional<std::string>& id) {
  id.reset();
  const std::string path = ResourceDocumentPath();
  std::string reply;
  const DWORD fetched = AgentSendRequestGetData(path.c_str(), &reply, true);
  if (fetched != ERROR_SUCCESS) {
    LogError("GetResourceIDFromServer : Unable to get the reource id xml from %s path and the error code is %d \n",
             path.c_str(), static_cast<int>(fetched));
    return fetched;
  }
  SetLastError(ERROR_SUCCESS);
  if (!ConstructTableDataFromXMLBuffer(reply.data(), reply.size())) {
    const DWORD code = LoadFailureCode();
    LogError("GetResourceIDFromServer : Error occured (%d) while loading resource id buffer to the memory : \n %s \n",
             static_cast<int>(code), reply.c_str());
    return code;
  }
  TakeIdentifier(id);
  return ERROR_SUCCESS;
}

void SetAgentResourceID(const char* id) {
  // The service is told only of an identifier that is in the registry; one
  // that could not be written is asked for again on the next start.
  if (const LONG rc = writeValue(HKEY_LOCAL_MACHINE, SystemDetailsKey().c_str(), "KVAgentResourceID", id, REG_SZ)) {
    NoteFailure(rc, "record the resource identifier");
    return;
  }
  // A service that is not told (logged there) reads the identifier when it starts.
  (void)NotifyAgentService(kResourceIdChangedControl);
}

}  // namespace kv
