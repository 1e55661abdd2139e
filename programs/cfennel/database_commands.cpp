// The commands that move tables between the store and its database.

#include <memory>
#include <string>
#include <vector>

#include "base/text_format.h"
#include "command_context.h"
#include "db/connection_pool.h"
#include "db/database_state.h"
#include "db/db_statements.h"
#include "dbstore/table_load.h"
#include "dbstore/table_save.h"
#include "store/data_dictionary.h"
#include "store/result_data.h"
#include "store/table_data.h"
#include "store/table_text.h"
#include "store/value_text.h"

namespace kv {
namespace {

// The connection name of the first data source, or null.
const char* DefaultSource() {
  const auto& entries = DatabaseAccess().connParams;
  return entries.empty() ? nullptr : entries.front().connectionName.c_str();
}

// The table data of the table a command names; null when it is not in memory.
TableData* LoadedTable(Context& context, Outcome& failure) {
  const TableDefn* definition = NamedDefinition(context, failure);
  if (!definition) return nullptr;
  TableData* table = GetTableDataByName(definition->name.c_str());
  if (!table) failure = Format("%s is not in memory", definition->name.c_str());
  return table;
}

std::string CountsText(const SaveCounts& counts) {
  return Format("%d inserted, %d updated, %d deleted", counts.inserted, counts.updated, counts.deleted);
}

// Saves one table, printing what it wrote after prefix.
Outcome SaveOne(Context& context, const std::string& name, const char* prefix) {
  SaveCounts counts;
  const bool saved = SaveTable(name.c_str(), &counts) == STORE_SUCCESS;
  if (saved || counts.inserted + counts.updated + counts.deleted > 0)
    std::fprintf(context.out, "%s%s\n", prefix, CountsText(counts).c_str());
  if (!saved) return context.Reason("cannot save " + name + ": nothing of it was written");
  if (counts.failed) return context.Reason(Format("%d rows of %s not saved", counts.failed, name.c_str()));
  return std::nullopt;
}

}  // namespace

std::string DatabaseMessage(const std::string& reason) {
  // "...; MSG: [vendor][driver]text (native code)": the text is the
  // database's own words.
  const std::size_t at = reason.rfind("MSG: ");
  if (at == std::string::npos) return reason;
  std::string_view text = std::string_view(reason).substr(at + 5);
  while (text.starts_with('[') && text.find(']') != std::string_view::npos) text.remove_prefix(text.find(']') + 1);
  if (text.ends_with(')')) {
    const std::size_t open = text.rfind(" (");
    const std::string_view code = open == std::string_view::npos ? std::string_view() : text.substr(open + 2);
    if (code.size() > 1 && code.find_first_not_of("-0123456789") == code.size() - 1) text = text.substr(0, open);
  }
  return text.empty() ? reason : std::string(text);
}

Outcome NeedDatabase() {
  if (!DefaultSource()) return "no database (start cfennel with --root DIR)";
  return std::nullopt;
}

Outcome LoadFromDatabase(Context& context) {
  if (Outcome missing = NeedDatabase()) return missing;
  Outcome failure;
  const TableDefn* definition = NamedDefinition(context, failure);
  if (!definition) return failure;
  const std::string name = definition->name;
  const std::string criteria(context.words.Rest());
  if (GetTableDataByName(name.c_str())) return name + " is in memory already (unload it first)";
  const Status loaded =
      criteria.empty() ? LoadTableRows(name.c_str())
                       : LoadTableRowsByQuery(name.c_str(), ("select * from " + name + " where " + criteria).c_str());
  if (!loaded.ok()) {
    // Nothing half-loaded stays behind (false: nothing was).
    (void)UnLoadTable(name.c_str());
    if (loaded.message().empty()) return "cannot load " + name;
    return DatabaseMessage(std::string(loaded.message()));
  }
  std::fprintf(context.out, "%d\n", CountLiveRows(*GetTableDataByName(name.c_str())));
  return std::nullopt;
}

Outcome Save(Context& context) {
  if (Outcome missing = NeedDatabase()) return missing;
  Outcome failure;
  TableData* table = LoadedTable(context, failure);
  if (!table) return failure;
  if (Outcome extra = NoMoreWords(context)) return extra;
  return SaveOne(context, table->name, "");
}

Outcome SaveAll(Context& context) {
  if (Outcome missing = NeedDatabase()) return missing;
  if (Outcome extra = NoMoreWords(context)) return extra;
  std::vector<std::string> names;
  for (const TableData& table : TableDataRegistry().gv_tableDataVect)
    if (table.kind == TABLE_DATA_KIND_TABLE) names.push_back(table.name);
  Outcome first;
  for (const std::string& name : names) {
    Outcome failure = SaveOne(context, name, (name + ": ").c_str());
    if (failure && !first) first = failure;
    context.failures.Clear();
  }
  return first;
}

Outcome Insert(Context& context) {
  Outcome failure;
  const TableDefn* definition = NamedTable(context, failure);
  if (!definition) return failure;
  const std::size_t count = static_cast<std::size_t>(definition->columnCount());
  std::vector<std::string> texts(count);
  std::vector<bool> given(count, false);
  while (!context.words.AtEnd()) {
    std::string column;
    const std::optional<std::string> value = context.words.Assignment(column);
    if (!value) return context.words.unterminated() ? "unterminated quote" : "expected COLUMN=VALUE";
    const ColumnDefn* columnDefn = FindColumn(*definition, column);
    if (!columnDefn) return Format("%s has no column %s", definition->name.c_str(), column.c_str());
    const auto index = static_cast<std::size_t>(GetColumnIndex(definition, columnDefn->name.c_str()));
    if (given[index]) return column + " is given twice";
    given[index] = true;
    texts[index] = *value;
  }
  // Converted values view their texts, which stay until the row is added.
  std::vector<std::unique_ptr<TypedValueBuffer>> converted;
  std::vector<StoredValue> values(count);
  std::size_t index = 0;
  for (const ColumnDefn& column : definition->columns) {
    if (given[index]) {
      converted.push_back(std::make_unique<TypedValueBuffer>());
      if (Outcome wrong = ColumnValue(texts[index], column, *converted.back())) return wrong;
      values[index] = converted.back()->value();
    }
    ++index;
  }
  TableData* table = GetTableDataByName(definition->name.c_str());
  RowObject* row = AddNewRow(table, values, ROW_STATE_NEW);
  if (!row) return context.Reason("cannot add the row");
  ResultDataPtr shown = CreateResultData(*table);
  if (!shown || !AddRowToResultData(row, shown.get())) return context.Reason("out of memory");
  PrintResult(context, *shown);
  return std::nullopt;
}

Outcome Unload(Context& context) {
  Outcome failure;
  TableData* table = LoadedTable(context, failure);
  if (!table) return failure;
  if (Outcome extra = NoMoreWords(context)) return extra;
  (void)UnLoadTable(table->name.c_str());  // loaded, as just found
  return std::nullopt;
}

Outcome Sql(Context& context) {
  if (Outcome missing = NeedDatabase()) return missing;
  const std::string query(context.words.Rest());
  if (query.empty()) return "missing SELECT";
  // Changes go through the store's tables and their saves.
  if (!AsciiEqualsNoCase(std::string_view(query).substr(0, 7), "select "))
    return "only a select can be run (changes go through the tables and save)";
  const char* source = DefaultSource();
  DBResultSetPtr result;
  {
    const PooledConnection connection(source);
    if (!connection) return context.Reason("no connection to " + std::string(source));
    result = ExecuteQuery(connection.get(), query.c_str());
  }
  if (!result) return DatabaseMessage(context.Reason("the query failed"));
  PrintResultSet(context, *result);
  return std::nullopt;
}

void PrintResultSet(Context& context, DBResultSet& result) {
  std::vector<std::string> names;
  std::vector<std::uint8_t> types;
  for (const DBColumnDescriptor& column : result.columns()) {
    names.push_back(column.name);
    types.push_back(column.type);
  }
  RowPrinter printer(context.mode, context.out, std::move(names), std::move(types));
  std::vector<StoredValue> values(static_cast<std::size_t>(result.columnCount()));
  while (GetNextResultRow(&result)) {
    for (std::int32_t column = 0; column < result.columnCount(); ++column)
      values[static_cast<std::size_t>(column)] = result.Value(result.cursor(), column);
    printer.Row(values);
  }
  printer.Finish();
}

}  // namespace kv
