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

#include "store_reasons.h"

namespace kv {

struct CommandResult {
  // The command's first word; empty for a blank line or a comment ("#...").
  std::string command;
  bool failed = false;
  std::string reason;
};

// Runs one command line, writing what it prints to out.
CommandResult RunCommand(std::string_view line, std::FILE* out, StoreReasons& reasons);

// Loads a data-dictionary file; the reason when the store reported errors
// while reading it, else empty.
std::string LoadDictionary(const char* path, StoreReasons& reasons);

}  // namespace kv
