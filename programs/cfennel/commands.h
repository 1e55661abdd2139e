#pragma once
// The commands of cfennel, each one line, run against the process's store:
//   load PATH
//   select TABLE [CRITERIA]
//   count TABLE [CRITERIA]
//   delete TABLE CRITERIA
//   update TABLE COLUMN VALUE CRITERIA
//   xml TABLE
//   tables
//   insert TABLE COLUMN=VALUE...
// and, on the database the store was started on:
//   loaddb TABLE [CRITERIA]
//   save TABLE
//   saveall
//   unload TABLE
//   sql SELECT...

#include <cstdio>
#include <string>
#include <string_view>

#include "base/status.h"
#include "row_output.h"

namespace kv {

struct CommandResult {
  // The command's first word; empty for a blank line or a comment ("#...").
  std::string command;
  // Why it failed, or success.
  Status status;
};

// Runs one command line, writing what it prints to out in the mode (which
// the mode command changes).
CommandResult RunCommand(std::string_view line, std::FILE* out, OutputMode& mode);

// Loads a data-dictionary file; a failure saying what the store reported
// while reading it, when it reported anything.
Status LoadDictionary(const std::string& path);

}  // namespace kv
