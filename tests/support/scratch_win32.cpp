#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/scratch.h"

namespace kv::test {
namespace fs = std::filesystem;

struct Scratch::Backing {};

namespace {

// The folder of the running test program, where the build puts the libraries.
fs::path ProgramDirectory() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return fs::path(std::wstring(path, length)).parent_path();
}

}  // namespace

bool Scratch::RunsUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

Scratch::Scratch() {
  static int counter = 0;
  const fs::path base = fs::temp_directory_path() /
                        ("kvbackend-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter));
  fs::remove_all(base);
  fs::create_directories(base);
  directory_ = base.string();
  registryKey_ = "Software\\KvBackendTests\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter);
}

Scratch::~Scratch() {
  std::error_code ec;
  fs::remove_all(directory_, ec);
  // Whatever the tests made, in the user's hive and in both views of the machine's.
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KvBackendTests");
  for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    HKEY software = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS | view, &software) == ERROR_SUCCESS) {
      RegDeleteTreeA(software, "KvBackendTests");
      RegCloseKey(software);
    }
  }
}

std::string Scratch::InstallStandIn(const std::string& library, const std::string& defenderJson) const {
  fs::copy_file(ProgramDirectory() / library, fs::path(directory_) / library, fs::copy_options::overwrite_existing);
  // The Windows stand-in reads the machine.json beside it.
  WriteFile("machine.json", R"({"defender":)" + defenderJson + "}");
  return directory_ + "\\" + library;
}

std::string Scratch::WriteFile(const std::string& name, const std::string& content) const {
  std::ofstream out(fs::path(directory_) / name, std::ios::binary | std::ios::trunc);
  out << content;
  return directory_ + "\\" + name;
}

}  // namespace kv::test
