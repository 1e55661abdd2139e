#pragma once
// The data store's root directory, under which its data and logs live.

#include <optional>
#include <string>

namespace kv {

void SetCFennelRoot(const char* directory);
// Null until a root is set.
const std::optional<std::string>& CFennelRoot();

}  // namespace kv
