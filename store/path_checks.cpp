#include "store/path_checks.h"

#include "platform/files.h"
#include "store/converter_log.h"

namespace kv {

bool IsDirectory(const char* path) {
  LogConverterEntry("IsDirectory");
  if (!path) return false;
  const DWORD attributes = GetFileAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace kv
