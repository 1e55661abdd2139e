#include "tests/support/agent_image.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "tests/support/wine.h"

namespace kv::test {

std::string RegKeyBlock(const std::string& key, const std::string& values) { return "[" + key + "]\n" + values + "\n"; }

std::string AgentValues(int logLevel) {
  char level[16];
  std::snprintf(level, sizeof level, "%08x", logLevel);
  return "\"KVAgentInstallDir\"=\"C:\\\\Program Files (x86)\\\\Tarnwick\\\\Kelvane\\\\KVAgent\\\\\"\n"
         "\"KVAgentLogLevel\"=dword:" +
         std::string(level) + "\n";
}

std::string AgentKeyBlock(const std::string& extraValues, int logLevel) {
  return RegKeyBlock(kAgentKey32, AgentValues(logLevel) + extraValues);
}

std::string ProcessorBlock(const std::string& identifier) {
  return RegKeyBlock("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
                     "\"PROCESSOR_IDENTIFIER\"=\"" + identifier + "\"\n");
}

void CopyExampleMachine(const TempMachine& machine, const std::string& name) {
  namespace fs = std::filesystem;
  fs::copy(std::string(KV_SOURCE_DIR) + "/examples/machines/" + name, machine.dir(),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  // What runs of the programs on the example left in it (scripts/run-default.sh
  // runs the checker there) is no part of the example: a test sees only what
  // its own runs write.
  for (const char* left : {"exit-code", "scm-controls.log", "registry.reg.lock"}) fs::remove(machine.Path(left));
  std::vector<fs::path> logs;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(machine.Path("drive_c")))
    if (entry.is_directory() && entry.path().filename() == "logs") logs.push_back(entry.path());
  for (const fs::path& dir : logs) fs::remove_all(dir);
}

CheckerRun RunChecker(const TempMachine& machine, const std::vector<std::string>& args) {
  CheckerRun result;
  result.run = WineMode() ? RunUnderWine(machine, "kvprereqhandler", args)
                          : RunProgram(BinPath("kvprereqhandler"), args, {{"KV_MACHINE", machine.dir()}});
  // The host keeps 8 bits of the status; the machine keeps the whole code.
  if (machine.Exists("exit-code")) result.exitCode = std::stoi(machine.ReadFile("exit-code"));
  return result;
}

}  // namespace kv::test
