#include "platform/files.h"
#include "platform/last_error.h"

namespace kv {
namespace {

DWORD FromErrno(int error) {
  switch (error) {
    case KV_ENOENT: return ERROR_PATH_NOT_FOUND;
    case KV_EEXIST: return ERROR_ALREADY_EXISTS;
    case 13: return ERROR_ACCESS_DENIED;  // EACCES
    case 28: return ERROR_DISK_FULL;      // ENOSPC
    case 20: return ERROR_DIRECTORY;      // ENOTDIR
    default: return ERROR_CANTWRITE;
  }
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

DWORD CreateDirectoryTree(std::string_view path) {
  while (!path.empty() && IsSeparator(path.back())) path.remove_suffix(1);
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return ERROR_PATH_NOT_FOUND;
  }
  // Every prefix that ends before a separator is a parent to make first.
  int result = 0;
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && !IsSeparator(path[i])) continue;
    if (i < path.size() && IsSeparator(path[i - 1])) continue;
    result = MakeDirectory(path.substr(0, i));
    if (result != 0 && result != KV_EEXIST) break;
  }
  if (result == 0) return ERROR_SUCCESS;
  const DWORD code = FromErrno(result);
  SetLastError(code);
  return code;
}

}  // namespace kv
