#pragma once
// SQL texts for the store's tables in the dialect of each table's data
// source, and the statements that make the store's tables and databases.

#include <memory>
#include <optional>
#include <span>
#include <string>

#include "db/db_result_set.h"
#include "db/select_query.h"
#include "db/sql_dialect.h"
#include "store/stored_value.h"

namespace kv {

// The connection name of the table's data source: its map entry with
// per-table data sources on, else the first parameter entry's. Null
// (logged) when there is none.
const char* GetDataSourceOfTable(const char* tableName);
// The dialect that writes the table's texts; null (logged) when there is none.
const SQLDialect* GetDialectOfTable(const char* tableName);

// New texts, or nothing (logged).
std::optional<std::string> GenerateSelectQuery(const SelectQuery* query);
// setColumns as for SQLDialect::UpdateText.
std::optional<std::string> GenerateUpdateQuery(const char* tableName, std::span<const StoredValue> row,
                                               std::span<const std::uint8_t> setColumns = {});
std::optional<std::string> GenerateInsertQuery(const char* tableName, std::span<const StoredValue> row);
std::optional<std::string> GenerateDeleteQuery(const char* tableName, std::span<const StoredValue> row);
std::optional<std::string> GenerateCreateTableQuery(const char* tableName);
// The result's current row as the table's stored values.
std::unique_ptr<RowValues> ConvertResultSetToRow(const DBResultSet* result, const char* tableName);

// Creates every dictionary table in its data source, in dictionary order;
// false at the first that fails.
[[nodiscard]] bool CreateTables();
// "create database <name>" on the default connection.
[[nodiscard]] bool CreateDB(const char* name);

}  // namespace kv
