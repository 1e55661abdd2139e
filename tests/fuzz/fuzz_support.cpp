#include "fuzz_support.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/posix/machine.h"

namespace kv::fuzz {

std::string WriteInputFile(const char* name, std::string_view bytes) {
  namespace fs = std::filesystem;
  // A machine image of the process's own, made on the first call and in use
  // from then on: its C:\fuzz folder holds the inputs.
  struct Image {
    fs::path path = fs::temp_directory_path() / ("kv-fuzz-" + std::to_string(::getpid()));
    ~Image() {
      std::error_code ignored;
      fs::remove_all(path, ignored);
    }
  };
  static const Image made;
  static const fs::path folder = [] {
    const fs::path& image = made.path;
    fs::create_directories(image / "drive_c" / "fuzz");
    std::ofstream(image / "registry.reg") << "Windows Registry Editor Version 5.00\n\n";
    std::ofstream(image / "machine.json") << "{}";
    posix::UseMachine(image.string());
    return image / "drive_c" / "fuzz";
  }();
  std::ofstream(folder / name, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return std::string("C:\\fuzz\\") + name;
}

std::string CopySourceFile(const char* name, const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) std::abort();
  return WriteInputFile(name, bytes);
}

}  // namespace kv::fuzz
