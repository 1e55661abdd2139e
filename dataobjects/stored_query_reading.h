#pragma once
// Reading the tables that hold stored queries: each statement runs on the
// data source that the data-source map gives the table it reads, and its
// values are taken as numbers or texts whatever type the database keeps
// them in.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/db_result_set.h"

namespace kv {

// statement followed by the number (a statement of the form "... = %d"),
// run on the table's data source; null (logged) when it fails.
DBResultSetPtr QueryStoredTable(const char* table, const char* statement, std::int32_t number);

// A value of a result as a text (integers in decimal); nothing for NULL.
std::optional<std::string> ResultText(const DBResultSet& result, std::int32_t row, std::int32_t column);
// A value of a result as a number: an integer, or a text that is one.
// Nothing for NULL; wrongType is set when the value is no number.
std::optional<std::int32_t> ResultNumber(const DBResultSet& result, std::int32_t row, std::int32_t column,
                                         bool& wrongType);

// The numbers in the first column of every row of the statement; nothing
// when it fails or a value is no number (logged).
std::optional<std::vector<std::int32_t>> ReadStoredNumbers(const char* table, const char* statement,
                                                           std::int32_t number);
// The first column of the first row of the statement; false when the
// statement fails, text without a value when there is no row or it is NULL.
[[nodiscard]] bool ReadStoredText(const char* table, const char* statement, std::int32_t number,
                                  std::optional<std::string>& text);
// The same as a number; false also when the value is no number.
[[nodiscard]] bool ReadStoredNumber(const char* table, const char* statement, std::int32_t number,
                                    std::optional<std::int32_t>& value);

}  // namespace kv
