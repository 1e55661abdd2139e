// cfennel: the in-memory store on the command line, for people who do not
// write C++. Dictionaries first, then commands, from the arguments or, when
// there are none, from standard input one per line.

#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "platform/terminal.h"
#include "store/sequence_generator.h"
#include "store_reasons.h"

namespace kv {
namespace {

constexpr const char* kUsage = R"(Usage: cfennel [--dictionary FILE]... [COMMAND]...

The in-memory store on the command line. Each --dictionary loads a data
dictionary (XML). Each COMMAND is one argument; without any, commands are
read from standard input, one per line.

Commands:
  load PATH                           add the rows of an XML table document
  select TABLE [CRITERIA]             print the rows selected: a header line,
                                      then one line per row, tab-separated
  count TABLE [CRITERIA]              print the number of rows selected
  delete TABLE CRITERIA               delete the rows selected, print the
                                      number of rows left
  update TABLE COLUMN VALUE CRITERIA  set COLUMN in the rows selected, print
                                      the number of rows changed
  xml TABLE                           print the table as an XML table document
  tables                              print the dictionary's tables and their
                                      column counts

Words are separated by blanks. VALUE is one word or a text in double quotes
(\" for a quote inside); CRITERIA is the rest of the line, for example
  PARAM_NAME='RESOURCE_ID' and COUNT>5
Every failure prints one line on standard error and the run goes on; the
exit status is then 1, else 0.
)";

// Control bytes shown as \xNN, so that a report stays one line whatever
// the command held.
std::string Printable(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      shown += escaped;
    } else {
      shown += c;
    }
  }
  return shown;
}

void Report(std::string_view what, const std::string& reason) {
  std::fprintf(stderr, "cfennel: %s: %s\n", Printable(what).c_str(), Printable(reason).c_str());
}

// Runs one command line; false when it failed.
bool Run(std::string_view line, StoreReasons& reasons) {
  const CommandResult result = RunCommand(line, stdout, reasons);
  if (result.failed) Report(result.command, result.reason);
  return !result.failed;
}

int Main(const std::vector<std::string_view>& args) {
  for (const std::string_view arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  StoreReasons reasons;
  bool failed = false;
  std::size_t next = 0;
  for (; next < args.size() && args[next].starts_with("--"); ++next) {
    if (args[next] != "--dictionary") {
      Report(args[next], "unknown option (cfennel --help lists them)");
      failed = true;
    } else if (next + 1 == args.size()) {
      Report(args[next], "missing FILE");
      failed = true;
    } else {
      const std::string path(args[++next]);
      const std::string reason = LoadDictionary(path.c_str(), reasons);
      if (!reason.empty()) {
        Report("--dictionary " + path, reason);
        failed = true;
      }
    }
  }
  SequenceGenerator();

  if (next < args.size()) {
    for (; next < args.size(); ++next) failed = !Run(args[next], reasons) || failed;
    return failed ? 1 : 0;
  }
  const bool terminal = IsStandardInputTerminal();
  std::string line;
  while (true) {
    if (terminal) {
      std::fputs("cfennel> ", stdout);
      std::fflush(stdout);
    }
    if (!std::getline(std::cin, line)) break;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    failed = !Run(line, reasons) || failed;
  }
  if (terminal) std::fputs("\n", stdout);
  return failed ? 1 : 0;
}

}  // namespace
}  // namespace kv

int main(int argc, char** argv) {
  std::vector<std::string_view> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return kv::Main(args);
}
