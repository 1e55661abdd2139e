#include "dataobjects/data_object_copy.h"

#include <cstring>
#include <vector>

#include "base/log_writer.h"
#include "dataobjects/data_object_parts.h"
#include "db/sql_builder.h"
#include "store/data_dictionary.h"

namespace kv {
namespace {

// For each column of a collection, the position of the same column in
// another collection, or -1.
std::vector<std::int32_t> ColumnMapping(const RowCollection& into, const RowCollection& from) {
  std::vector<std::int32_t> mapping;
  for (std::int32_t i = 0; i < into.columnCount; ++i) mapping.push_back(from.ColumnIndex(into.columnNames[i]));
  return mapping;
}

// The values of a row unit laid out as the columns of another collection
// (NULL where it has none), copied into the target's pool.
StoredValue* MappedValues(DataObject& target, const RowUnit& row, const std::vector<std::int32_t>& mapping) {
  StoredValue* values = NewValues(target, static_cast<std::int32_t>(mapping.size()));
  if (!values) return nullptr;
  for (std::size_t i = 0; i < mapping.size(); ++i) {
    const std::int32_t from = mapping[i];
    if (from >= 0 && from < row.valueCount && !CopyValueInto(target, row.values[from], values[i])) return nullptr;
  }
  return values;
}

// A copy of a row unit, keeping its state, added to a collection of the
// target under its key; null when memory runs out or the key is taken.
RowUnit* CopyRowUnit(DataObject& target, RowCollection& into, const RowUnit& row,
                     const std::vector<std::int32_t>& mapping) {
  RowUnit* copy = target.pool.New<RowUnit>();
  StoredValue* values = MappedValues(target, row, mapping);
  if (!copy || !values) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
  copy->tableName = into.tableName;
  copy->valueCount = into.columnCount;
  copy->values = values;
  copy->state = row.state;
  const char* key = GenerateKeyString(target, into, values);
  if (!key || CheckForPKEntry(target, key, copy) != KeyInsert::kInserted) return nullptr;
  AppendRowUnit(into, copy, key);
  return copy;
}

// A collection of the target with the columns of another one.
RowCollection* CopyCollection(DataObject& target, const RowCollection& from) {
  const TableDefn* definition = from.tableDefn ? from.tableDefn : GetTableDefn(from.tableName);
  if (!definition) {
    LogError("No Table Definition found for table %s.\n", from.tableName);
    return nullptr;
  }
  const std::vector<const char*> columns(from.columnNames, from.columnNames + from.columnCount);
  RowCollection* copy = NewCollection(target, from.tableName, definition, columns, false);
  if (!copy || !AddRowCollectionToDO(&target, copy)) return nullptr;
  return copy;
}

bool IsDeleted(std::uint8_t state) {
  return (state & (ROW_STATE_IN_DATABASE | ROW_STATE_DELETED)) == (ROW_STATE_IN_DATABASE | ROW_STATE_DELETED);
}
bool IsNewAndDeleted(std::uint8_t state) {
  return (state & (ROW_STATE_NEW | ROW_STATE_DELETED)) == (ROW_STATE_NEW | ROW_STATE_DELETED);
}

// One source row unit into a collection the target had.
bool MergeRowUnit(DataObject& target, RowCollection& into, const RowUnit& row,
                  const std::vector<std::int32_t>& mapping) {
  StoredValue* values = MappedValues(target, row, mapping);
  TextBuffer key(64, 64);
  if (!values || !KeyText(into, values, key)) return false;
  RowUnit* present = LookUpKey(target, key.data());
  if (present && present->collection != &into) {
    LogError("Cannot Insert Row with keystring %s.  Row already exists.", key.data());
    return true;
  }
  const std::uint8_t state = row.state;
  if (state == (ROW_STATE_IN_DATABASE | ROW_STATE_MODIFIED)) {
    if (!present) return CopyRowUnit(target, into, row, mapping) != nullptr;
    for (std::size_t i = 0; i < mapping.size(); ++i)
      if (mapping[i] >= 0) present->values[i] = values[i];
    present->state |= ROW_STATE_MODIFIED;
  } else if (state == ROW_STATE_NEW || state == (ROW_STATE_NEW | ROW_STATE_MODIFIED)) {
    if (present) {
      LogError("Cannot Insert Row with keystring %s.  Row already exists.", key.data());
      return true;
    }
    return CopyRowUnit(target, into, row, mapping) != nullptr;
  } else if (IsDeleted(state)) {
    if (present) {
      present->state |= ROW_STATE_DELETED;
      return true;
    }
    return CopyRowUnit(target, into, row, mapping) != nullptr;
  } else if (state == ROW_STATE_IN_DATABASE && !present) {
    return CopyRowUnit(target, into, row, mapping) != nullptr;
  }
  return true;
}

}  // namespace

DataObject* MergeDataObject(DataObject* target, const DataObject* source) {
  if (!target || !source) return nullptr;
  return GuardMemory([&]() -> DataObject* {
    for (const RowCollection* from = source->firstCollection; from; from = from->next) {
      RowCollection* into = FindCollection(*target, from->tableName);
      if (into) {
        const std::vector<std::int32_t> mapping = ColumnMapping(*into, *from);
        for (const RowUnit* row = from->firstRow; row; row = row->next)
          if (!MergeRowUnit(*target, *into, *row, mapping)) return nullptr;
        continue;
      }
      into = CopyCollection(*target, *from);
      if (!into) {
        LogError("tempRowCollection is NULL\n");
        return nullptr;
      }
      const std::vector<std::int32_t> mapping = ColumnMapping(*into, *from);
      for (const RowUnit* row = from->firstRow; row; row = row->next)
        if (!IsNewAndDeleted(row->state) && !CopyRowUnit(*target, *into, *row, mapping)) return nullptr;
    }
    return target;
  });
}

DataObjectPtr CloneDataObject(const DataObject* source) {
  if (!source) return nullptr;
  return GuardMemory([&]() -> DataObjectPtr {
    DataObjectPtr clone = CreateDataObject();
    if (!clone) return nullptr;
    for (const RowCollection* from = source->firstCollection; from; from = from->next) {
      RowCollection* into = CopyCollection(*clone, *from);
      if (!into) {
        LogError("MEMEORY_ALLOCATION_FAILURE.\n");
        return nullptr;
      }
      const std::vector<std::int32_t> mapping = ColumnMapping(*into, *from);
      for (const RowUnit* row = from->firstRow; row; row = row->next) {
        if (!CopyRowUnit(*clone, *into, *row, mapping)) {
          LogError("Cannot add the newRowUnit into hash table.\n");
          return nullptr;
        }
      }
    }
    return clone;
  });
}

}  // namespace kv
