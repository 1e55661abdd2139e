#pragma once
// Where kvtransfer's transfer goes: the URL taken apart into the connection
// parameters, and the destination as the Windows path the transfer layer
// expects. Both are checked before anything touches the machine image.

#include <string>

#include "transfer/transfer_types.h"

namespace kv::cli {

// "http[s]://host[:port][/path[?query]]": protocol, server, port and object
// path into params. false with a one-line reason for anything else.
bool ParseTransferUrl(const std::string& url, ConnectionParameters* params, std::string* error);

// DEST as a Windows path of the image: a Windows path as it stands, a host
// path under the image's drive_c turned into its C:\ path. false with a
// reason when it is neither, or cannot be written (a directory, or a file
// where a directory would have to be).
bool ResolveDestination(const std::string& destination, std::string* windowsPath, std::string* error);

}  // namespace kv::cli
