#include "db/db_result_set.h"

#include <new>

#include "base/log_writer.h"
#include "store/column_types.h"
#include "store/typed_value.h"
#include "store/value_text.h"

namespace kv {

DBResultSet::DBResultSet(std::vector<DBColumnDescriptor> columns) : columns_(std::move(columns)) {}

bool DBResultSet::AddRow() {
  try {
    values_.resize(values_.size() + columns_.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  ++rowCount_;
  return true;
}

bool DBResultSet::SetValue(std::int32_t column, std::string_view bytes) {
  if (rowCount_ == 0 || column < 0 || column >= columnCount()) return false;
  const char* copy = bytes_.CopyBytes(bytes.data(), bytes.size());
  if (!copy) return false;
  values_[static_cast<std::size_t>(rowCount_ - 1) * columns_.size() + static_cast<std::size_t>(column)] =
      StoredValue{copy, static_cast<std::int32_t>(bytes.size())};
  return true;
}

StoredValue DBResultSet::Value(std::int32_t row, std::int32_t column) const {
  if (row < 0 || row >= rowCount_ || column < 0 || column >= columnCount()) return StoredValue{};
  return values_[static_cast<std::size_t>(row) * columns_.size() + static_cast<std::size_t>(column)];
}

bool GetNextResultRow(DBResultSet* result) {
  if (!result) return false;
  const std::int32_t next = result->cursor() + 1;
  if (next >= result->rowCount()) {
    result->SetCursor(result->rowCount());
    return false;
  }
  result->SetCursor(next);
  return true;
}

void ResetResultSetCursor(DBResultSet* result) {
  if (result) result->SetCursor(-1);
}

std::int32_t FindResultSetColumn(const DBResultSet* result, const char* columnName) {
  if (!result || !columnName) return -1;
  for (std::int32_t i = 0; i < result->columnCount(); ++i)
    if (SafeStrICmp(result->columns()[static_cast<std::size_t>(i)].name.c_str(), columnName) == 0) return i;
  return -1;
}

const char* GetResultSetValue(const DBResultSet* result, const char* columnName, std::int32_t* length) {
  if (length) *length = 0;
  const std::int32_t column = FindResultSetColumn(result, columnName);
  if (column < 0) return nullptr;
  const StoredValue value = result->Value(result->cursor(), column);
  if (length) *length = value.length;
  return value.data;
}

std::uint8_t GetResultSetColumnType(const DBResultSet* result, const char* columnName) {
  const std::int32_t column = FindResultSetColumn(result, columnName);
  return column < 0 ? 0 : result->columns()[static_cast<std::size_t>(column)].type;
}

const char* GetResultSetColumnName(const DBResultSet* result, std::int32_t index) {
  if (!result || index < 0 || index >= result->columnCount()) return nullptr;
  return result->columns()[static_cast<std::size_t>(index)].name.c_str();
}

void PrintResultSet(const DBResultSet* result) {
  if (!result) return;
  std::string line;
  for (const DBColumnDescriptor& column : result->columns()) line += column.name + "\t";
  LogDebug("%s\n", line.c_str());
  for (std::int32_t row = 0; row < result->rowCount(); ++row) {
    line.clear();
    for (std::int32_t column = 0; column < result->columnCount(); ++column) {
      const StoredValue value = result->Value(row, column);
      const std::uint8_t type = result->columns()[static_cast<std::size_t>(column)].type;
      ValueTextBuffer scratch;
      std::optional<std::string_view> text;
      if (value.IsNull())
        text = "NULL";
      else if (type == TARN_SQL_BOOLEAN)
        text = value.length >= 1 && value.data[0] == 1 ? "1" : "0";
      else if (IsSignedIntegerType(type) || IsUnsignedIntegerType(type) || IsDateTimeType(type) ||
               type == TARN_SQL_FLOAT || type == TARN_SQL_DOUBLE || type == TARN_SQL_REAL)
        // Numbers at the width they are stored with, never wider.
        text = TypedValueText(value.data, value.length, type, scratch);
      if (!text) text = std::string_view(value.data ? value.data : "");
      line.append(text->data(), text->size()).push_back('\t');
    }
    LogDebug("%s\n", line.c_str());
  }
}

void FreeResultSet(DBResultSetPtr result) { result.reset(); }

}  // namespace kv
