// On Windows the machine is this computer: every path a person names is
// the machine's own.

#include <string>

#include "platform/files.h"

namespace kv {

PersonPath ResolvePersonPath(std::string_view path) { return {true, std::string(path)}; }

}  // namespace kv
