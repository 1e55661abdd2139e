// The update, insert and delete texts of a row of a dictionary table. A row
// is the table's values in dictionary column order; a null value is NULL.

#include <algorithm>

#include "base/log_writer.h"
#include "db/row_key.h"
#include "db/sql_builder.h"
#include "db/sql_dialect.h"
#include "db/sql_literal.h"
#include "store/data_dictionary.h"

namespace kv {
namespace {

constexpr const char* kUnsupported = "Unsupported Datatype Used in Query generation.\n";
constexpr const char* kMemory = "MEMORY_ALLOCATION_FAILURE - Cannot generate insert query.\n";

void TraceInside(const DialectRules& rules, const char* operation) {
  if (rules.logInsideLines) LogTrace("@@@ Inside %s%s @@@\n", rules.logPrefix, operation);
}

// The definition of a table that has columns, else null (logged).
const TableDefn* ColumnsOf(const char* tableName) {
  const TableDefn* definition = GetTableDefn(tableName);
  if (!definition) {
    if (tableName) LogError("No definition found for table %s\n", tableName);
    return nullptr;
  }
  if (definition->columns.Empty()) {
    LogError("No columns in table %s\n", tableName);
    return nullptr;
  }
  return definition;
}

bool IsKeyColumn(const TableDefn& definition, const std::string& name) {
  const auto& keys = definition.constraints ? definition.constraints->primaryKeys : std::vector<std::string>();
  return std::find(keys.begin(), keys.end(), name) != keys.end();
}

// The value of column index of a row that may be shorter than the table.
StoredValue ValueAt(std::span<const StoredValue> row, std::size_t index) {
  return index < row.size() ? row[index] : StoredValue{};
}

// "K1=v1 and K2=v2" over the table's key columns, or nothing (logged) when
// the row cannot be named by its key or a key value has no text.
std::optional<std::string> KeyCondition(const TableDefn& definition, std::span<const StoredValue> row,
                                        const DialectRules& rules, LiteralQuoting quoting, const char* operation) {
  if (!RowHasKey(definition, row, operation)) return std::nullopt;
  SqlBuilder where(128, 128);
  std::size_t index = 0;
  for (const ColumnDefn& column : definition.columns) {
    const StoredValue value = ValueAt(row, index++);
    if (!IsKeyColumn(definition, column.name)) continue;
    const auto literal = SqlLiteral(value, column.type, rules, quoting);
    if (!literal) {
      LogError("%s", kUnsupported);
      return std::nullopt;
    }
    where << (where.length() ? " and " : "") << column.name << "=" << *literal;
  }
  if (where.failed()) {
    LogError("%s", kMemory);
    return std::nullopt;
  }
  if (!where.length()) {
    LogError("No Primary Key to %s a row of table %s\n", operation, definition.name.c_str());
    return std::nullopt;
  }
  return std::string(where.view());
}

}  // namespace

std::optional<std::string> SQLDialect::UpdateText(const char* tableName, std::span<const StoredValue> row,
                                                  std::span<const std::uint8_t> setColumns) const {
  return GuardMemory([&]() -> std::optional<std::string> {
    TraceInside(rules_, "GenUpdateQuery");
    const TableDefn* definition = ColumnsOf(tableName);
    if (!definition) return std::nullopt;
    const std::optional<std::string> where =
        KeyCondition(*definition, row, rules_,
                     rules_.quoteEveryUpdateKey ? LiteralQuoting::kAlways : LiteralQuoting::kByType, "update");
    if (!where) return std::nullopt;
    SqlBuilder set(256, 256);
    std::size_t index = 0;
    for (const ColumnDefn& column : definition->columns) {
      const std::size_t position = index++;
      if (IsKeyColumn(*definition, column.name)) {
        LogTrace("@@@ Update Query has Primary Key in Set clause @@@\n");
        continue;
      }
      if (!setColumns.empty() && (position >= setColumns.size() || !setColumns[position])) continue;
      const auto literal = SqlLiteral(ValueAt(row, position), column.type, rules_);
      if (!literal) {
        LogError("%s", kUnsupported);
        return std::nullopt;
      }
      set << (set.length() ? "," : "") << column.name << "=" << *literal;
    }
    SqlBuilder sql;
    sql << "update " << tableName << " set " << set.view() << " where " << *where;
    LogTrace("Update query is @@@%s%s\n", rules_.updateLogSeparator, sql.c_str());
    if (set.failed()) {
      LogError("%s", kMemory);
      return std::nullopt;
    }
    return sql.Take(kMemory);
  });
}

std::optional<std::string> SQLDialect::InsertText(const char* tableName, std::span<const StoredValue> row) const {
  return GuardMemory([&]() -> std::optional<std::string> {
    TraceInside(rules_, "GenInsertQuery");
    const TableDefn* definition = ColumnsOf(tableName);
    if (!definition || !KeyHasValues(*definition, row, "insert")) return std::nullopt;
    SqlBuilder sql;
    sql << "insert into  " << tableName << " values(";
    std::size_t index = 0;
    for (const ColumnDefn& column : definition->columns) {
      const auto literal = SqlLiteral(ValueAt(row, index), column.type, rules_);
      if (!literal) {
        LogError("%s", kUnsupported);
        return std::nullopt;
      }
      sql << (index++ ? "," : "") << *literal;
    }
    sql << rules_.insertEnd;
    if (rules_.logInsertText) LogTrace("Insert query is @@@%s\n", sql.c_str());
    return sql.Take(kMemory);
  });
}

std::optional<std::string> SQLDialect::DeleteText(const char* tableName, std::span<const StoredValue> row) const {
  return GuardMemory([&]() -> std::optional<std::string> {
    TraceInside(rules_, rules_.deleteOperation);
    const TableDefn* definition = ColumnsOf(tableName);
    if (!definition) return std::nullopt;
    const std::optional<std::string> where = KeyCondition(*definition, row, rules_, LiteralQuoting::kByType, "delete");
    if (!where) return std::nullopt;
    SqlBuilder sql;
    sql << "delete from " << tableName << " "
        << " where " << *where;
    LogTrace("Delete query is @@@%s\n", sql.c_str());
    return sql.Take(kMemory);
  });
}

}  // namespace kv
