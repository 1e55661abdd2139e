#pragma once
// The emulated Windows machine: a directory holding registry.reg,
// machine.json, drive_c/ and the logs the machine keeps. KV_MACHINE names it;
// without it the image the build was configured with is used.

#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

namespace kv::posix {

struct MachineImage {
  std::string directory;                           // host path of the image, no trailing '/'
  bool valid = true;                               // false when machine.json could not be read
  nlohmann::json info = nlohmann::json::object();  // machine.json, {} when absent
};

// The machine this process runs on, loaded on first use.
const MachineImage& Machine();

// Switches to another image (tests). Facilities that cache image contents
// notice the change through the directory name.
void UseMachine(const std::string& directory);

// The machine's processor is 64-bit (os.architecture AMD64, IA64 or ARM64).
bool Is64BitMachine();
// This process is a 32-bit process on 64-bit Windows (os.wow64).
bool IsWow64Process();

// A value of machine.json by JSON pointer ("/os/wow64"); null when absent.
const nlohmann::json& MachineValue(const char* pointer);

// Reports a malformed image file on standard error, naming file and line
// (line 0: the fault is not at one line).
void ReportImageError(const std::string& file, std::size_t line, const std::string& message);

}  // namespace kv::posix
