#include "db/row_key.h"

#include "base/log_writer.h"
#include "store/value_text.h"

namespace kv {

bool KeyHasValues(const TableDefn& definition, std::span<const StoredValue> row, const char* operation) {
  if (!definition.constraints) return true;
  for (const std::string& key : definition.constraints->primaryKeys) {
    std::size_t index = 0;
    for (const ColumnDefn& column : definition.columns) {
      if (AsciiEqualsNoCase(column.name, key)) break;
      ++index;
    }
    if (index >= row.size() || row[index].IsNull()) {
      LogError("Primary Key column %s of table %s is NULL: cannot %s the row\n", key.c_str(), definition.name.c_str(),
               operation);
      return false;
    }
  }
  return true;
}

bool RowHasKey(const TableDefn& definition, std::span<const StoredValue> row, const char* operation) {
  if (!definition.constraints || definition.constraints->primaryKeys.empty()) {
    LogError("No Primary Key to %s a row of table %s\n", operation, definition.name.c_str());
    return false;
  }
  return KeyHasValues(definition, row, operation);
}

}  // namespace kv
