#include "dbstore/table_load.h"

#include <cstring>
#include <memory>
#include <string>

#include "base/log_writer.h"
#include "base/text_format.h"
#include "db/db_statements.h"
#include "db/sql_builder.h"
#include "db/sql_front.h"
#include "dbstore/data_files.h"
#include "dbstore/table_progress.h"
#include "dbstore/table_query.h"
#include "platform/files.h"
#include "store/data_dictionary.h"
#include "store/table_data.h"

namespace kv {
namespace {

constexpr const char* kQueryFailed = "Error in executing select query \n";

// Appends every row of a result to a table or view, each converted in the
// dialect of the table's data source; false when a row cannot be converted
// or stored.
bool AddResultRows(DBResultSet& rows, TableData& target, const char* tableName) {
  const SQLDialect* dialect = GetDialectOfTable(tableName);
  if (!dialect) return false;
  ProgressReport progress("load", target.name.c_str(), rows.rowCount());
  ResetResultSetCursor(&rows);
  while (GetNextResultRow(&rows)) {
    const std::unique_ptr<RowValues> row = dialect->ConvertResultRow(rows, tableName);
    if (!row) return false;
    // A query may select more columns than the table has.
    std::span<const StoredValue> values(row->values);
    if (values.size() > static_cast<std::size_t>(target.columnCount))
      values = values.first(static_cast<std::size_t>(target.columnCount));
    if (!AddNewRow(&target, values, row->state)) return false;
    progress.Step();
  }
  progress.Finish();
  return true;
}

// Loads one entry of a load list: "TABLE", or "TABLE" and a text after the
// first blank, which is the query to load when it holds "select" or
// "SELECT".
void LoadListEntry(const std::string& line) {
  const std::size_t blank = line.find_first_of(" \t");
  const std::string table = line.substr(0, blank);
  if (table.empty()) return;
  if (blank != std::string::npos) {
    const std::string rest = line.substr(blank + 1);
    if (rest.find("select") != std::string::npos || rest.find("SELECT") != std::string::npos) {
      LogTrace("LOADTABLE_QUERY : %s\n", rest.c_str());
      (void)LoadTableByQuery(table.c_str(), rest.c_str());
      return;
    }
  }
  LogTrace("LOADTABLE : %s\n", table.c_str());
  (void)LoadTable(table.c_str());
}

void LoadListedTables(std::FILE* list) {
  int lineNumber = 0;
  while (const std::optional<std::string> line = ReadListLine(list, kLoadTableList, lineNumber)) LoadListEntry(*line);
}

}  // namespace

TableQueryResult QueryTableSource(const char* tableName, const char* sql) {
  TableQueryResult result;
  const char* source = GetDataSourceOfTable(tableName);
  if (!source) return result;
  const PooledConnection handle(source);
  if (!handle) return result;
  result.connected = true;
  result.rows = ExecuteQuery(handle.get(), sql);
  return result;
}

bool LoadAllTables() {
  return GuardMemory([&]() -> bool {
    const StoreDataFile list = OpenStoreDataFile(kLoadTableList);
    if (!list.file) {
      LogError("Cannot open LoadTableList Entry File.\n");
      return false;
    }
    LoadListedTables(list.file.get());
    return true;
  });
}

bool LoadTablesFromFile(const char* path) {
  return GuardMemory([&]() -> bool {
    const DataFile list(path ? OpenStream(path, "r") : nullptr);
    if (!list) {
      LogError("Cannot open LoadTableList Entry File.\n");
      return false;
    }
    LoadListedTables(list.get());
    return true;
  });
}

bool LoadTable(const char* tableName) {
  return GuardMemory([&]() -> bool {
    LogTrace("\nLoading Table : %s\n", LogText(tableName));
    if (!tableName) return false;
    const TableQueryResult query = QueryTableSource(tableName, Format("select * from %s", tableName).c_str());
    if (!query.connected) return false;
    if (!query.rows) {
      LogError("Error in executing select query for %s\n", tableName);
      return false;
    }
    const TableDefn* definition = GetTableDefn(tableName);
    if (!definition) {
      LogError("Error in getting Table Definition for %s\n", tableName);
      return false;
    }
    // Only the number of columns is compared, not their names or types.
    if (query.rows->columnCount() != definition->columnCount()) {
      LogError(
          "\nLoadTable Failed for %s table as there is mismatch between table definition in datadictionary and "
          "actual table in database\n",
          tableName);
      return false;
    }
    if (!CreateTable(tableName)) {
      LogError("CreateTable Failed \n");
      return false;
    }
    return AddResultRows(*query.rows, *GetTableDataByName(tableName), tableName);
  });
}

bool LoadTableByQuery(const char* tableName, const char* query) {
  return GuardMemory([&]() -> bool {
    LogTrace("\nLoading Table : %s\n", LogText(tableName));
    LogTrace("\nSelect Query  : %s\n", LogText(query));
    if (!tableName || !query) return false;
    if (!CreateTable(tableName)) {
      LogError("CreateTable Failed \n");
      return false;
    }
    const TableQueryResult result = QueryTableSource(tableName, query);
    if (!result.connected) return false;
    if (!result.rows) {
      LogError("%s", kQueryFailed);
      return false;
    }
    return AddResultRows(*result.rows, *GetTableDataByName(tableName), tableName);
  });
}

bool LoadViewByQuery(const char* viewName, const char* tableName, const char* query) {
  return GuardMemory([&]() -> bool {
    LogTrace("\nLoading View Data : %s\n", LogText(viewName));
    if (!viewName || !tableName || !query) return false;
    const TableQueryResult result = QueryTableSource(tableName, query);
    if (!result.connected) return false;
    if (!result.rows) {
      LogError("%s", kQueryFailed);
      return false;
    }
    const TableDefn* definition = GetTableDefn(tableName);
    if (!definition) return false;
    auto view = std::make_unique<CustomViewDefn>();
    view->tableCount = 1;
    view->tableNames.emplace_back(tableName);
    for (const ColumnDefn& column : definition->columns) {
      auto viewColumn = std::make_unique<ViewColumnDefn>();
      viewColumn->name = column.name;
      viewColumn->column = &column;
      if (!view->columns.Append(std::move(viewColumn))) return false;
    }
    if (!CreateCustomViewData(viewName, std::move(view))) return false;
    return AddResultRows(*result.rows, *GetTableDataByName(viewName), tableName);
  });
}

bool UnLoadTable(const char* name) {
  TableData* table = GetTableDataByName(name);
  if (!table) return false;
  FreeTableData(table);
  return true;
}

void UnLoadAllTable() { ResetTableData(); }

bool ReloadTableData() {
  UnLoadAllTable();
  return LoadAllTables();
}

}  // namespace kv
