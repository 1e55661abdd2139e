#pragma once
// The flags the agent passes to the checker, kept for the life of the process.

#include <optional>
#include <string>

namespace kv {

struct CommandLineSettings {
  std::optional<std::string> patchName;                   // -p
  std::optional<std::string> productName;                 // -l
  std::optional<std::string> productVersion;              // -v
  std::optional<std::string> dependencyFileName;          // -d
  std::optional<std::string> javaArchitecture;            // -x
  std::optional<std::string> javaLatestInstalledVersion;  // -j
  int clearJavaDetection = 0;                             // -c
  int calledFromSoftwareDeployment = 0;                   // -s
};

// The process's command-line settings.
CommandLineSettings& CommandLine();
void ResetCommandLine();

// Fills the settings from the argument vector; always true.
[[nodiscard]] bool ParseArguments(int argc, const char* const* argv);

}  // namespace kv
