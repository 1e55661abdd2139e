#pragma once
// The agent as machine images made by tests hold it: its registry key, its
// installation directory and the checker's log, and runs of the checker.

#include <string>
#include <vector>

#include "tests/support/test_machine.h"

namespace kv::test {

// The agent's key as a 32-bit process on 64-bit Windows sees it, and as the
// native view (or a 32-bit machine) holds it.
inline constexpr const char* kAgentKey32 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tarnwick\\Kelvane\\KVAgent";
inline constexpr const char* kAgentKeyNative = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\Kelvane\\KVAgent";
// Image paths of the installation directory and of the checker's log.
inline constexpr const char* kAgentInstallDir = "drive_c/Program Files (x86)/Tarnwick/Kelvane/KVAgent";
inline constexpr const char* kCheckerLog =
    "drive_c/Program Files (x86)/Tarnwick/Kelvane/KVAgent/logs/kvprereqhandler.log";

// One key of registry.reg: its line, its values and a blank line.
std::string RegKeyBlock(const std::string& key, const std::string& values = "");
// The installation directory and log level of the agent, as values of its key.
std::string AgentValues(int logLevel = 4);
// The machine's processor as the registry names it.
std::string ProcessorBlock(const std::string& identifier);
// The agent's key in the 32-bit view with AgentValues and further values.
std::string AgentKeyBlock(const std::string& extraValues = "", int logLevel = 4);

// Copies examples/machines/<name> into the image.
void CopyExampleMachine(const TempMachine& machine, const std::string& name);

struct CheckerRun {
  RunResult run;
  // The whole Windows exit code the machine recorded; -1 when there is none.
  int exitCode = -1;
};
// Runs the checker on the image.
CheckerRun RunChecker(const TempMachine& machine, const std::vector<std::string>& args = {});

}  // namespace kv::test
