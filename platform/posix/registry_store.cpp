#include "platform/posix/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/posix/disk_faults.h"
#include "platform/posix/image_files.h"
#include "platform/posix/unique_fd.h"
#include "platform/unicode.h"

namespace kv::posix {
namespace {

constexpr const char* kRegistryFile = "/registry.reg";
constexpr const char* kLockFile = "/registry.reg.lock";
// Longer than any file system's timestamp granularity.
constexpr std::int64_t kRecentNanoseconds = 2'000'000'000;

// ---------------------------------------------------------------- views

template <class Node>
Node* FindIn(Node& registry, const KeyPath& path) {
  Node* key = &registry;
  for (const auto& name : path) {
    key = key->FindChild(name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

// Follows the names as far as keys exist; consumed tells how many were
// followed.
template <class Node>
ViewPath Walk(Node& registry, const KeyPath& from, const std::vector<std::u16string>& names, bool view32,
              std::size_t& consumed, Node*& reached) {
  ViewPath result{ERROR_SUCCESS, from, false};
  consumed = 0;
  Node* key = FindIn(registry, from);
  reached = key;
  if (key == nullptr) return {ERROR_KEY_DELETED, {}, false};
  for (const auto& name : names) {
    Node* step = key;
    std::u16string wowName;
    if (view32 && !EqualsNoCase(std::u16string_view(name), kWow6432Node)) {
      if (Node* wow = key->FindChild(kWow6432Node)) {
        step = wow;
        wowName = wow->name();
      }
    }
    Node* child = step->FindChild(name);
    if (child == nullptr) {
      // The view's step is taken even when the name below it is missing:
      // that is where a missing key is made.
      if (step != key) result.path.push_back(wowName);
      reached = step;
      return result;
    }
    if (step != key) result.path.push_back(wowName);
    key = child;
    reached = key;
    result.path.push_back(child->name());
    ++consumed;
  }
  return result;
}

// ---------------------------------------------------------------- files

LONG ReadErrorCode(int error) { return error == EACCES || error == EPERM ? ERROR_ACCESS_DENIED : ERROR_CANTREAD; }

LONG WriteErrorCode(int error) {
  if (error == EACCES || error == EPERM || error == EROFS) return ERROR_ACCESS_DENIED;
  if (error == ENOSPC || error == EDQUOT) return ERROR_DISK_FULL;
  return ERROR_CANTWRITE;
}

FileStamp StampOf(const struct stat& st) {
  return FileStamp{true,
                   static_cast<std::uint64_t>(st.st_dev),
                   static_cast<std::uint64_t>(st.st_ino),
                   static_cast<std::int64_t>(st.st_size),
                   static_cast<std::int64_t>(st.st_mtim.tv_sec),
                   static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

bool IsRecent(const FileStamp& stamp) {
  if (!stamp.exists) return false;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const std::int64_t age = (static_cast<std::int64_t>(now.tv_sec) - stamp.mtimeSeconds) * 1'000'000'000 +
                           (static_cast<std::int64_t>(now.tv_nsec) - stamp.mtimeNanoseconds);
  return age < kRecentNanoseconds;
}

// A missing file has the stamp of nothing. A link is looked at, not followed.
LONG StatFile(const std::string& path, FileStamp& stamp) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    stamp = StampOf(st);
    return ERROR_SUCCESS;
  }
  stamp = FileStamp{};
  return errno == ENOENT || errno == ENOTDIR ? ERROR_SUCCESS : ReadErrorCode(errno);
}

// A missing file reads as nothing. The stamp is that of the file read, which
// a writer may have replaced since. 0, or the errno of the failure (ELOOP for
// a link, EINVAL for anything but a regular file).
int ReadWholeFile(const std::string& path, std::string& bytes, FileStamp& stamp) {
  stamp = FileStamp{};
  struct stat st {};
  const int error = ReadImageFile(path, bytes, false, &st);
  if (error == ENOENT || error == ENOTDIR) return 0;
  if (error == 0) stamp = StampOf(st);
  return error;
}

// Writes a new file beside the old one, flushes it to the disk and renames
// it over the old one: readers and a later crash see either the old file or
// the new one, never a part. Only the holder of the image lock writes, so
// one temporary name serves, and one left by a killed writer is replaced.
LONG ReplaceFile(const std::string& path, const std::string& bytes, FileStamp& stamp) {
  const std::string temp = path + ".tmp";
  const auto fail = [&](int error) {
    ::unlink(temp.c_str());
    return WriteErrorCode(error);
  };
  ::unlink(temp.c_str());
  UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode));
  if (!fd.valid()) return WriteErrorCode(errno);  // not ours to remove
  struct stat old {};
  if (::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) && ::fchmod(fd.get(), old.st_mode & kFileMode) != 0)
    return fail(errno);
  std::size_t done = 0;
  if (const int error = WriteAll(fd.get(), bytes.data(), bytes.size(), &done, path)) return fail(error);
  struct stat st {};
  if (::fsync(fd.get()) != 0 || ::fstat(fd.get(), &st) != 0) return fail(errno);
  if (fd.Close() != 0) return fail(errno);
  if (::rename(temp.c_str(), path.c_str()) != 0) return fail(errno);
  stamp = StampOf(st);
  return ERROR_SUCCESS;
}

// Holds the image's advisory lock for the life of a scope. The lock is on a
// file of its own because the registry file is replaced, not rewritten.
class ImageLock {
 public:
  LONG Acquire(const std::string& path) {
    fd_.Reset(OpenImageFile(path, O_RDWR | O_CREAT));
    const int openError = errno;
    if (!fd_.valid() && openError == EACCES) fd_.Reset(OpenImageFile(path, O_RDONLY));  // a lock file we may not write
    if (!fd_.valid()) return WriteErrorCode(openError);
    while (::flock(fd_.get(), LOCK_EX) != 0)
      if (errno != EINTR) return WriteErrorCode(errno);
    return ERROR_SUCCESS;  // closing the descriptor releases the lock
  }

 private:
  UniqueFd fd_{-1};
};

}  // namespace

const RegNode* FindKey(const RegNode& registry, const KeyPath& path) { return FindIn(registry, path); }
RegNode* FindKey(RegNode& registry, const KeyPath& path) { return FindIn(registry, path); }

ViewPath ResolvePath(const RegNode& registry, const KeyPath& from, const std::vector<std::u16string>& names,
                     bool view32) {
  std::size_t consumed = 0;
  const RegNode* reached = nullptr;
  ViewPath result = Walk(registry, from, names, view32, consumed, reached);
  if (result.code == ERROR_SUCCESS && consumed < names.size()) return {ERROR_FILE_NOT_FOUND, {}, false};
  return result;
}

ViewPath CreatePath(RegNode& registry, const KeyPath& from, const std::vector<std::u16string>& names, bool view32) {
  std::size_t consumed = 0;
  RegNode* key = nullptr;
  ViewPath result = Walk(registry, from, names, view32, consumed, key);
  if (result.code != ERROR_SUCCESS || consumed == names.size()) return result;
  // Keys made here have no Wow6432Node below them: the rest of the names
  // are made as they stand. The path holds the hive first.
  if (result.path.size() - 1 + (names.size() - consumed) > kMaxKeyDepth) return {ERROR_INVALID_PARAMETER, {}, false};
  for (std::size_t i = consumed; i < names.size(); ++i) {
    key = &key->AddChild(names[i]);
    result.path.push_back(key->name());
  }
  result.created = true;
  return result;
}

// ---------------------------------------------------------------- the store

RegistryStore& RegistryStore::Instance() {
  // Never destroyed: a timer thread may still use the registry while the
  // process exits.
  static RegistryStore* const store = new RegistryStore;
  return *store;
}

LONG RegistryStore::Refresh(const MachineImage& machine, bool compareContent) {
  if (machine.directory != directory_) {
    directory_ = machine.directory;
    loaded_ = false;
  }
  if (!machine.valid) return ERROR_BADDB;
  const std::string path = directory_ + kRegistryFile;
  FileStamp stamp;
  LONG code = StatFile(path, stamp);
  if (code != ERROR_SUCCESS) return code;
  const LONG state = bad_ ? ERROR_BADDB : ERROR_SUCCESS;
  if (loaded_ && stamp == stamp_ && !recent_ && !compareContent) return state;

  const FileStamp seen = stamp;
  std::string bytes;
  const int readError = ReadWholeFile(path, bytes, stamp);
  if (readError == ELOOP || readError == EINVAL) {
    // A link or something else than a file: the registry cannot be read, as
    // with a damaged file, and that is reported once.
    if (!(loaded_ && irregular_ && seen == stamp_)) ReportImageError(path, 0, "not a regular file");
    stamp_ = seen;
    loaded_ = bad_ = irregular_ = true;
    recent_ = false;
    static_cast<void>(document_.Parse({}));
    return ERROR_BADDB;
  }
  if (readError != 0) return ReadErrorCode(readError);
  recent_ = IsRecent(stamp);
  if (loaded_ && !irregular_ && bytes == document_.bytes()) {
    stamp_ = stamp;
    return state;
  }
  const auto error = document_.Parse(std::move(bytes));
  loaded_ = true;
  irregular_ = false;
  stamp_ = stamp;
  bad_ = error.has_value();
  if (bad_) {
    // Reported once for each version of the file that fails, not per call.
    ReportImageError(path, error->line, error->message);
    return ERROR_BADDB;
  }
  return ERROR_SUCCESS;
}

LONG RegistryStore::Read(const std::function<LONG(const RegNode& registry)>& read) {
  std::lock_guard guard(mutex_);
  const LONG code = Refresh(Machine(), false);
  return code != ERROR_SUCCESS ? code : read(document_.tree());
}

LONG RegistryStore::Modify(const std::function<LONG(RegNode& registry, bool& changed)>& change) {
  std::lock_guard guard(mutex_);
  const MachineImage& machine = Machine();
  if (!machine.valid) return ERROR_BADDB;
  ImageLock lock;
  LONG code = lock.Acquire(machine.directory + kLockFile);
  if (code == ERROR_SUCCESS) code = Refresh(machine, true);
  if (code != ERROR_SUCCESS) return code;

  bool changed = false;
  code = change(document_.tree(), changed);
  if (code != ERROR_SUCCESS || !changed) return code;
  std::string text = document_.Render();
  FileStamp stamp;
  code = ReplaceFile(directory_ + kRegistryFile, text, stamp);
  if (code != ERROR_SUCCESS) {
    loaded_ = false;  // the next use reads the file again: the change is gone
    return code;
  }
  // Read back what was written, so that the next change knows its entries.
  stamp_ = stamp;
  recent_ = true;
  if (const auto error = document_.Parse(std::move(text))) {
    ReportImageError(directory_ + kRegistryFile, error->line, error->message);
    bad_ = true;
  }
  return ERROR_SUCCESS;
}

}  // namespace kv::posix
