#pragma once
// Files a person names on the command line or in a command: a path of the
// machine (C:\store\x.xml) is read as the store reads its own files; any
// other path is a file of this computer, absolute or relative to the
// working directory, read where it lies through the host's file system.

#include <string>

#include "base/status.h"
#include "platform/files.h"

namespace kv {

// Reads the file a person named with readMachine (given the machine's
// path) or readHost (given the file's absolute path on this computer and
// the name the person gave it).
template <class ReadMachine, class ReadHost>
Status ReadPersonFile(const std::string& named, ReadMachine readMachine, ReadHost readHost) {
  const PersonPath where = ResolvePersonPath(named);
  if (where.onMachine) return readMachine(where.path.c_str());
  return readHost(where.path.c_str(), named.c_str());
}

}  // namespace kv
