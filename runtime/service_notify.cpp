#include "runtime/service_notify.h"

#include <string>

#include "agent/agent_settings.h"
#include "agent/text_conversion.h"
#include "base/log_writer.h"
#include "platform/last_error.h"
#include "platform/services.h"
#include "platform/unicode.h"

namespace kv {

int SendServiceMsg(DWORD controlCode, const char16_t* serviceName) {
  const std::u16string_view name = serviceName ? serviceName : u"";
  ServiceHandle manager;
  if (OpenSCManager(SC_MANAGER_CONNECT, &manager) != 0) {
    LogError("SendServiceMsg : Failed to open Service Control Manager\n");
    return 0;
  }
  ServiceHandle service;
  if (OpenService(manager, name, SERVICE_USER_DEFINED_CONTROL, &service) != 0) {
    LogError("SendServiceMsg : Failed to open the Service\n");
    return 0;
  }
  LogInfo("SendServiceMsg : Service %s Opened successfully\n", Utf16ToUtf8(name).c_str());
  if (ControlService(service, controlCode) != 0) {
    LogError("SendServiceMsg : Notification failed %d \n", static_cast<int>(GetLastError()));
    return 0;
  }
  LogInfo("SendServiceMsg : Notification is succeeded\n");
  return 1;
}

int NotifyAgentService(DWORD controlCode) {
  std::u16string serviceName;
  (void)ChangeToWideStr(Agent().gv_agentServiceName.c_str(), serviceName);  // never null
  return SendServiceMsg(controlCode, serviceName.c_str());
}

}  // namespace kv
