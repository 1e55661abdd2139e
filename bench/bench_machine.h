#pragma once
// A machine image of the benchmark's own in a temporary directory, removed
// at the end. The store reads its files through the machine's paths, so a
// benchmark writes the files it hands the store onto this image's C: drive.
// The image is the process's machine through KV_MACHINE, as for any
// program: made before the benchmark first reaches the machine.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

namespace kv {

class BenchMachine {
 public:
  BenchMachine() {
    namespace fs = std::filesystem;
    std::random_device random;
    dir_ = fs::temp_directory_path() / ("kv-bench-" + std::to_string(random()));
    if (!fs::create_directories(dir_ / "drive_c")) throw std::runtime_error("no machine image for the benchmark");
    std::ofstream(dir_ / "registry.reg") << "Windows Registry Editor Version 5.00\n\n";
    std::ofstream(dir_ / "machine.json") << "{}";
    ::setenv("KV_MACHINE", dir_.c_str(), 1);
  }
  ~BenchMachine() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  BenchMachine(const BenchMachine&) = delete;
  BenchMachine& operator=(const BenchMachine&) = delete;

  // Writes C:\<name> and returns that path.
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / "drive_c" / name) << text;
    return "C:\\" + name;
  }

 private:
  std::filesystem::path dir_;
};

}  // namespace kv
