#pragma once
// The path of a request as the server of the agent's product edition
// expects it. The on-demand edition ("KVOD") serves file downloads from its
// management server through a request handler; the hosted edition
// ("MSPQZ") serves everything under "kv/"; a stand-alone server takes the
// path as it is.

#include <string>

namespace kv {

// The path (slashes only) rewritten for gv_kvProductCode, passed through
// ChangeAnsiToUTF8Str.
std::string EditionRequestPath(const std::string& path, int requestType, bool toManagementServer);

}  // namespace kv
