#include "prereq/command_line.h"

#include <array>

#include "base/decimal_text.h"
#include "base/log_writer.h"

namespace kv {
namespace {

struct TextFlag {
  char letter;
  std::optional<std::string> CommandLineSettings::*setting;
  const char* logFormat;
};

constexpr std::array<TextFlag, 6> kTextFlags{{
    {'p', &CommandLineSettings::patchName, "patchName :%s\n"},
    {'l', &CommandLineSettings::productName, "productName : %s\n"},
    {'v', &CommandLineSettings::productVersion, "productVersion : %s\n"},
    {'d', &CommandLineSettings::dependencyFileName, "dependencyFileName : %s\n"},
    {'x', &CommandLineSettings::javaArchitecture, "javaArchitecture : %s\n"},
    {'j', &CommandLineSettings::javaLatestInstalledVersion, "javaLatestInstalledVersion : %s\n"},
}};

// Applies one flag with the argument after it (null when the flag stands
// last: a flag without its value leaves its setting unset). False for a
// letter that is not a flag.
bool ApplyFlag(CommandLineSettings& s, char letter, const char* value) {
  for (const auto& flag : kTextFlags) {
    if (flag.letter != letter) continue;
    if (value) {
      auto& setting = s.*flag.setting;
      setting = value;
      LogInfo(flag.logFormat, setting->c_str());
    }
    return true;
  }
  switch (letter) {
    case 'c':
      if (value) {
        s.clearJavaDetection = StringToInt(value);
        LogInfo("Java detection need to be cleared");
      }
      return true;
    case 's':
      // The flag has no value, but the argument after it is consumed unread.
      s.calledFromSoftwareDeployment = 1;
      LogInfo("called from software deployment");
      return true;
    default: return false;
  }
}

}  // namespace

CommandLineSettings& CommandLine() {
  static CommandLineSettings settings;
  return settings;
}

void ResetCommandLine() { CommandLine() = CommandLineSettings{}; }

bool ParseArguments(int argc, const char* const* argv) {
  auto& settings = CommandLine();
  for (int i = 1; i < argc;) {
    const char* arg = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    // Only the second character names the flag; the rest is ignored.
    if (arg && arg[0] == '-' && arg[1] != '\0' && ApplyFlag(settings, arg[1], next))
      i += 2;
    else
      ++i;
  }
  return true;
}

}  // namespace kv
