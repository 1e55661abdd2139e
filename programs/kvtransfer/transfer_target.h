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

// Where a path of the command line leads. A Windows path ("C:\dir\file")
// is a path of the machine image; anything else is a path of this computer
// as its user names it (absolute, or relative to the working directory),
// except that one inside the image's drive_c stands for its C:\ path, so
// that both names of a file are the one file the agent knows.
struct Place {
  enum class Kind { kOutput, kImage, kHost };
  Kind kind = Kind::kImage;
  std::string path;  // a Windows path of the image, or a host path
};

// DEST: "-" is standard output. false with a reason when the place cannot
// be written (a directory, or a file where a directory would have to be).
bool ResolveDestination(const std::string& destination, Place* place, std::string* error);

// FILE of a post, by the same rule (no "-").
Place ResolveSource(const std::string& file);

}  // namespace kv::cli
