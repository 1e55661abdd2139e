#include "agent/agent_settings.h"

namespace kv {

AgentSettings& Agent() {
  static AgentSettings settings;
  return settings;
}

void ResetAgentSettings() { Agent() = AgentSettings{}; }

const char* SettingText(const std::optional<std::string>& value) { return value ? value->c_str() : "(null)"; }

}  // namespace kv
