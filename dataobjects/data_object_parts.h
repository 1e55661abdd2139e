#pragma once
// The pieces the data-object operations build objects from, each made in
// the object's pool: collections, row units and copies of values.

#include <cstdint>
#include <span>
#include <vector>

#include "dataobjects/data_object.h"
#include "store/text_buffer.h"

namespace kv {

// The collection of a table (exact name), or null; does not move the cursor.
RowCollection* FindCollection(const DataObject& object, const char* tableName);
// The names of the object's tables in collection order; throws
// std::bad_alloc when memory runs out, for the callers that must tell that
// from an empty object.
std::vector<const char*> TableNames(const DataObject& object);

// A collection of the table with these columns (their names are copied),
// not yet added; null when a key column is missing ("All Primary key
// columns were not selected.\n") and keys are required, or memory runs out.
RowCollection* NewCollection(DataObject& object, const char* tableName, const TableDefn* definition,
                             const std::vector<const char*>& columns, bool requireKeys = true);

// count NULL values.
StoredValue* NewValues(DataObject& object, std::int32_t count);
// A copy of the value's bytes (terminated by a NUL beyond them) in the pool;
// the NULL value for NULL. False when memory runs out.
[[nodiscard]] bool CopyValueInto(DataObject& object, const StoredValue& value, StoredValue& copy);
// A row unit of state 0 with copies of the values; the table name is
// copied unless it is the pool's already.
RowUnit* NewRowUnit(DataObject& object, const char* tableName, std::span<const StoredValue> values,
                    bool copyName = true);

// The key string of a collection's row (see GenerateKeyString) into text;
// false (logged) when it cannot be made.
[[nodiscard]] bool KeyText(const RowCollection& collection, const StoredValue* values, TextBuffer& text);
// Appends a row unit whose key is registered.
void AppendRowUnit(RowCollection& collection, RowUnit* row, const char* key);

// Whether every primary-key column of the table is among the columns.
[[nodiscard]] bool CheckSelectedColumnsForPK(const TableDefn* definition, const std::vector<const char*>& columns);

}  // namespace kv
