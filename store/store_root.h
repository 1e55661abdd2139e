#pragma once
// The data store's root directory, under which its data and logs live.

#include <optional>
#include <string>

namespace kv {

// Sets the root; null keeps the root as it is ("Default Path Used"). The
// process log learns it too: a log opened without a directory goes to
// "<root>/logs".
void SetCFennelRoot(const char* directory);
// Null until a root is set.
std::optional<std::string> CFennelRoot();
// Forgets the root (tests).
void ResetCFennelRoot();

}  // namespace kv
