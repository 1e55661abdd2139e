#pragma once
// Questions the store asks about paths of the file system.

namespace kv {

// True when the entry exists and is a directory.
[[nodiscard]] bool IsDirectory(const char* path);

}  // namespace kv
