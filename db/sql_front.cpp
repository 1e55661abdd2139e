#include "db/sql_front.h"

#include "base/log_writer.h"
#include "base/text_format.h"
#include "db/database_state.h"
#include "db/db_statements.h"
#include "store/data_dictionary.h"

namespace kv {
namespace {

// A generated text, logged at DEBUG as "Generated <kind> Query: <text>".
std::optional<std::string> Logged(const char* kind, std::optional<std::string> text) {
  if (text) LogDebug("Generated %s Query: %s\n", kind, text->c_str());
  return text;
}

}  // namespace

const char* GetDataSourceOfTable(const char* tableName) {
  if (!DatabaseAccess().perTableDataSources) return GetDefaultConnectionName();
  const DataSourceMapEntry* entry = GetDataSourceMapEntry(tableName);
  if (!entry) {
    LogError("No DataSourceMap Entry for Table name %s \n", LogText(tableName));
    return nullptr;
  }
  return entry->dataSourceName.c_str();
}

const SQLDialect* GetDialectOfTable(const char* tableName) {
  const DatabaseAccessState& state = DatabaseAccess();
  const char* dialectName = nullptr;
  if (state.perTableDataSources) {
    const DataSourceMapEntry* entry = GetDataSourceMapEntry(tableName);
    if (!entry) {
      LogError("No DataSourceMap Entry for Table name %s \n", LogText(tableName));
      return nullptr;
    }
    const ConnParamsEntry* parameters = GetConnParamsEntry(entry->dataSourceName.c_str());
    if (!parameters) {
      LogError("dbConnPtr is NULL for Connection Name %s \n", entry->dataSourceName.c_str());
      return nullptr;
    }
    dialectName = parameters->databaseType.c_str();
  } else {
    dialectName = DefaultDialectName(state.defaultDialectIndex);
  }
  const SQLDialect* dialect = FindSQLDialect(dialectName);
  if (!dialect) LogError("No SQL dialect %s for table %s\n", LogText(dialectName), LogText(tableName));
  return dialect;
}

std::optional<std::string> GenerateSelectQuery(const SelectQuery* query) {
  if (!query) return std::nullopt;
  const char* table = SelectQueryTable(*query);
  if (!table) {
    LogError("No Tables selected in select query.\n");
    return std::nullopt;
  }
  const SQLDialect* dialect = GetDialectOfTable(table);
  if (!dialect) return std::nullopt;
  return Logged("Select", dialect->SelectText(*query));
}

std::optional<std::string> GenerateUpdateQuery(const char* tableName, std::span<const StoredValue> row,
                                               std::span<const std::uint8_t> setColumns) {
  const SQLDialect* dialect = GetDialectOfTable(tableName);
  if (!dialect) return std::nullopt;
  return Logged("Update", dialect->UpdateText(tableName, row, setColumns));
}

std::optional<std::string> GenerateInsertQuery(const char* tableName, std::span<const StoredValue> row) {
  const SQLDialect* dialect = GetDialectOfTable(tableName);
  if (!dialect) return std::nullopt;
  return Logged("Insert", dialect->InsertText(tableName, row));
}

std::optional<std::string> GenerateDeleteQuery(const char* tableName, std::span<const StoredValue> row) {
  const SQLDialect* dialect = GetDialectOfTable(tableName);
  if (!dialect) return std::nullopt;
  return Logged("Delete", dialect->DeleteText(tableName, row));
}

std::optional<std::string> GenerateCreateTableQuery(const char* tableName) {
  const SQLDialect* dialect = GetDialectOfTable(tableName);
  if (!dialect) return std::nullopt;
  return Logged("Create Table", dialect->CreateTableText(tableName));
}

std::unique_ptr<RowValues> ConvertResultSetToRow(const DBResultSet* result, const char* tableName) {
  const SQLDialect* dialect = result ? GetDialectOfTable(tableName) : nullptr;
  return dialect ? dialect->ConvertResultRow(*result, tableName) : nullptr;
}

bool CreateTables() {
  for (const TableDefn& definition : DataDictionary().gv_tableDefnVect) {
    const char* table = definition.name.c_str();
    const std::optional<std::string> sql = GenerateCreateTableQuery(table);
    const char* source = GetDataSourceOfTable(table);
    if (!sql || !source) return false;
    const PooledConnection handle(source);
    if (!handle || !ExecuteUpdate(handle.get(), sql->c_str())) return false;
  }
  return true;
}

bool CreateDB(const char* name) {
  LogTrace("@@ Inside CreateDB @@\n");
  const PooledConnection handle(nullptr);
  if (!handle) {
    LogError("Cannot create DB.  Connection not established.\n");
    return false;
  }
  const std::string sql = Format("create database %s", LogText(name));
  const bool created = ExecuteUpdate(handle.get(), sql.c_str());
  if (!created) LogError("Cannot create database %s.\n", LogText(name));
  return created;
}

}  // namespace kv
