#include "dataobjects/stored_query_reading.h"

#include <charconv>

#include "base/log_writer.h"
#include "db/connection_pool.h"
#include "db/db_statements.h"
#include "db/sql_front.h"
#include "store/column_types.h"
#include "store/typed_value.h"

namespace kv {
namespace {

std::string Statement(const char* statement, std::int32_t number) {
  return std::string(statement) + std::to_string(number);
}

}  // namespace

DBResultSetPtr QueryStoredTable(const char* table, const char* statement, std::int32_t number) {
  const std::string sql = Statement(statement, number);
  const char* source = GetDataSourceOfTable(table);
  const PooledConnection handle(source);
  if (!source || !handle) {
    LogError("Cannot read table %s: no connection.\n", table);
    return nullptr;
  }
  DBResultSetPtr result = ExecuteQuery(handle.get(), sql.c_str());
  if (!result) LogError("Query failed: %s\n", sql.c_str());
  return result;
}

std::optional<std::string> ResultText(const DBResultSet& result, std::int32_t row, std::int32_t column) {
  const StoredValue value = result.Value(row, column);
  if (value.IsNull()) return std::nullopt;
  const std::uint8_t type = result.columns()[static_cast<std::size_t>(column)].type;
  if (IsSignedIntegerType(type) || IsUnsignedIntegerType(type)) {
    ValueTextBuffer scratch;
    const std::optional<std::string_view> text = TypedValueText(value.data, value.length, type, scratch);
    if (text) return std::string(*text);
  }
  const std::string_view bytes = value.Bytes();
  return std::string(bytes.substr(0, bytes.find('\0')));
}

std::optional<std::int32_t> ResultNumber(const DBResultSet& result, std::int32_t row, std::int32_t column,
                                         bool& wrongType) {
  wrongType = false;
  const std::optional<std::string> text = ResultText(result, row, column);
  if (!text) return std::nullopt;
  std::string_view digits(*text);
  while (!digits.empty() && digits.back() == ' ') digits.remove_suffix(1);
  std::int32_t number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) {
    wrongType = true;
    return std::nullopt;
  }
  return number;
}

std::optional<std::vector<std::int32_t>> ReadStoredNumbers(const char* table, const char* statement,
                                                           std::int32_t number) {
  DBResultSetPtr result = QueryStoredTable(table, statement, number);
  if (!result) return std::nullopt;
  std::vector<std::int32_t> numbers;
  for (std::int32_t row = 0; row < result->rowCount() && result->columnCount() > 0; ++row) {
    bool wrongType = false;
    const std::optional<std::int32_t> value = ResultNumber(*result, row, 0, wrongType);
    if (wrongType) {
      LogError("%s%d: %s is not a number.\n", statement, number, ResultText(*result, row, 0)->c_str());
      return std::nullopt;
    }
    if (value) numbers.push_back(*value);
  }
  return numbers;
}

bool ReadStoredText(const char* table, const char* statement, std::int32_t number, std::optional<std::string>& text) {
  text.reset();
  DBResultSetPtr result = QueryStoredTable(table, statement, number);
  if (!result) return false;
  if (result->rowCount() > 0 && result->columnCount() > 0) text = ResultText(*result, 0, 0);
  return true;
}

bool ReadStoredNumber(const char* table, const char* statement, std::int32_t number,
                      std::optional<std::int32_t>& value) {
  value.reset();
  DBResultSetPtr result = QueryStoredTable(table, statement, number);
  if (!result) return false;
  if (result->rowCount() == 0 || result->columnCount() == 0) return true;
  bool wrongType = false;
  value = ResultNumber(*result, 0, 0, wrongType);
  if (wrongType) LogError("%s%d: %s is not a number.\n", statement, number, ResultText(*result, 0, 0)->c_str());
  return !wrongType;
}

}  // namespace kv
