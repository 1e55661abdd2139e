#include "platform/posix/machine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/posix/image_files.h"
#include "platform/posix/machine_json.h"

#ifndef KV_DEFAULT_MACHINE
#define KV_DEFAULT_MACHINE "examples/machines/default"
#endif

namespace kv::posix {
namespace {

std::mutex machineMutex;
std::shared_ptr<const MachineImage> current;

std::shared_ptr<const MachineImage> Load(std::string directory) {
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  auto image = std::make_shared<MachineImage>();
  image->directory = directory;
  const std::string path = directory + "/machine.json";
  std::string text;
  const int readError = ReadImageFile(path, text, true);
  if (readError == ENOENT) return image;  // no machine.json: a machine that reports nothing
  if (readError != 0) {
    ReportImageError(path, 0, readError == EINVAL ? "not a regular file" : std::strerror(readError));
    image->valid = false;
    return image;
  }
  if (const auto error = ParseMachineJson(text, image->info)) {
    ReportImageError(path, error->line,
                     error->member.empty() ? error->message : "member " + error->member + ": " + error->message);
    image->valid = false;
  }
  return image;
}

}  // namespace

const MachineImage& Machine() {
  std::lock_guard lock(machineMutex);
  if (!current) {
    const char* env = std::getenv("KV_MACHINE");
    current = Load(env && *env ? env : KV_DEFAULT_MACHINE);
  }
  return *current;
}

void UseMachine(const std::string& directory) {
  auto image = Load(directory);
  std::lock_guard lock(machineMutex);
  // Earlier images stay alive: references handed out before the switch
  // remain valid for the life of the process.
  static std::vector<std::shared_ptr<const MachineImage>> retired;
  if (current) retired.push_back(current);
  current = std::move(image);
}

const nlohmann::json& MachineValue(const char* pointer) {
  static const nlohmann::json null;
  const auto& info = Machine().info;
  const nlohmann::json::json_pointer ptr(pointer);
  return info.contains(ptr) ? info.at(ptr) : null;
}

bool Is64BitMachine() {
  const auto& arch = MachineValue("/os/architecture");
  if (!arch.is_number_integer()) return MachineValue("/os/wow64") == true;
  const int value = arch.get<int>();
  return value == 9 || value == 6 || value == 12;  // AMD64, IA64, ARM64
}

bool IsWow64Process() { return Is64BitMachine() && MachineValue("/os/wow64") == true; }

void ReportImageError(const std::string& file, std::size_t line, const std::string& message) {
  if (line > 0)
    std::fprintf(stderr, "error: %s:%zu: %s\n", file.c_str(), line, message.c_str());
  else
    std::fprintf(stderr, "error: %s: %s\n", file.c_str(), message.c_str());
}

}  // namespace kv::posix
