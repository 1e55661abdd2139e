#pragma once
// Commands read from standard input: at a terminal with a line editor and a
// history, from a file or a pipe line by line; both end at the end of the
// input or at a command that asks to leave, as the shells' users type it.

#include <functional>
#include <string>
#include <string_view>

namespace kv {

// ".quit", ".exit", "quit", "exit" or "\q", with blanks or a ";" around.
bool IsLeaveCommand(std::string_view line);

// Which tables in memory hold rows not saved to the database
// ("DEVICES, PATCHES have unsaved rows"); empty when none do.
std::string UnsavedRows();

// Reads and runs commands until the input ends or a command asks to leave.
// At a terminal, an interrupt cancels the line being typed (or, after the
// command under way, returns to the prompt), and leaving with unsaved rows
// (when the tables have a database) asks first.
void ReadCommands(const std::function<void(std::string_view)>& run, bool database);

}  // namespace kv
