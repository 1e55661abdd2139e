#include "dataobjects/data_object_parts.h"

#include <algorithm>
#include <cstring>

#include "base/log_writer.h"
#include "store/data_dictionary.h"

namespace kv {

std::vector<const char*> TableNames(const DataObject& object) {
  std::vector<const char*> tables;
  for (const RowCollection* collection = object.firstCollection; collection; collection = collection->next)
    tables.push_back(collection->tableName);
  return tables;
}

RowCollection* FindCollection(const DataObject& object, const char* tableName) {
  if (!tableName) return nullptr;
  for (RowCollection* collection = object.firstCollection; collection; collection = collection->next)
    if (std::strcmp(collection->tableName, tableName) == 0) return collection;
  return nullptr;
}

bool CheckSelectedColumnsForPK(const TableDefn* definition, const std::vector<const char*>& columns) {
  if (!definition || !definition->constraints) return false;
  for (const std::string& key : definition->constraints->primaryKeys) {
    if (std::none_of(columns.begin(), columns.end(), [&](const char* name) { return name && key == name; }))
      return false;
  }
  return true;
}

RowCollection* NewCollection(DataObject& object, const char* tableName, const TableDefn* definition,
                             const std::vector<const char*>& columns, bool requireKeys) {
  if (requireKeys && !CheckSelectedColumnsForPK(definition, columns)) {
    LogError("All Primary key columns were not selected.\n");
    return nullptr;
  }
  MemoryPool& pool = object.pool;
  RowCollection* collection = pool.New<RowCollection>();
  auto* names = static_cast<const char**>(pool.Allocate(sizeof(const char*) * (columns.size() + 1)));
  auto* types = static_cast<std::uint8_t*>(pool.Allocate(columns.size() + 1, 1));
  const char* table = pool.CopyText(tableName);
  if (!collection || !names || !types || !table) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
  for (std::size_t i = 0; i < columns.size(); ++i) {
    names[i] = pool.CopyText(columns[i]);
    if (!names[i]) {
      LogError("MEMORY_ALLOCATION_FAILURE\n");
      return nullptr;
    }
    const std::int32_t at = GetColumnIndex(definition, columns[i]);
    types[i] = at < 0 ? 0 : definition->columns.At(at)->type;
  }
  names[columns.size()] = nullptr;
  collection->tableName = table;
  collection->tableDefn = definition;
  collection->columnNames = names;
  collection->columnTypes = types;
  collection->columnCount = static_cast<std::int32_t>(columns.size());
  return collection;
}

StoredValue* NewValues(DataObject& object, std::int32_t count) {
  const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 1;
  void* place = object.pool.Allocate(sizeof(StoredValue) * n, alignof(StoredValue));
  if (!place) return nullptr;
  auto* values = static_cast<StoredValue*>(place);
  for (std::size_t i = 0; i < n; ++i) new (&values[i]) StoredValue{};
  return values;
}

bool CopyValueInto(DataObject& object, const StoredValue& value, StoredValue& copy) {
  if (value.IsNull()) {
    copy = StoredValue{};
    return true;
  }
  const char* bytes = object.pool.CopyBytes(value.data, static_cast<std::size_t>(value.length > 0 ? value.length : 0));
  if (!bytes) {
    LogError("Cannot memcopy value.\n");
    return false;
  }
  copy = StoredValue{bytes, value.length};
  return true;
}

RowUnit* NewRowUnit(DataObject& object, const char* tableName, std::span<const StoredValue> values, bool copyName) {
  RowUnit* row = object.pool.New<RowUnit>();
  const char* table = copyName ? object.pool.CopyText(tableName) : tableName;
  StoredValue* copies = NewValues(object, static_cast<std::int32_t>(values.size()));
  if (!row || !table || !copies) return nullptr;
  for (std::size_t i = 0; i < values.size(); ++i)
    if (!CopyValueInto(object, values[i], copies[i])) return nullptr;
  row->tableName = table;
  row->valueCount = static_cast<std::int32_t>(values.size());
  row->values = copies;
  return row;
}

void AppendRowUnit(RowCollection& collection, RowUnit* row, const char* key) {
  row->collection = &collection;
  row->keyString = key;
  row->next = nullptr;
  (collection.lastRow ? collection.lastRow->next : collection.firstRow) = row;
  collection.lastRow = row;
}

}  // namespace kv
