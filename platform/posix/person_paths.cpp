// A person's paths on this computer, beside the emulated machine's own.

#include <cctype>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/files.h"
#include "platform/host_path.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

bool IsMachinePath(std::string_view path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
         (path[2] == '\\' || path[2] == '/');
}

}  // namespace

PersonPath ResolvePersonPath(std::string_view path) {
  if (IsMachinePath(path)) return {true, std::string(path)};
  std::error_code unusable;
  const fs::path absolute = fs::absolute(HostPath(path), unusable);
  if (unusable) return {false, std::string(path)};
  // A file of the machine's drive is named as the machine names it, so
  // that both names of one file behave alike.
  const fs::path drive = fs::weakly_canonical(fs::path(MapPath("C:\\")), unusable);
  const fs::path real = unusable ? fs::path() : fs::weakly_canonical(absolute, unusable);
  if (!unusable && !drive.empty()) {
    const fs::path relative = real.lexically_relative(drive);
    if (!relative.empty() && *relative.begin() != ".." && relative != ".") {
      std::string machine = "C:\\" + Utf8Of(relative);
      for (char& c : machine)
        if (c == '/') c = '\\';
      return {true, machine};
    }
  }
  return {false, Utf8Of(absolute.lexically_normal())};
}

}  // namespace kv
