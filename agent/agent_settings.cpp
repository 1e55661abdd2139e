#include "agent/agent_settings.h"

namespace kv {

AgentSettings& Agent() {
  static AgentSettings settings;
  return settings;
}

void ResetAgentSettings() { Agent() = AgentSettings{}; }

}  // namespace kv
