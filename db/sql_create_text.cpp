// The CREATE TABLE text of a dictionary table: its columns in dictionary
// order with the dialect's type words, its primary key and its foreign keys
// grouped by referenced table.

#include <vector>

#include "base/log_writer.h"
#include "db/sql_builder.h"
#include "db/sql_dialect.h"
#include "db/sql_literal.h"
#include "store/column_types.h"
#include "store/data_dictionary.h"
#include "store/foreign_key_groups.h"
#include "store/sql_identifier.h"

namespace kv {
namespace {

constexpr const char* kDashLine = "---------------------------------------\n\n";
constexpr const char* kStarLine = "********************************\n";
// A character column whose dictionary entry gives no usable size gets the
// largest size it can have before it would be stored as text.
constexpr std::int32_t kUnsizedVarchar = 255;

void TraceDefinition(const TableDefn& definition) {
  LogTrace("Table Name : %s\n", definition.name.c_str());
  LogTrace("Description: %s\n", LogText(definition.description));
  LogTrace("%s", kDashLine);
  for (const ColumnDefn& column : definition.columns) {
    LogTrace("Column Name : %s\n", column.name.c_str());
    LogTrace("Column Type : %d\n", column.type);
    LogTrace("Unique Flag : %s\n", column.unique ? "TRUE" : "FALSE");
    LogTrace("Description : %s\n", LogText(column.description));
    LogTrace("%s", kDashLine);
  }
}

// "DEFAULT ..." of a column that has a default, else " ".
std::optional<std::string> DefaultPart(const ColumnDefn& column, DefaultKind kind, const DialectRules& rules) {
  if (!column.defaultValue) return std::string(" ");
  const std::uint8_t type = kind == DefaultKind::kText ? std::uint8_t{TARN_SQL_VARCHAR} : column.type;
  std::optional<std::string> literal = SqlLiteral(column.DefaultValue(), type, rules);
  if (!literal) return std::nullopt;
  return "DEFAULT " + *literal;
}

// The column's line, or an empty text for a type the dialect has no column
// for; nothing when its default cannot be written.
std::optional<std::string> ColumnText(const ColumnDefn& column, const DialectRules& rules) {
  const ColumnTypeText& text = column.type <= TARN_SQL_LAST_TYPE ? rules.columnTypes[column.type] : ColumnTypeText{};
  if (!text.type) return std::string();
  std::string line = "\t" + column.name + " " + text.type;
  if (text.sized) {
    const std::int32_t size = column.maxSize > 0 ? column.maxSize : kUnsizedVarchar;
    line += "(" + std::to_string(size + rules.varcharExtra) + ")";
  }
  if (text.defaultKind != DefaultKind::kNone) {
    const std::optional<std::string> part = DefaultPart(column, text.defaultKind, rules);
    if (!part) return std::nullopt;
    line += " " + *part;
  }
  line += text.tail;
  if (!column.nullable) line += " NOT NULL";
  if (column.unique) line += " UNIQUE";
  return line;
}

void AppendForeignKeys(SqlBuilder& sql, const TableDefn& definition, const VectorOf<ForeignKeyDefn>& keys,
                       const DialectRules& rules) {
  LogTrace("Foreign key Constraints\n");
  LogTrace("%s", kStarLine);
  if (!rules.foreignKeyIndexes) {
    for (const ForeignKeyDefn& key : keys) {
      LogTrace("Column Name : %s\n", key.localColumn.c_str());
      LogTrace("Ref Column  : %s\n", key.referenceColumn.c_str());
      LogTrace("Tablename : %s\n", key.referenceTable.c_str());
    }
  }
  sql << ",\n";
  int number = 0;
  for (const auto& group : ForeignKeyGroups(keys)) {
    std::string local, reference;
    for (const ForeignKeyDefn* key : group) {
      local += (local.empty() ? "" : ",") + key->localColumn;
      reference += (reference.empty() ? "" : ",") + key->referenceColumn;
    }
    if (number) sql << ",\n";
    sql << "\tFOREIGN KEY(" << local << ") REFERENCES " << group.front()->referenceTable << " (" << reference
        << ") ON DELETE CASCADE";
    if (rules.foreignKeyIndexes)
      sql.AddFormat(",\n\tINDEX %s_IDX%d (%s)", definition.name.c_str(), number, local.c_str());
    ++number;
  }
}

}  // namespace

std::optional<std::string> SQLDialect::CreateTableText(const char* tableName) const {
  return GuardMemory([&]() -> std::optional<std::string> {
    if (rules_.logInsideLines) LogTrace("@@@ Inside %sGenCreateQuery @@@\n", rules_.logPrefix);
    const TableDefn* definition = GetTableDefn(tableName);
    if (!definition || definition->columns.Empty()) {
      if (tableName) LogError("No definition found for table %s\n", tableName);
      return std::nullopt;
    }
    if (const std::string* unfit = FirstUnfitName(*definition, rules_.maxIdentifierLength)) {
      LogError("Name %s in table %s is not a %s identifier: the table is not created\n", unfit->c_str(),
               definition->name.c_str(), rules_.name);
      return std::nullopt;
    }
    TraceDefinition(*definition);
    // A column the dialect has no type for is left out with its separator,
    // so that the rest of the table can still be made.
    std::vector<std::string> columns;
    for (const ColumnDefn& column : definition->columns) {
      std::optional<std::string> line = ColumnText(column, rules_);
      if (!line) {
        LogError("Unsupported Datatype Used in Query generation.\n");
        return std::nullopt;
      }
      if (!line->empty()) columns.push_back(std::move(*line));
    }
    const ConstraintDefn* constraints = definition->constraints.get();
    const bool hasKey = constraints && !constraints->primaryKeys.empty();
    SqlBuilder sql(1024, 512);
    sql << "CREATE TABLE " << definition->name << "(\n";
    for (std::size_t i = 0; i < columns.size(); ++i)
      sql << columns[i] << (i + 1 < columns.size() || hasKey ? ",\n" : "");
    if (hasKey) {
      sql << "\tPRIMARY KEY(";
      for (std::size_t i = 0; i < constraints->primaryKeys.size(); ++i) {
        LogTrace("Primary key : %s\n\n", constraints->primaryKeys[i].c_str());
        sql << (i ? ", " : "") << constraints->primaryKeys[i];
      }
      sql << ")";
    }
    if (constraints && constraints->foreignKeys && !constraints->foreignKeys->Empty())
      AppendForeignKeys(sql, *definition, *constraints->foreignKeys, rules_);
    sql << rules_.createEnd;
    LogTrace("Create query is\n%s\n", sql.c_str());
    return sql.Take("MEMORY_ALLOCATION_FAILURE\n");
  });
}

}  // namespace kv
