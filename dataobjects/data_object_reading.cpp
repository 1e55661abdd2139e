// Looking things up in a data object: its tables, their row units and
// their values.

#include <cstring>

#include "base/log_writer.h"
#include "dataobjects/data_object.h"
#include "dataobjects/data_object_parts.h"
#include "db/sql_builder.h"

namespace kv {
namespace {

// The collection of a table that must be there, else null with the reading
// operations' message.
RowCollection* PresentCollection(DataObject* object, const char* tableName) {
  RowCollection* collection = object ? FindCollection(*object, tableName) : nullptr;
  if (!collection) LogError("Table %s not present in DO\n", LogText(tableName));
  return collection;
}

std::optional<std::string> CopyOf(const StoredValue& value) {
  if (value.IsNull()) return std::nullopt;
  return std::string(value.Bytes());
}

}  // namespace

std::vector<const char*> GetTableList(const DataObject* object) {
  // Memory running out gives the empty list (logged).
  return GuardMemory(
      [&]() -> std::vector<const char*> { return object ? TableNames(*object) : std::vector<const char*>(); });
}

bool ContainsTableInDO(const DataObject* object, const char* tableName) {
  return object && FindCollection(*object, tableName);
}

RowCollection* GetRowCollection(DataObject* object, const char* tableName) {
  RowCollection* collection = object ? FindCollection(*object, tableName) : nullptr;
  if (!collection) {
    LogError("Table %s is not present in DO.\n", LogText(tableName));
    return nullptr;
  }
  object->collectionCursor = collection;
  return collection;
}

RowUnit* GetFirstRowUnit(DataObject* object, const char* tableName) {
  const RowCollection* collection = PresentCollection(object, tableName);
  return collection ? collection->firstRow : nullptr;
}

RowUnit* GetLastRowUnit(DataObject* object, const char* tableName) {
  const RowCollection* collection = PresentCollection(object, tableName);
  return collection ? collection->lastRow : nullptr;
}

RowUnit* GetNthRowUnit(DataObject* object, std::int32_t n, const char* tableName) {
  const RowCollection* collection = PresentCollection(object, tableName);
  if (!collection) return nullptr;
  RowUnit* row = n >= 1 ? collection->firstRow : nullptr;
  for (std::int32_t i = 1; row && i < n; ++i) row = row->next;
  if (!row) LogError("Cannot get %d row. \n", n);
  return row;
}

RowUnit* GotoNextRowUnit(RowCollection* collection) {
  if (!collection) {
    LogError("RowCollectionPtr is NULL.\n");
    return nullptr;
  }
  if (!collection->firstRow) {
    LogError("No RowUnits present in RowCollection.\n");
    return nullptr;
  }
  collection->rowCursor = collection->rowCursor ? collection->rowCursor->next : collection->firstRow;
  if (!collection->rowCursor) LogDebug("Reached end of rowUnits.\n");
  return collection->rowCursor;
}

RowUnit* FindRowUnit(DataObject* object, const RowUnit* rowUnit) {
  if (!object || !rowUnit) return nullptr;
  const char* key = rowUnit->keyString;
  if (!key) {
    const RowCollection* collection = FindCollection(*object, rowUnit->tableName);
    if (collection && rowUnit->valueCount >= collection->columnCount)
      key = GenerateKeyString(*object, *collection, rowUnit->values);
  }
  RowUnit* found = LookUpKey(*object, key);
  if (!found) LogError("Row to be found is not present in DO. \n");
  return found;
}

StoredValue GetFirstValue(DataObject* object, const char* columnName, const char* tableName) {
  const RowCollection* collection = PresentCollection(object, tableName);
  if (!collection || !collection->firstRow) return {};
  const std::int32_t index = collection->ColumnIndex(columnName);
  if (index < 0) {
    LogError("Invalid Column Entered.\n");
    return {};
  }
  return collection->firstRow->values[index];
}

std::vector<std::optional<std::string>> GetColumnValuesFromDO(DataObject* object, const char* columnName,
                                                              const char* tableName) {
  return GuardMemory([&]() -> std::vector<std::optional<std::string>> {
    std::vector<std::optional<std::string>> values;
    const RowCollection* collection = PresentCollection(object, tableName);
    if (!collection) return values;
    const std::int32_t index = collection->ColumnIndex(columnName);
    if (index < 0) {
      LogError("Invalid Column Entered.\n");
      return values;
    }
    for (const RowUnit* row = collection->firstRow; row; row = row->next) values.push_back(CopyOf(row->values[index]));
    return values;
  });
}

std::optional<std::string> GetColumnValueFromDO(DataObject* object, const char* tableName, const char* columnName,
                                                std::int32_t n) {
  return GuardMemory([&]() -> std::optional<std::string> {
    const RowUnit* row = GetNthRowUnit(object, n, tableName);
    if (!row) return std::nullopt;
    const std::int32_t index = row->collection->ColumnIndex(columnName);
    if (index < 0) {
      LogError("Invalid Column Entered.\n");
      return std::nullopt;
    }
    return CopyOf(row->values[index]);
  });
}

std::vector<const char*> GetColumnListFromDO(DataObject* object, const char* tableName) {
  return GuardMemory([&]() -> std::vector<const char*> {
    const RowCollection* collection = PresentCollection(object, tableName);
    if (!collection) return {};
    return std::vector<const char*>(collection->columnNames, collection->columnNames + collection->columnCount);
  });
}

bool IsDOEmpty(const DataObject* object) { return !object || !object->firstCollection; }

}  // namespace kv
