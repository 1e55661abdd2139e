// The update, insert and delete texts of a row of a dictionary table. A row
// is the table's values in dictionary column order; a null value is NULL.

#include <algorithm>

#include "base/log_writer.h"
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

}  // namespace

std::optional<std::string> SQLDialect::UpdateText(const char* tableName, std::span<const StoredValue> row,
                                                  std::span<const std::uint8_t> setColumns) const {
  return GuardMemory([&]() -> std::optional<std::string> {
    TraceInside(rules_, "GenUpdateQuery");
    const TableDefn* definition = ColumnsOf(tableName);
    if (!definition) return std::nullopt;
    SqlBuilder set(256, 256), where(128, 128);
    std::size_t index = 0;
    for (const ColumnDefn& column : definition->columns) {
      const std::size_t position = index++;
      const StoredValue value = ValueAt(row, position);
      if (IsKeyColumn(*definition, column.name)) {
        LogTrace("@@@ Update Query has Primary Key in Set clause @@@\n");
        // A key whose value is NULL names no row: it is left out.
        if (value.IsNull()) continue;
        const auto literal = SqlLiteral(value, column.type, rules_,
                                        rules_.quoteEveryUpdateKey ? LiteralQuoting::kAlways : LiteralQuoting::kByType);
        if (!literal) {
          LogError("%s", kUnsupported);
          return std::nullopt;
        }
        where << (where.length() ? " and " : "") << column.name << "=" << *literal;
        continue;
      }
      if (!setColumns.empty() && (position >= setColumns.size() || !setColumns[position])) continue;
      const auto literal = SqlLiteral(value, column.type, rules_);
      if (!literal) {
        LogError("%s", kUnsupported);
        return std::nullopt;
      }
      set << (set.length() ? "," : "") << column.name << "=" << *literal;
    }
    SqlBuilder sql;
    sql << "update " << tableName << " set " << set.view();
    if (where.length()) sql << " where " << where.view();
    LogTrace("Update query is @@@%s%s\n", rules_.updateLogSeparator, sql.c_str());
    if (set.failed() || where.failed()) {
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
    if (!definition) return std::nullopt;
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
    SqlBuilder where(128, 128);
    std::size_t index = 0;
    for (const ColumnDefn& column : definition->columns) {
      const StoredValue value = ValueAt(row, index++);
      if (!IsKeyColumn(*definition, column.name)) continue;
      const auto literal = SqlLiteral(value, column.type, rules_);
      if (!literal) {
        LogError("%s", kUnsupported);
        return std::nullopt;
      }
      where << (where.length() ? " and " : "") << column.name << "=" << *literal;
    }
    // Without a key there is no telling the row from the others: a delete
    // without conditions would empty the table.
    if (!where.length()) {
      LogError("No Primary Key to delete a row of table %s\n", tableName);
      return std::nullopt;
    }
    SqlBuilder sql;
    sql << "delete from " << tableName << " "
        << " where " << where.view();
    LogTrace("Delete query is @@@%s\n", sql.c_str());
    if (where.failed()) {
      LogError("%s", kMemory);
      return std::nullopt;
    }
    return sql.Take(kMemory);
  });
}

}  // namespace kv
