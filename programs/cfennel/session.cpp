#include "session.h"

#include <cstdio>
#include <iostream>
#include <string>

#include "command_words.h"
#include "platform/line_editor.h"
#include "platform/terminal.h"
#include "store/table_data.h"

namespace kv {
namespace {

// Asks once whether to leave with the tables' unsaved rows; true to leave.
bool LeaveAnyway(LineEditor& editor) {
  const std::string unsaved = UnsavedRows();
  if (unsaved.empty()) return true;
  std::fprintf(stderr, "cfennel: %s (save TABLE writes them)\n", unsaved.c_str());
  std::string answer;
  if (editor.ReadLine("Leave without saving them? [y/N] ", answer) != LineEditor::Read::kLine) return false;
  return answer == "y" || answer == "Y" || answer == "yes";
}

void ReadAtTerminal(const std::function<void(std::string_view)>& run, bool database) {
  LineEditor editor(".cfennel_history");
  std::string line;
  for (;;) {
    const LineEditor::Read read = editor.ReadLine("cfennel> ", line);
    if (read == LineEditor::Read::kCancelled) continue;
    if (read == LineEditor::Read::kEnd) std::fputs("\n", stdout);
    if (read == LineEditor::Read::kEnd || IsLeaveCommand(line)) {
      if (!database || LeaveAnyway(editor)) return;
      continue;
    }
    run(line);
    // The command ran to its end; the interrupt only brings the prompt back.
    if (Interrupted()) ClearInterrupt();
  }
}

}  // namespace

bool IsLeaveCommand(std::string_view line) {
  line = StatementOf(line);
  return line == ".quit" || line == ".exit" || line == "quit" || line == "exit" || line == "\\q";
}

std::string UnsavedRows() {
  std::string names;
  int count = 0;
  for (const TableData& table : TableDataRegistry().gv_tableDataVect) {
    if (table.kind != TABLE_DATA_KIND_TABLE) continue;
    for (const RowObject* row = table.firstRow; row; row = row->next) {
      if (row->state & (ROW_STATE_NEW | ROW_STATE_MODIFIED | ROW_STATE_DELETED)) {
        names += (names.empty() ? "" : ", ") + table.name;
        ++count;
        break;
      }
    }
  }
  if (!count) return names;
  return names + (count == 1 ? " has" : " have") + " unsaved rows";
}

void ReadCommands(const std::function<void(std::string_view)>& run, bool database) {
  if (IsStandardInputTerminal()) {
    ReadAtTerminal(run, database);
    return;
  }
  std::string line;
  while (!Interrupted() && std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (IsLeaveCommand(line)) return;
    run(line);
  }
}

}  // namespace kv
