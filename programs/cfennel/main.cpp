// cfennel: the in-memory store on the command line, for people who do not
// write C++. The store's start-up on a data directory and dictionaries
// first, then commands, from the arguments or, when there are none, from
// standard input one per line; the store shuts down at the end.

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/failure_capture.h"
#include "kv_version.h"
#include "commands.h"
#include "dbstore/data_files.h"
#include "dbstore/store_init.h"
#include "odbc_setup.h"
#include "platform/files.h"
#include "platform/terminal.h"
#include "progress_display.h"
#include "run_directory.h"
#include "run_log.h"
#include "session.h"
#include "store/sequence_generator.h"

namespace kv {
namespace {

constexpr const char* kUsage = R"(Usage: cfennel [--root DIR] [--dictionary FILE]... [--mode MODE] [COMMAND]...

The in-memory store on the command line. --root DIR starts the store on the
data directory DIR\data (its dictionary, data sources, connections, load
list and default data) before the commands and shuts it down after them.
Each --dictionary loads a data dictionary (XML). Each COMMAND is one
argument; without any, commands are read from standard input, one per line.
--mode prints rows as tsv (tab-separated; tab, newline and backslash
escaped, a null as \N), csv (RFC 4180; a null is an empty field), json (one
array of objects) or table (aligned; a null is an empty cell): table on a
terminal, tsv otherwise. --version prints the version.

Commands:
  load PATH                           add the rows of an XML table document
  select TABLE [CRITERIA]             print the rows selected: a header line,
                                      then one line per row
  count TABLE [CRITERIA]              print the number of rows selected
  delete TABLE CRITERIA               delete the rows selected, print the
                                      number of rows left
  update TABLE COLUMN VALUE CRITERIA  set COLUMN in the rows selected, print
                                      the number of rows changed
  insert TABLE COLUMN=VALUE...        add a new row, print it
  xml TABLE                           print the table as an XML table document
  tables                              print the dictionary's tables and their
                                      column counts
  mode [MODE]                         print or set how rows are printed
With --root, on the database:
  loaddb TABLE [CRITERIA]             load the table (the rows CRITERIA, an SQL
                                      where text, selects), print the rows
  save TABLE                          write the table's new, changed and
                                      deleted rows, print how many of each
  saveall                             save every table in memory
  unload TABLE                        take the table out of memory (the
                                      database keeps it)
  sql SELECT...                       run a select on the first data source
                                      and print its rows
  personalities PATH                  read a personality configuration (its
                                      index tables are made), print each
                                      personality's tables
  entity PERSONALITY [KEY]            print every entity of the personality,
                                      or the one whose dominant row has KEY
  stored NUMBER                       run stored query NUMBER, print its rows

Words are separated by blanks. VALUE is one word or a text in double quotes
(\" for a quote inside); CRITERIA is the rest of the line, for example
  PARAM_NAME='RESOURCE_ID' and COUNT>5
(the store compares text and number columns up to 32 bits; criteria on any
other column, or on a column the table lacks, are refused). A trailing ";"
ends a command.
PATH, FILE and DIR are paths of the machine (C:\store\x.xml) or files of this
computer (absolute, or relative to the working directory; a data directory
must lie in the machine's drive). Every failure prints one line on
standard error and the run goes on; the exit status is then 1, else 0. An
interrupt (Ctrl+C) stops a load or save under way (a save then writes
nothing) and ends a run of commands; at a terminal it cancels the line being
typed, or the command, and the prompt comes back. .quit, quit, exit, \q and
Ctrl+D leave; leaving with unsaved rows asks first at a terminal, and is
reported on standard error otherwise. At a terminal lines can be edited and
the history (~/.cfennel_history) recalled.
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
bool Run(std::string_view line, OutputMode& mode) {
  const CommandResult result = RunCommand(line, stdout, mode);
  if (!result.status.ok()) Report(result.command, std::string(result.status.message()));
  return result.status.ok();
}

struct Options {
  std::optional<std::string> root;
  OutputMode mode = IsStandardOutputTerminal() ? OutputMode::kTable : OutputMode::kTsv;
  // The other options in their order: a dictionary to load, or the
  // failure to report there (what comes after the store has started).
  struct Step {
    std::string option;
    std::string dictionary;
    std::string failure;
  };
  std::vector<Step> steps;
  // Where the commands begin among the arguments.
  std::size_t firstCommand = 0;
};

Options ReadOptions(const std::vector<std::string_view>& args) {
  Options options;
  std::size_t& next = options.firstCommand;
  for (; next < args.size() && args[next].starts_with("--"); ++next) {
    const std::string option(args[next]);
    if (option != "--dictionary" && option != "--root" && option != "--mode") {
      options.steps.push_back({option, {}, "unknown option (cfennel --help lists them)"});
    } else if (next + 1 == args.size()) {
      options.steps.push_back({option, {}, option == "--root"   ? "missing DIR"
                                           : option == "--mode" ? "missing MODE"
                                                                : "missing FILE"});
    } else if (option == "--root") {
      options.root = std::string(args[++next]);
    } else if (option == "--mode") {
      const std::string word(args[++next]);
      if (const std::optional<OutputMode> mode = OutputModeNamed(word))
        options.mode = *mode;
      else
        options.steps.push_back({option + " " + word, {}, "unknown mode (tsv, csv, json or table)"});
    } else {
      options.steps.push_back({option, std::string(args[++next]), {}});
    }
  }
  return options;
}

// Loads the dictionaries and reports the options that failed, in their
// order; false when any failed.
bool TakeOptions(const Options& options) {
  bool taken = true;
  for (const Options::Step& step : options.steps) {
    const Status status =
        step.failure.empty() ? LoadDictionary(step.dictionary) : Status::Failure(step.failure, Status::Code::kInvalid);
    if (status.ok()) continue;
    Report(step.dictionary.empty() ? step.option : step.option + " " + step.dictionary, std::string(status.message()));
    taken = false;
  }
  return taken;
}

// Starts the store on its data directory; false (reported) when it cannot.
bool StartStore(const std::string& named, const RunDirectory& run, RunLog& log, ProgressDisplay& progress) {
  // The store finds its files under the root as the machine names them: a
  // directory of this computer serves only where it lies in the machine.
  const PersonPath where = ResolvePersonPath(named);
  if (!where.onMachine) {
    Report("--root " + named, "a data directory must lie in the machine (C:\\... or a directory of its drive)");
    return false;
  }
  const std::string& root = where.path;
  const FailureCapture failures;
  if (const std::string odbc = UseDataDirectoryOdbc(root, run); !odbc.empty()) {
    Report("--root " + named, odbc);
    return false;
  }
  const bool started = InitCFennel(root.c_str());
  progress.Clear();
  log.KeepErrorsOnly();
  if (started) return true;
  // The one file whose absence stops the store: name it.
  const std::string list =
      root + (root.ends_with('\\') || root.ends_with('/') ? "" : "\\") + "data\\" + kDataDictionaryList;
  if (GetFileAttributes(list) == INVALID_FILE_ATTRIBUTES)
    Report("--root " + named, "no " + list + " (a data directory lists its dictionaries there)");
  else
    Report("--root " + named, std::string(failures.StatusOf(false, "the store cannot start").message()));
  return false;
}

int Main(const std::vector<std::string_view>& args) {
  for (const std::string_view arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::fputs("cfennel " KV_VERSION "\n", stdout);
      return 0;
    }
  }
  CatchInterrupts();
  const RunDirectory run;
  RunLog log(run);
  const Options options = ReadOptions(args);
  ProgressDisplay progress(stderr);
  if (IsStandardErrorTerminal())
    SetTableProgressListener([&progress](const TableProgress& step) { progress.Show(step); });
  // Ctrl-C stops a load or save under way at a consistent point.
  SetTableCancelCheck([] { return Interrupted(); });
  if (options.root && !StartStore(*options.root, run, log, progress)) {
    SetTableProgressListener(nullptr);
    DeInitCFennel();
    return 1;
  }
  // Dictionaries after the store's start-up, which begins a dictionary anew.
  bool failed = !TakeOptions(options);
  // Without a database, identifiers are drawn in memory.
  if (!options.root && !SequenceGenerator()) {
    Report("identifiers", "a table of the dictionaries has no columns");
    failed = true;
  }

  OutputMode mode = options.mode;
  auto runCommand = [&](std::string_view line) {
    failed = !Run(line, mode) || failed;
    progress.Clear();
  };
  if (options.firstCommand < args.size()) {
    for (std::size_t next = options.firstCommand; next < args.size() && !Interrupted(); ++next) {
      if (IsLeaveCommand(args[next])) break;
      runCommand(args[next]);
    }
  } else {
    ReadCommands(runCommand, options.root.has_value());
  }
  if (Interrupted()) {
    Report("interrupted", "the commands after the one under way were not run");
    failed = true;
  }
  // Without a person to ask, say what stays unsaved.
  if (options.root && !IsStandardInputTerminal())
    if (const std::string unsaved = UnsavedRows(); !unsaved.empty()) Report("unsaved", unsaved);
  SetTableProgressListener(nullptr);
  SetTableCancelCheck(nullptr);
  if (options.root) DeInitCFennel();
  return failed ? 1 : 0;
}

}  // namespace
}  // namespace kv

int main(int argc, char** argv) {
  std::vector<std::string_view> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return kv::Main(args);
}
