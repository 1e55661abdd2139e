#pragma once
// The resource identifier by which the management server knows this
// computer, kept by the agent in the registry ("KVAgentResourceID" under the
// agent key's "SystemDetails"). When it is missing the agent asks its server
// for the computer's resource document, takes the identifier out of it,
// stores it and tells the agent service.

#include <optional>
#include <string>

#include "platform/win_types.h"

namespace kv {

// The agent service's control code for "the resource identifier changed".
constexpr DWORD kResourceIdChangedControl = 147;

// The identifier from the registry, else from the server: 0 when it came
// from either (or the server's document held no identifier; id stays null
// then), otherwise the code of the failed fetch, with id null.
[[nodiscard]] DWORD GetResourceID(std::optional<std::string>& id);
// 0 (whether or not the document held the identifier), the transfer's
// result when the fetch failed, or the last error when the document could
// not be loaded (13 when none was set).
[[nodiscard]] DWORD GetResourceIDFromServer(std::optional<std::string>& id);
// Stores the identifier in the registry and notifies the agent service.
void SetAgentResourceID(const char* id);

}  // namespace kv
