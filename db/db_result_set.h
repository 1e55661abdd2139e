#pragma once
// The result of a query as a provider hands it over: the columns with their
// store type codes, every row's values in column order (a value is a copy
// of its bytes with their length; SQL NULL is no value), and a cursor.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/memory_pool.h"
#include "store/stored_value.h"

namespace kv {

struct DBColumnDescriptor {
  std::string name;
  std::uint8_t type = 0;  // TARN_SQL_*
};

class DBResultSet {
 public:
  explicit DBResultSet(std::vector<DBColumnDescriptor> columns);
  DBResultSet(const DBResultSet&) = delete;
  DBResultSet& operator=(const DBResultSet&) = delete;

  [[nodiscard]] std::int32_t columnCount() const { return static_cast<std::int32_t>(columns_.size()); }
  [[nodiscard]] std::int32_t rowCount() const { return rowCount_; }
  const std::vector<DBColumnDescriptor>& columns() const { return columns_; }

  // Starts a row of NULL values; SetValue fills it. False when memory runs out.
  [[nodiscard]] bool AddRow();
  // A copy of the bytes (terminated by a NUL beyond them) as a value of the
  // last row; false when memory runs out.
  [[nodiscard]] bool SetValue(std::int32_t column, std::string_view bytes);
  StoredValue Value(std::int32_t row, std::int32_t column) const;

  // The cursor: -1 before the first row.
  [[nodiscard]] std::int32_t cursor() const { return cursor_; }
  void SetCursor(std::int32_t row) { cursor_ = row; }

 private:
  std::vector<DBColumnDescriptor> columns_;
  std::int32_t rowCount_ = 0;
  std::vector<StoredValue> values_;  // row after row
  MemoryPool bytes_{16 * 1024};
  std::int32_t cursor_ = -1;
};

// Freeing a result set is letting it go.
using DBResultSetPtr = std::unique_ptr<DBResultSet>;

// Moves the cursor to the first row when it is before the first, else to
// the next one; false past the last row.
[[nodiscard]] bool GetNextResultRow(DBResultSet* result);
void ResetResultSetCursor(DBResultSet* result);
// The value of a column (named without regard to case) in the cursor's row
// and its length; null for SQL NULL, an unknown column or no current row.
const char* GetResultSetValue(const DBResultSet* result, const char* columnName, std::int32_t* length);
// The column's type code; 0 when there is no such column.
[[nodiscard]] std::uint8_t GetResultSetColumnType(const DBResultSet* result, const char* columnName);
// The name of the column at a position counted from 0, or null.
const char* GetResultSetColumnName(const DBResultSet* result, std::int32_t index);
// The column's position (without regard to case), or -1.
[[nodiscard]] std::int32_t FindResultSetColumn(const DBResultSet* result, const char* columnName);

// Writes the result set to the log (DEBUG): the column names, then each row.
void PrintResultSet(const DBResultSet* result);
void FreeResultSet(DBResultSetPtr result);

}  // namespace kv
