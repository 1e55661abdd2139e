#include "dbstore/table_load.h"

#include <cstring>
#include <memory>
#include <string>

#include "base/failure_capture.h"
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
// dialect of the table's data source; a failure when a row cannot be
// converted or stored, with the reason the dialect or the table gave.
Status AddResultRows(DBResultSet& rows, TableData& target, const char* tableName) {
  const FailureCapture refusal;
  const SQLDialect* dialect = GetDialectOfTable(tableName);
  if (!dialect) return refusal.StatusOf(false, Format("%s has no SQL dialect", tableName));
  ProgressReport progress("load", target.name.c_str(), rows.rowCount());
  ResetResultSetCursor(&rows);
  while (GetNextResultRow(&rows)) {
    const std::unique_ptr<RowValues> row = dialect->ConvertResultRow(rows, tableName);
    if (!row) return refusal.StatusOf(false, Format("a row of %s could not be converted", tableName));
    // A query may select more columns than the table has.
    std::span<const StoredValue> values(row->values);
    if (values.size() > static_cast<std::size_t>(target.columnCount))
      values = values.first(static_cast<std::size_t>(target.columnCount));
    if (!AddNewRow(&target, values, row->state))
      return refusal.StatusOf(false, Format("a row of %s could not be added", tableName));
    if (!progress.Step())
      return LogFailure(Status::Code::kInterrupted, "Loading table %s stopped: it was cancelled.\n", tableName);
  }
  progress.Finish();
  return Status::Ok();
}

// The rows of a select on the table's data source into rows; a failure
// with the connection's or the database's reason when there are none.
Status QueryRows(const char* tableName, const char* sql, DBResultSetPtr& rows, const char* failure) {
  const FailureCapture refusal;
  TableQueryResult query = QueryTableSource(tableName, sql);
  if (!query.connected) return refusal.StatusOf(false, Format("no connection for %s", tableName));
  if (!query.rows) return LogFailureAfter(refusal.StatusOf(false, ""), "%s", failure);
  rows = std::move(query.rows);
  return Status::Ok();
}

// Makes the table's data (empty) in memory.
Status MakeTable(const char* tableName) {
  const FailureCapture refusal;
  if (CreateTable(tableName)) return Status::Ok();
  return LogFailureAfter(refusal.StatusOf(false, ""), "CreateTable Failed \n");
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

Status LoadTableRows(const char* tableName) {
  return GuardMemory([&]() -> Status {
    LogTrace("\nLoading Table : %s\n", LogText(tableName));
    if (!tableName) return Status::Failure("no table named", Status::Code::kInvalid);
    DBResultSetPtr rows;
    const std::string failure = Format("Error in executing select query for %s\n", tableName);
    if (Status queried = QueryRows(tableName, Format("select * from %s", tableName).c_str(), rows, failure.c_str());
        !queried.ok())
      return queried;
    const TableDefn* definition = GetTableDefn(tableName);
    if (!definition)
      return LogFailure(Status::Code::kNotFound, "Error in getting Table Definition for %s\n", tableName);
    // Only the number of columns is compared, not their names or types.
    if (rows->columnCount() != definition->columnCount())
      return LogFailure(
          Status::Code::kInvalid,
          "\nLoadTable Failed for %s table as there is mismatch between table definition in datadictionary and "
          "actual table in database\n",
          tableName);
    if (Status made = MakeTable(tableName); !made.ok()) return made;
    return AddResultRows(*rows, *GetTableDataByName(tableName), tableName);
  });
}

Status LoadTableRowsByQuery(const char* tableName, const char* query) {
  return GuardMemory([&]() -> Status {
    LogTrace("\nLoading Table : %s\n", LogText(tableName));
    LogTrace("\nSelect Query  : %s\n", LogText(query));
    if (!tableName || !query) return Status::Failure("no table or no query", Status::Code::kInvalid);
    if (Status made = MakeTable(tableName); !made.ok()) return made;
    DBResultSetPtr rows;
    if (Status queried = QueryRows(tableName, query, rows, kQueryFailed); !queried.ok()) return queried;
    return AddResultRows(*rows, *GetTableDataByName(tableName), tableName);
  });
}

bool LoadTable(const char* tableName) { return LoadTableRows(tableName).ok(); }

bool LoadTableByQuery(const char* tableName, const char* query) {
  return LoadTableRowsByQuery(tableName, query).ok();
}

bool LoadViewByQuery(const char* viewName, const char* tableName, const char* query) {
  return GuardMemory([&]() -> bool {
    LogTrace("\nLoading View Data : %s\n", LogText(viewName));
    if (!viewName || !tableName || !query) return false;
    DBResultSetPtr rows;
    if (!QueryRows(tableName, query, rows, kQueryFailed).ok()) return false;
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
    return AddResultRows(*rows, *GetTableDataByName(viewName), tableName).ok();
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
