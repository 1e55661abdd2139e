#include "tests/support/agent_image.h"

#include <cstdio>
#include <filesystem>

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
  std::filesystem::copy(std::string(KV_SOURCE_DIR) + "/examples/machines/" + name, machine.dir(),
                        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
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
