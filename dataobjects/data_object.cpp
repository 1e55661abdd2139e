#include "dataobjects/data_object.h"

#include <cstring>
#include <new>

#include "base/log_writer.h"
#include "dataobjects/data_object_parts.h"
#include "db/sql_builder.h"
#include "store/data_dictionary.h"
#include "store/sequence_generator.h"
#include "store/typed_value.h"

namespace kv {
namespace {

// The column of a collection in the table's definition.
const ColumnDefn* DefinitionColumn(const RowCollection& collection, std::int32_t index) {
  const std::int32_t at = GetColumnIndex(collection.tableDefn, collection.columnNames[index]);
  return at < 0 ? nullptr : collection.tableDefn->columns.At(at);
}

// Fills the NULL values of a new row the way the table fills them: the
// next identifier of a column's generator, else the column's default.
bool FillGeneratedAndDefaults(DataObject& object, const RowCollection& collection, RowUnit& row) {
  for (std::int32_t i = 0; i < collection.columnCount; ++i) {
    if (!row.values[i].IsNull()) continue;
    const ColumnDefn* column = DefinitionColumn(collection, i);
    if (!column) continue;
    if (column->generatorName) {
      const std::int32_t id = GenerateID(collection.tableName, column);
      if (id < 0) {
        LogError("Cannot generate a value for column %s of table %s.\n", column->name.c_str(), collection.tableName);
        return false;
      }
      if (!CopyValueInto(object, StoredValue{reinterpret_cast<const char*>(&id), sizeof id}, row.values[i]))
        return false;
    } else if (column->defaultValue) {
      if (!CopyValueInto(object, column->DefaultValue(), row.values[i])) return false;
    }
  }
  return true;
}

// The row unit's values widened or cut to the collection's column count.
bool FitToCollection(DataObject& object, const RowCollection& collection, RowUnit& row) {
  if (row.valueCount == collection.columnCount) return true;
  if (row.valueCount < collection.columnCount) {
    StoredValue* values = NewValues(object, collection.columnCount);
    if (!values) return false;
    for (std::int32_t i = 0; i < row.valueCount; ++i) values[i] = row.values[i];
    row.values = values;
  }
  row.valueCount = collection.columnCount;
  return true;
}

// Values given as texts and their lengths, as stored values (a null text:
// NULL).
std::vector<StoredValue> Paired(std::span<const char* const> values, std::span<const std::int32_t> lengths) {
  std::vector<StoredValue> paired(values.size());
  for (std::size_t i = 0; i < values.size(); ++i)
    if (values[i]) paired[i] = StoredValue{values[i], i < lengths.size() ? lengths[i] : 0};
  return paired;
}

}  // namespace

std::int32_t RowCollection::ColumnIndex(const char* name) const {
  if (!name) return -1;
  for (std::int32_t i = 0; i < columnCount; ++i)
    if (std::strcmp(columnNames[i], name) == 0) return i;
  return -1;
}

DataObjectPtr CreateDataObject() {
  DataObjectPtr object(new (std::nothrow) DataObject);
  if (object) {
    void* buckets = object->pool.Allocate(sizeof(KeyEntry*) * DATA_OBJECT_KEY_BUCKETS, alignof(KeyEntry*));
    if (buckets) {
      std::memset(buckets, 0, sizeof(KeyEntry*) * DATA_OBJECT_KEY_BUCKETS);
      object->keyBuckets = static_cast<KeyEntry**>(buckets);
      return object;
    }
  }
  LogError("\nMEMORY ALLOCATION FOR DATAOBJECT FAILED\n");
  return nullptr;
}

bool AddRowCollectionToDO(DataObject* object, RowCollection* collection) {
  if (!collection) {
    LogError("Cannot add Row Collection to DO.  Row Collection is NULL.\n");
    return false;
  }
  if (!object) {
    LogError("DO is NULL.\n");
    return false;
  }
  if (FindCollection(*object, collection->tableName)) {
    LogError("Table %s is already in DO.\n", collection->tableName);
    return false;
  }
  (object->lastCollection ? object->lastCollection->next : object->firstCollection) = collection;
  object->lastCollection = collection;
  collection->next = nullptr;
  ++object->tableCount;
  return true;
}

RowCollection* CreateRowCollection(DataObject* object, const char* tableName, const char* const* columns) {
  if (!object) {
    LogError("DO is NULL.\n");
    return nullptr;
  }
  const TableDefn* definition = GetTableDefn(tableName);
  if (!definition) {
    LogError("Table Definition not found for %s.\n", LogText(tableName));
    return nullptr;
  }
  return GuardMemory([&]() -> RowCollection* {
    std::vector<const char*> names;
    if (columns) {
      for (const char* const* name = columns; *name; ++name) {
        if (GetColumnIndex(definition, *name) < 0) {
          LogError("Column %s is not a column of table %s.\n", *name, tableName);
          return nullptr;
        }
        names.push_back(*name);
      }
    } else {
      for (const ColumnDefn& column : definition->columns) names.push_back(column.name.c_str());
    }
    return NewCollection(*object, tableName, definition, names);
  });
}

bool AddTableToDO(DataObject* object, const char* tableName, const char* const* columns) {
  if (!object) {
    LogError("DO is NULL.\n");
    return false;
  }
  RowCollection* collection = CreateRowCollection(object, tableName, columns);
  if (!collection || !AddRowCollectionToDO(object, collection)) {
    LogError("ADD ROW COLLECTION FAILED\n");
    return false;
  }
  return true;
}

const char** MakeColumnList(DataObject& object, std::initializer_list<const char*> names) {
  auto* list = static_cast<const char**>(object.pool.Allocate(sizeof(const char*) * (names.size() + 1)));
  if (!list) return nullptr;
  std::size_t i = 0;
  for (const char* name : names) {
    list[i] = name ? object.pool.CopyText(name) : nullptr;
    if (name && !list[i]) return nullptr;
    ++i;
  }
  list[i] = nullptr;
  return list;
}

std::span<const char*> MakeStringColumnValuesList(DataObject& object, std::initializer_list<const char*> values) {
  auto* list = static_cast<const char**>(object.pool.Allocate(sizeof(const char*) * (values.size() + 1)));
  if (!list) return {};
  std::size_t i = 0;
  for (const char* value : values) {
    list[i] = value ? object.pool.CopyText(value) : nullptr;
    if (value && !list[i]) return {};
    ++i;
  }
  list[i] = nullptr;
  return {list, values.size()};
}

std::span<std::int32_t> MakeLengthList(DataObject& object, std::initializer_list<std::int32_t> lengths) {
  auto* list = static_cast<std::int32_t*>(object.pool.Allocate(sizeof(std::int32_t) * (lengths.size() + 1)));
  if (!list) return {};
  std::size_t i = 0;
  for (const std::int32_t length : lengths) list[i++] = length;
  return {list, lengths.size()};
}

RowUnit* CreateRowUnit(DataObject* object, const char* tableName, std::span<const StoredValue> values) {
  return GuardMemory([&]() -> RowUnit* {
    RowUnit* row = object && tableName ? NewRowUnit(*object, tableName, values) : nullptr;
    if (!row) LogError("Cannot create rowUnit.\n");
    return row;
  });
}

RowUnit* CreateRowUnit(DataObject* object, const char* tableName, std::span<const char* const> values,
                       std::span<const std::int32_t> lengths) {
  return GuardMemory([&]() -> RowUnit* { return CreateRowUnit(object, tableName, Paired(values, lengths)); });
}

bool InsertRowUnit(RowUnit* rowUnit, DataObject* object) {
  return GuardMemory([&]() -> bool {
    if (!rowUnit || !object) return false;
    RowCollection* collection = FindCollection(*object, rowUnit->tableName);
    if (!collection) {
      LogError("The RowUnit belongs to Table %s, which is not in DO\n", LogText(rowUnit->tableName));
      return false;
    }
    if (rowUnit->collection) {
      LogDebug("Row with keyStr %s already exists.\n", LogText(rowUnit->keyString));
      return false;
    }
    LogDebug("Inserting Row\n");
    if (!FitToCollection(*object, *collection, *rowUnit) || !FillGeneratedAndDefaults(*object, *collection, *rowUnit))
      return false;
    const char* key = GenerateKeyString(*object, *collection, rowUnit->values);
    switch (CheckForPKEntry(*object, key, rowUnit)) {
      case KeyInsert::kPresent: LogDebug("Row with keyStr %s already exists.\n", key); return false;
      case KeyInsert::kFailed: return false;
      case KeyInsert::kInserted: break;
    }
    rowUnit->state = ROW_STATE_NEW;
    AppendRowUnit(*collection, rowUnit, key);
    return true;
  });
}

bool InsertRowIntoDO(DataObject* object, const char* tableName, std::span<const StoredValue> values) {
  return GuardMemory([&]() -> bool {
    RowUnit* row = CreateRowUnit(object, tableName, values);
    if (!row) return false;
    if (!InsertRowUnit(row, object)) {
      LogError("Cannot Insert RowUnit.\n");
      return false;
    }
    return true;
  });
}

bool InsertRowIntoDO(DataObject* object, const char* tableName, std::span<const char* const> values,
                     std::span<const std::int32_t> lengths) {
  return GuardMemory([&]() -> bool { return InsertRowIntoDO(object, tableName, Paired(values, lengths)); });
}

bool InsertStringRowIntoDO(DataObject* object, const char* tableName, std::span<const char* const> texts) {
  return GuardMemory([&]() -> bool {
    const RowCollection* collection = object ? FindCollection(*object, tableName) : nullptr;
    if (!collection) {
      LogError("The RowUnit belongs to Table %s, which is not in DO\n", LogText(tableName));
      LogError("Cannot insert RowUnit.\n");
      return false;
    }
    std::vector<OwnedValue> owned;
    std::vector<StoredValue> values(static_cast<std::size_t>(collection->columnCount));
    for (std::size_t i = 0; i < texts.size() && i < values.size(); ++i) {
      if (!texts[i]) continue;
      std::int32_t length = static_cast<std::int32_t>(std::strlen(texts[i]));
      owned.push_back(ConvertToTypedValue(texts[i], length, collection->columnTypes[i]));
      if (!owned.back()) {
        LogError("Cannot create RowUnit.\n");
        return false;
      }
      values[i] = StoredValue{owned.back().get(), length};
    }
    RowUnit* row = NewRowUnit(*object, tableName, values);
    if (!row) {
      LogError("Cannot create RowUnit.\n");
      return false;
    }
    if (!InsertRowUnit(row, object)) {
      LogError("Cannot insert RowUnit.\n");
      return false;
    }
    return true;
  });
}

}  // namespace kv
