#include "platform/posix/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <type_traits>

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

template <class Node>
ViewPath Walk(Node& registry, const KeyPath& from, const std::vector<std::u16string>& names, bool view32) {
  ViewPath result{ERROR_SUCCESS, from, false};
  Node* key = FindIn(registry, from);
  if (key == nullptr) return {ERROR_KEY_DELETED, {}, false};
  for (const auto& name : names) {
    if (view32 && !EqualsNoCase(std::u16string_view(name), kWow6432Node)) {
      if (Node* wow = key->FindChild(kWow6432Node)) {
        key = wow;
        result.path.push_back(wow->name());
      }
    }
    Node* child = key->FindChild(name);
    if (child == nullptr) {
      if constexpr (std::is_const_v<Node>) {
        return {ERROR_FILE_NOT_FOUND, {}, false};
      } else {
        child = &key->AddChild(name);
        result.created = true;
      }
    }
    key = child;
    result.path.push_back(child->name());
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

// A missing file has the stamp of nothing.
LONG StatFile(const std::string& path, FileStamp& stamp) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    stamp = StampOf(st);
    return ERROR_SUCCESS;
  }
  stamp = FileStamp{};
  return errno == ENOENT || errno == ENOTDIR ? ERROR_SUCCESS : ReadErrorCode(errno);
}

// A missing file reads as nothing. The stamp is that of the file read, which
// a writer may have replaced since.
LONG ReadWholeFile(const std::string& path, std::string& bytes, FileStamp& stamp) {
  bytes.clear();
  stamp = FileStamp{};
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return errno == ENOENT || errno == ENOTDIR ? ERROR_SUCCESS : ReadErrorCode(errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return ReadErrorCode(errno);
  stamp = StampOf(st);
  bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n == 0) return ERROR_SUCCESS;
    if (n < 0) {
      if (errno == EINTR) continue;
      return ReadErrorCode(errno);
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
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
  UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (!fd.valid()) return WriteErrorCode(errno);  // not ours to remove
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0 && ::fchmod(fd.get(), old.st_mode & 07777) != 0) return fail(errno);
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(errno);
    done += static_cast<std::size_t>(n);
  }
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
    fd_.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    const int openError = errno;
    if (!fd_.valid()) fd_.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));  // a lock file we may not write
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
  return Walk(registry, from, names, view32);
}

ViewPath CreatePath(RegNode& registry, const KeyPath& from, const std::vector<std::u16string>& names, bool view32) {
  return Walk(registry, from, names, view32);
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

  std::string bytes;
  code = ReadWholeFile(path, bytes, stamp);
  if (code != ERROR_SUCCESS) return code;
  recent_ = IsRecent(stamp);
  if (loaded_ && bytes == text_) {
    stamp_ = stamp;
    return state;
  }
  RegNode tree = MakeEmptyRegistry();
  const auto error = ParseRegFile(bytes, tree);
  loaded_ = true;
  stamp_ = stamp;
  text_ = std::move(bytes);
  bad_ = error.has_value();
  if (bad_) {
    // Reported once for each version of the file that fails, not per call.
    ReportImageError(path, error->line, error->message);
    tree_ = MakeEmptyRegistry();
    return ERROR_BADDB;
  }
  tree_ = std::move(tree);
  return ERROR_SUCCESS;
}

LONG RegistryStore::Read(const std::function<LONG(const RegNode& registry)>& read) {
  std::lock_guard guard(mutex_);
  const LONG code = Refresh(Machine(), false);
  return code != ERROR_SUCCESS ? code : read(tree_);
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
  code = change(tree_, changed);
  if (code != ERROR_SUCCESS || !changed) return code;
  std::string text = FormatRegFile(tree_);
  FileStamp stamp;
  code = ReplaceFile(directory_ + kRegistryFile, text, stamp);
  if (code != ERROR_SUCCESS) {
    loaded_ = false;  // the next use reads the file again: the change is gone
    return code;
  }
  stamp_ = stamp;
  text_ = std::move(text);
  recent_ = true;
  return ERROR_SUCCESS;
}

}  // namespace kv::posix
