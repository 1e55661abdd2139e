#pragma once
// Room for a test of the operating-system seam on whichever machine the
// backend serves: the emulated machine (a fresh image whose process is a
// 32-bit one on 64-bit Windows, as the agent is) or the real Windows
// computer. The same tests run on both, so that the emulation is held to
// what Windows does. Everything made is removed when the object goes.

#include <string>

namespace kv::test {

class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  // A fresh, empty directory, as a Windows path without a final backslash.
  const std::string& Directory() const { return directory_; }
  // A registry path under HKEY_CURRENT_USER that does not exist yet.
  const std::string& RegistryKey() const { return registryKey_; }
  // Installs the stand-in Defender library of the build (MpClient.dll or
  // MpClientWithoutExport.dll) in the directory, answering WDStatus with
  // the given result; returns its Windows path.
  std::string InstallStandIn(const std::string& library, const std::string& defenderJson) const;
  // Whether the backend is Wine's Windows rather than Windows itself (whose
  // message texts, for one, Wine does not copy).
  static bool RunsUnderWine();
  // A Windows path in the directory of a file with the given content.
  std::string WriteFile(const std::string& name, const std::string& content) const;

 private:
  std::string directory_;
  std::string registryKey_;
  struct Backing;
  Backing* backing_ = nullptr;
};

}  // namespace kv::test
