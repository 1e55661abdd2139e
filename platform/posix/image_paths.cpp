#include "platform/posix/image_paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/files.h"
#include "platform/posix/machine.h"
#include "platform/unicode.h"

namespace kv::posix {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char LowerLetter(char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }

bool HasDriveLetter(std::string_view path) { return path.size() >= 2 && IsLetter(path[0]) && path[1] == ':'; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (LowerLetter(text[i]) != LowerLetter(prefix[i])) return false;
  return true;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// The canonical host path of a path, empty when it does not resolve.
std::string Canonical(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

bool Inside(const std::string& path, const std::string& root) {
  return !root.empty() && (path == root || (path.starts_with(root) && path[root.size()] == '/'));
}

// The entry of directory dir whose name is component: the exact name when it
// exists, else the first entry equal to it without regard to case, else the
// exact name. found tells whether the entry exists, link whether it is a
// symbolic link.
std::string ResolveComponent(const std::string& dir, std::string_view component, bool& found, bool& link) {
  std::string chosen = dir + "/" + std::string(component);
  struct stat st {};
  found = ::lstat(chosen.c_str(), &st) == 0;
  if (!found) {
    std::unique_ptr<DIR, DirCloser> handle(::opendir(dir.c_str()));
    while (handle) {
      const dirent* entry = ::readdir(handle.get());
      if (entry == nullptr) break;
      if (EqualsNoCase(std::string_view(entry->d_name), component)) {
        chosen = dir + "/" + entry->d_name;
        found = ::lstat(chosen.c_str(), &st) == 0;
        break;
      }
    }
  }
  link = found && S_ISLNK(st.st_mode);
  return chosen;
}

// The drive and the path from its root of a Windows path, the current
// directory filled in.
DWORD Absolute(std::string_view path, char& drive, std::string& fromRoot) {
  if (path.empty()) return ERROR_PATH_NOT_FOUND;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // "\\?\C:\x" and "\\.\C:\x" name the drive path; any other path of this
    // form is a device or another computer's share.
    if (path.size() >= 4 && (path[2] == '?' || path[2] == '.') && IsSeparator(path[3])) {
      const std::string_view inner = path.substr(4);
      if (HasDriveLetter(inner) && (inner.size() == 2 || IsSeparator(inner[2]))) {
        drive = inner[0];
        fromRoot = inner.substr(2);
        return ERROR_SUCCESS;
      }
      const bool unc = StartsWithNoCase(inner, "UNC") && inner.size() > 3 && IsSeparator(inner[3]);
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
      const bool sameDrive = LowerLetter(drive) == LowerLetter(cwd[0]);
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
  if (const DWORD error = Absolute(path, drive, fromRoot)) return error;
  const std::string& image = Machine().directory;
  std::string imageRoot;  // canonical, computed at the first link met
  const std::string driveName = std::string("drive_") + LowerLetter(drive);
  std::vector<std::string_view> parts{driveName};
  for (const auto part : Components(fromRoot)) parts.push_back(part);

  std::string mapped = image;
  bool found = true;
  for (const auto part : parts) {
    if (!found) {
      mapped += "/" + std::string(part);
      continue;
    }
    bool link = false;
    mapped = ResolveComponent(mapped, part, found, link);
    if (link) {
      if (imageRoot.empty()) imageRoot = Canonical(image);
      if (!Inside(Canonical(mapped), imageRoot)) return ERROR_ACCESS_DENIED;
    }
  }
  host = std::move(mapped);
  return ERROR_SUCCESS;
}

}  // namespace kv::posix
