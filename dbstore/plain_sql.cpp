#include "dbstore/plain_sql.h"

#include "base/log_writer.h"
#include "db/row_key.h"
#include "db/sql_builder.h"
#include "store/column_types.h"
#include "store/typed_value.h"
#include "store/value_text.h"

namespace kv {
namespace {

// A value as the store writes it into plain SQL: NULL; a text, date or
// time between single quotes, every quote inside doubled (a date left bare
// would be read as a subtraction); a Boolean as 1 or 0 (insert) or as its
// text; anything else as its text. Nothing when the value has no text.
std::optional<std::string> PlainLiteral(const StoredValue& value, std::uint8_t type, bool booleanDigit) {
  if (value.IsNull()) return std::string("NULL");
  if (booleanDigit && type == TARN_SQL_BOOLEAN) return std::string(value.data[0] ? "1" : "0");
  ValueTextBuffer scratch;
  const std::optional<std::string_view> text = TypedValueText(value.data, value.length, type, scratch);
  if (!text) return std::nullopt;
  if (!IsTextType(type) && !IsDateTimeType(type)) return std::string(*text);
  std::string quoted = "'";
  for (const char c : *text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

// "C1=v1<separator>C2=v2...", for the columns keep() chooses. A NULL value
// in a condition is written "C IS NULL": "C=NULL" would hold for no row.
template <class Keep>
std::optional<std::string> Assignments(const TableDefn& definition, const RowObject& row, const char* separator,
                                       bool condition, Keep keep) {
  std::string text;
  std::int32_t index = 0;
  for (const ColumnDefn& column : definition.columns) {
    const StoredValue& value = row.values[index++];
    if (!keep(column)) continue;
    const std::optional<std::string> literal = PlainLiteral(value, column.type, false);
    if (!literal) return std::nullopt;
    if (!text.empty()) text += separator;
    text += column.name;
    text += condition && value.IsNull() ? " IS NULL" : "=" + *literal;
  }
  return text;
}

bool Usable(const char* tableName, const RowObject* row, const TableDefn* definition) {
  return tableName && row && row->values && definition && !definition->columns.Empty();
}

std::span<const StoredValue> ValuesOf(const RowObject& row, const TableDefn& definition) {
  return std::span(row.values, static_cast<std::size_t>(definition.columnCount()));
}

bool IsKey(const TableDefn& definition, const std::string& name) {
  if (!definition.constraints) return false;
  for (const std::string& key : definition.constraints->primaryKeys)
    if (AsciiEqualsNoCase(key, name)) return true;
  return false;
}

}  // namespace

std::optional<std::string> MakeUpdateQuery(const char* tableName, const RowObject* row, const TableDefn* definition) {
  return GuardMemory([&]() -> std::optional<std::string> {
    if (!Usable(tableName, row, definition) || !RowHasKey(*definition, ValuesOf(*row, *definition), "update"))
      return std::nullopt;
    const auto set = Assignments(*definition, *row, ",", false, [](const ColumnDefn&) { return true; });
    const auto where = Assignments(*definition, *row, " and ", true,
                                   [&](const ColumnDefn& column) { return IsKey(*definition, column.name); });
    if (!set || !where) return std::nullopt;
    return "update " + std::string(tableName) + " set " + *set + " where " + *where;
  });
}

std::optional<std::string> MakeInsertQuery(const char* tableName, const RowObject* row, const TableDefn* definition) {
  return GuardMemory([&]() -> std::optional<std::string> {
    if (!Usable(tableName, row, definition) || !KeyHasValues(*definition, ValuesOf(*row, *definition), "insert"))
      return std::nullopt;
    std::string text = "insert into  " + std::string(tableName) + " values(";
    std::int32_t index = 0;
    for (const ColumnDefn& column : definition->columns) {
      const std::optional<std::string> literal = PlainLiteral(row->values[index], column.type, true);
      if (!literal) return std::nullopt;
      text += (index++ ? "," : "") + *literal;
    }
    return text + ")";
  });
}

std::optional<std::string> MakeDeleteQuery(const char* tableName, const RowObject* row, const TableDefn* definition) {
  return GuardMemory([&]() -> std::optional<std::string> {
    if (!Usable(tableName, row, definition) || !RowHasKey(*definition, ValuesOf(*row, *definition), "delete"))
      return std::nullopt;
    const auto where = Assignments(*definition, *row, " and ", true, [](const ColumnDefn&) { return true; });
    if (!where) return std::nullopt;
    return "delete from " + std::string(tableName) + " where " + *where;
  });
}

}  // namespace kv
