#pragma once
// Control codes sent to Windows services, such as the agent's own service
// when it has to pick up new settings.

#include "platform/win_types.h"

namespace kv {

// 1 when the service accepted the control, else 0.
[[nodiscard]] int SendServiceMsg(DWORD controlCode, const char16_t* serviceName);
// SendServiceMsg to the service named by gv_agentServiceName.
[[nodiscard]] int NotifyAgentService(DWORD controlCode);

}  // namespace kv
