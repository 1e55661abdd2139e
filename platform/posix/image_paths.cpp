#include "platform/posix/image_paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/posix/machine.h"
#include "platform/posix/unique_fd.h"
#include "platform/unicode.h"

namespace kv::posix {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool HasDriveLetter(std::string_view path) { return path.size() >= 2 && IsLetter(path[0]) && path[1] == ':'; }

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// Windows' limits on the paths of a program that is not long-path aware:
// MAX_PATH with its NUL for a path, 32767 characters for a "\\?\" path,
// 255 for one name; all in UTF-16 code units.
constexpr std::size_t kMaxPath = 260;
constexpr std::size_t kMaxVerbatimPath = 32767;
constexpr std::size_t kMaxName = 255;

// UTF-16 code units of a UTF-8 text: one per character, two beyond U+FFFF.
std::size_t Utf16Units(std::string_view utf8) {
  std::size_t units = 0;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) ++units;
    if (byte >= 0xF0) ++units;
  }
  return units;
}

// Characters no Windows file name may hold.
bool IsForbiddenInName(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
}

// ERROR_INVALID_NAME for a name Windows refuses (a character it does not
// allow, or longer than a name may be), ERROR_FILENAME_EXCED_RANGE for a
// path longer than the program may use, else ERROR_SUCCESS.
DWORD CheckWindowsLimits(const std::vector<std::string_view>& parts, bool verbatim) {
  std::size_t length = 3;  // "X:\"
  for (const auto part : parts) {
    const std::size_t units = Utf16Units(part);
    if (units > kMaxName) return ERROR_INVALID_NAME;
    for (const char c : part)
      if (IsForbiddenInName(c)) return ERROR_INVALID_NAME;
    length += units + 1;
  }
  if (!parts.empty()) --length;  // no separator after the last name
  if (verbatim) length += 4;     // "\\?\"
  return length >= (verbatim ? kMaxVerbatimPath : kMaxPath) ? ERROR_FILENAME_EXCED_RANGE : ERROR_SUCCESS;
}

// The canonical host path of what an open descriptor stands for; empty when
// it cannot be told.
std::string CanonicalOf(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  std::string target(PATH_MAX, '\0');
  const ssize_t length = ::readlink(link, target.data(), target.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= target.size() || target[0] != '/') return {};
  target.resize(static_cast<std::size_t>(length));
  return target;
}

std::string Canonical(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

// Whether a canonical path lies on one of the image's drives (imageRoot
// canonical): the image's own files (registry, machine description and the
// rest) are not the program's to reach, nor is anything outside it.
bool OnADrive(const std::string& path, const std::string& imageRoot) {
  const std::string drives = imageRoot + "/drive_";
  if (imageRoot.empty() || !path.starts_with(drives) || path.size() < drives.size() + 1) return false;
  const std::size_t after = drives.size() + 1;
  return IsLetter(path[drives.size()]) && (path.size() == after || path[after] == '/');
}

// The entry of the open directory dir named component: the exact name when
// it exists, else the first entry equal to it without regard to case, else
// the exact name. st receives the entry's status (not following a link);
// found tells whether it exists.
std::string ResolveComponent(int dir, std::string_view component, struct stat& st, bool& found) {
  std::string name(component);
  found = ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (found) return name;
  const int listing = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::unique_ptr<DIR, DirCloser> handle(listing >= 0 ? ::fdopendir(listing) : nullptr);
  if (!handle && listing >= 0) ::close(listing);
  while (handle) {
    const dirent* entry = ::readdir(handle.get());
    if (entry == nullptr) break;
    if (EqualsNoCase(std::string_view(entry->d_name), component)) {
      found = ::fstatat(dir, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0;
      if (found) return entry->d_name;
      break;
    }
  }
  return name;
}

// The drive and the path from its root of a Windows path, the current
// directory filled in; verbatim for a "\\?\" path, which Windows takes
// beyond MAX_PATH.
DWORD Absolute(std::string_view path, char& drive, std::string& fromRoot, bool& verbatim) {
  verbatim = false;
  if (path.empty()) return ERROR_PATH_NOT_FOUND;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // "\\?\C:\x" and "\\.\C:\x" name the drive path; any other path of this
    // form is a device or another computer's share.
    if (path.size() >= 4 && (path[2] == '?' || path[2] == '.') && IsSeparator(path[3])) {
      const std::string_view inner = path.substr(4);
      if (HasDriveLetter(inner) && (inner.size() == 2 || IsSeparator(inner[2]))) {
        drive = inner[0];
        fromRoot = inner.substr(2);
        verbatim = path[2] == '?';
        return ERROR_SUCCESS;
      }
      const bool unc = ascii::StartsWithNoCase(inner, "UNC") && inner.size() > 3 && IsSeparator(inner[3]);
      return unc ? ERROR_BAD_NETPATH : ERROR_PATH_NOT_FOUND;
    }
    return ERROR_BAD_NETPATH;
  }
  // Checked to start with its drive when the image is read.
  const std::string cwd = GetCurrentDirectory();
  if (HasDriveLetter(path)) {
    drive = path[0];
    if (path.size() == 2 || IsSeparator(path[2])) {
      fromRoot = path.substr(2);
    } else {
      // "X:name" is relative to the drive's current directory: the
      // process's own on its drive, the root on any other.
      const bool sameDrive = ascii::ToLower(drive) == ascii::ToLower(cwd[0]);
      fromRoot = (sameDrive ? cwd.substr(2) : std::string()) + "\\" + std::string(path.substr(2));
    }
    return ERROR_SUCCESS;
  }
  drive = cwd[0];
  fromRoot = IsSeparator(path[0]) ? std::string(path) : cwd.substr(2) + "\\" + std::string(path);
  return ERROR_SUCCESS;
}

std::vector<std::string_view> Components(std::string_view path) {
  // "." and ".." are resolved on the text, as Windows normalises a path
  // before it looks at the disk; ".." never climbs above the drive's root.
  std::vector<std::string_view> parts;
  std::size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && IsSeparator(path[i])) ++i;
    std::size_t end = i;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string_view part = path.substr(i, end - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = end;
  }
  return parts;
}

}  // namespace

DWORD MapImagePath(std::string_view path, std::string& host) {
  char drive = 0;
  std::string fromRoot;
  bool verbatim = false;
  if (const DWORD error = Absolute(path, drive, fromRoot, verbatim)) return error;
  const std::string driveName = std::string("drive_") + ascii::ToLower(drive);
  std::vector<std::string_view> parts = Components(fromRoot);
  if (const DWORD error = CheckWindowsLimits(parts, verbatim)) return error;
  parts.insert(parts.begin(), driveName);

  // One component at a time from an open directory, so that each step costs
  // what its own name costs however deep the path goes.
  const std::string& image = Machine().directory;
  std::string imageRoot;  // canonical, found at the first link met
  std::string mapped = image;
  mapped.reserve(image.size() + fromRoot.size() + driveName.size() + 1);
  UniqueFd dir(::open(image.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  bool found = dir.valid();
  for (const auto part : parts) {
    mapped += '/';
    if (!found) {
      mapped += part;
      continue;
    }
    struct stat st {};
    const std::string name = ResolveComponent(dir.get(), part, st, found);
    mapped += name;
    if (!found) continue;
    UniqueFd next(::openat(dir.get(), name.c_str(), O_PATH | O_CLOEXEC));
    if (S_ISLNK(st.st_mode)) {
      if (imageRoot.empty()) imageRoot = Canonical(image);
      std::string target = next.valid() ? CanonicalOf(next.get()) : std::string();
      if (next.valid() && target.empty()) target = Canonical(mapped);
      if (!OnADrive(target, imageRoot)) return ERROR_ACCESS_DENIED;
    }
    // A file in the middle of a path ends the walk at the next name.
    found = next.valid();
    dir.Reset(next.Release());
  }
  host = std::move(mapped);
  return ERROR_SUCCESS;
}

}  // namespace kv::posix
