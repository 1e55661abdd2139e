#pragma once
// Files a person names on the command line or in a command: a path of the
// machine (C:\store\x.xml) is read as the store reads its own files; any
// other path is a file of this computer, absolute or relative to the
// working directory, read whole through the host's file system and handed
// to the store as text.

#include <string>
#include <string_view>

#include "base/status.h"
#include "platform/files.h"

namespace kv {

// The whole text of a file of this computer into text; a failure saying
// why it could not be read (the caller names the file).
Status ReadHostFile(const std::string& hostPath, std::string& text);

// Reads the file a person named with readPath (given the machine's path) or
// readText (given the text of a file of this computer and the name).
template <class ReadPath, class ReadText>
Status ReadPersonFile(const std::string& named, ReadPath readPath, ReadText readText) {
  const PersonPath where = ResolvePersonPath(named);
  if (where.onMachine) return readPath(where.path.c_str());
  std::string text;
  if (Status read = ReadHostFile(where.path, text); !read.ok()) return read;
  return readText(std::string_view(text), named.c_str());
}

}  // namespace kv
