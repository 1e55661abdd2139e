// A query result's current row as the stored values of a dictionary table.
// A value comes over as the result column's type; when the table keeps the
// column in another type (a Boolean that the database reports as text or as
// a small integer, a date kept as text), the value is converted to the
// table's type so that it reads back as it was written.

#include "base/log_writer.h"
#include "db/sql_builder.h"
#include "db/sql_dialect.h"
#include "db/value_reading.h"
#include "store/column_types.h"
#include "store/data_dictionary.h"
#include "store/date_time.h"

namespace kv {
namespace {

// Result types whose values are their own text.
bool IsTextual(std::uint8_t type) {
  return type == TARN_SQL_NOT_SUPPORTED_TYPE || type == TARN_SQL_DECIMAL || type == TARN_SQL_NUMERIC ||
         IsTextType(type) || type == TARN_SQL_BLOB || type == TARN_SQL_CLOB;
}

// A date, time or date-time read from text in the form of its column
// (stored lengths 4, 3 and 11).
bool ParseDateTimeColumn(std::string_view text, std::uint8_t type, TypedValueBuffer& out) {
  if (const auto date = type == TARN_SQL_DATE ? ParseTarnDate(text) : std::nullopt) {
    out.SetFixed(&*date, TARN_DATE_LENGTH);
    return true;
  }
  if (const auto time = type == TARN_SQL_TIME ? ParseTarnTime(text) : std::nullopt) {
    out.SetFixed(&*time, TARN_TIME_LENGTH);
    return true;
  }
  const auto value = ConvertStringToTarnDateTime(text.data(), text.size());
  if (!value) return false;
  out.SetFixed(&*value, TARN_DATETIME_LENGTH);
  return true;
}

// The value in the table's type; false when it has no such form.
bool ConvertValue(const StoredValue& value, std::uint8_t from, std::uint8_t to, TypedValueBuffer& out) {
  ValueTextBuffer scratch;
  std::optional<std::string_view> text;
  if (IsTextual(from)) {
    text = value.Bytes();
  } else if (from == TARN_SQL_BOOLEAN) {
    text = value.length >= 1 && value.data[0] == 1 ? "1" : "0";
  } else {
    text = TypedValueText(value.data, value.length, from, scratch);
  }
  if (!text) return false;
  if (IsDateTimeType(to)) return ParseDateTimeColumn(*text, to, out);
  return ParseDatabaseValue(*text, to, out);
}

}  // namespace

std::optional<StoredValue> ResultValueAs(const StoredValue& value, std::uint8_t from, std::uint8_t to,
                                         TypedValueBuffer& out) {
  if (value.IsNull() || to == from || to == TARN_SQL_NOT_SUPPORTED_TYPE) return value;
  if (!ConvertValue(value, from, to, out)) return std::nullopt;
  return out.value();
}

std::unique_ptr<RowValues> SQLDialect::ConvertResultRow(const DBResultSet& result, const char* tableName) const {
  return GuardMemory([&]() -> std::unique_ptr<RowValues> {
    LogTrace("@@@ Inside %sConvResultsetToRowobject @@@\n", rules_.logPrefix);
    const std::int32_t row = result.cursor();
    if (row < 0 || row >= result.rowCount()) return nullptr;
    std::vector<const ColumnDefn*> targets;
    if (const TableDefn* definition = GetTableDefn(tableName))
      for (const ColumnDefn& column : definition->columns) targets.push_back(&column);
    auto converted = std::make_unique<RowValues>();
    converted->values.resize(static_cast<std::size_t>(result.columnCount()));
    for (std::int32_t column = 0; column < result.columnCount(); ++column) {
      const StoredValue value = result.Value(row, column);
      if (value.IsNull()) continue;
      const std::uint8_t from = result.columns()[static_cast<std::size_t>(column)].type;
      const ColumnDefn* target =
          static_cast<std::size_t>(column) < targets.size() ? targets[static_cast<std::size_t>(column)] : nullptr;
      TypedValueBuffer buffer;
      const std::optional<StoredValue> stored = ResultValueAs(value, from, target ? target->type : from, buffer);
      if (!stored) {
        LogError("Cannot convert column %s of table %s\n", target->name.c_str(), LogText(tableName));
        return nullptr;
      }
      const char* copy = converted->bytes.CopyBytes(stored->data, static_cast<std::size_t>(stored->length));
      if (!copy) return nullptr;
      converted->values[static_cast<std::size_t>(column)] = StoredValue{copy, stored->length};
    }
    return converted;
  });
}

}  // namespace kv
