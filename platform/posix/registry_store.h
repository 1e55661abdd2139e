#pragma once
// The machine's registry in memory, kept in step with the image's
// registry.reg, and the two views a 64-bit machine gives of it.
//
// Reads cost a stat of the file; the tree is read again only when the file
// changed (another process wrote it, or the image was switched). Every change
// is made under an advisory lock on "registry.reg.lock", on a tree read
// afresh under that lock, and written back at once by writing a new file and
// renaming it over the old one, so that processes sharing an image never
// lose each other's writes and a process killed mid-write leaves the file
// whole. The new file changes only the entries of what changed.
//
// The image's registry.reg and its lock are used only as regular files, never
// through a symbolic link.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/machine.h"
#include "platform/posix/reg_document.h"
#include "platform/posix/reg_file.h"
#include "platform/win_types.h"

namespace kv::posix {

// Where a key is: the hive's name, then the names of the keys below it as
// they are stored.
using KeyPath = std::vector<std::u16string>;

// The child through which the 32-bit view of a 64-bit machine passes.
inline constexpr std::u16string_view kWow6432Node = u"Wow6432Node";

// The key at a resolved path, null when there is none.
const RegNode* FindKey(const RegNode& registry, const KeyPath& path);
RegNode* FindKey(RegNode& registry, const KeyPath& path);

struct ViewPath {
  LONG code = ERROR_SUCCESS;  // ERROR_KEY_DELETED: no key at the start; ERROR_FILE_NOT_FOUND: a name is missing
  KeyPath path;               // the key reached
  bool created = false;       // the key reached was made by this walk
};

// Follows names down from the key at `from`. In the 32-bit view a step down
// from a key that has a Wow6432Node child (any case) goes through that child;
// a step that names Wow6432Node itself is taken as it stands. CreatePath makes
// the missing keys where the view puts them; a key deeper than Windows allows
// is not made (ERROR_INVALID_PARAMETER) and nothing is.
ViewPath ResolvePath(const RegNode& registry, const KeyPath& from, const std::vector<std::u16string>& names,
                     bool view32);
ViewPath CreatePath(RegNode& registry, const KeyPath& from, const std::vector<std::u16string>& names, bool view32);

// What tells one version of a file from another without reading it.
struct FileStamp {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t mtimeSeconds = 0;
  std::int64_t mtimeNanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};

class RegistryStore {
 public:
  // The store of this process.
  static RegistryStore& Instance();

  // Runs read over the current tree and returns its result, or the error
  // that keeps the tree from being read (ERROR_BADDB for a malformed image).
  LONG Read(const std::function<LONG(const RegNode& registry)>& read);

  // Runs change with the image locked against other processes and the tree
  // fresh from the file. When change succeeds and reports that it changed
  // something, the tree is written back before the lock is released; when
  // that fails the change is dropped (the tree follows the file again) and
  // the write's error is returned. A failing change must leave the tree as
  // it found it.
  LONG Modify(const std::function<LONG(RegNode& registry, bool& changed)>& change);

 private:
  // Brings the tree in step with the file of the image; with compareContent
  // the file is read even when its stamp is unchanged. Called with mutex_ held.
  LONG Refresh(const MachineImage& machine, bool compareContent);

  std::mutex mutex_;
  std::string directory_;   // the image the tree belongs to
  bool loaded_ = false;     // stamp_, bad_ and document_ describe the file
  bool bad_ = false;        // the file did not parse; it has been reported
  bool irregular_ = false;  // the name is not a regular file (bad_ too)
  // The file was written so recently that a change within the file system's
  // timestamp granularity could keep its stamp: compare its content.
  bool recent_ = false;
  FileStamp stamp_;
  RegDocument document_;
};

}  // namespace kv::posix
