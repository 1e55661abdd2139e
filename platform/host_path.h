#pragma once
// Paths of this computer as std::filesystem takes them, from and to the
// UTF-8 texts the programs hold, whatever the system's own encoding.

#include <filesystem>
#include <string>
#include <string_view>

namespace kv {

inline std::filesystem::path HostPath(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace kv
