#pragma once
// The resource identifier by which the management server knows this
// computer, kept by the agent in the registry ("KVAgentResourceID" under the
// agent key's "SystemDetails").

#include <optional>
#include <string>

#include "platform/win_types.h"

namespace kv {

// The identifier from the registry: 0, or the registry's error code with id
// null. Asking the server for a missing identifier is not built yet, so a
// missing identifier stays missing.
LONG GetResourceID(std::optional<std::string>& id);

}  // namespace kv
