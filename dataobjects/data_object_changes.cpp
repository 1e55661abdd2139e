// Changing the row units of a data object: new values, deleted marks,
// criteria over a table's row units, and a row unit read as a row of its
// table.

#include <cstring>

#include "base/log_writer.h"
#include "base/object_locks.h"
#include "dataobjects/data_object.h"
#include "dataobjects/data_object_parts.h"
#include "db/sql_builder.h"
#include "store/criteria.h"
#include "store/data_dictionary.h"

namespace kv {
namespace {

// The row unit of the object that has the given one's key, or null.
RowUnit* StoredRowUnit(DataObject& object, const RowUnit& rowUnit) {
  if (rowUnit.keyString) return LookUpKey(object, rowUnit.keyString);
  const RowCollection* collection = FindCollection(object, rowUnit.tableName);
  if (!collection || rowUnit.valueCount < collection->columnCount) return nullptr;
  return LookUpKey(object, GenerateKeyString(object, *collection, rowUnit.values));
}

bool IsKeyColumn(const RowCollection& collection, const char* columnName) {
  const TableDefn* definition = collection.tableDefn;
  if (!definition || !definition->constraints) return false;
  for (const std::string& key : definition->constraints->primaryKeys)
    if (key == columnName) return true;
  return false;
}

// The collection whose values SetValueFor* change, or null (logged).
RowCollection* CollectionToChange(DataObject* object, const char* tableName) {
  RowCollection* collection = object ? FindCollection(*object, tableName) : nullptr;
  if (!collection) LogError(" Table %s is not present in DO\n", LogText(tableName));
  return collection;
}

// The column of the table whose values SetValueFor* change, or -1 (logged).
std::int32_t ChangeableColumn(const RowCollection& collection, const char* columnName, bool named) {
  const std::int32_t index = collection.ColumnIndex(columnName);
  if (index < 0) {
    if (named)
      LogError("Passed column %s is not present in DO.\n", LogText(columnName));
    else
      LogError("Passed column is not present in DO.\n");
    return -1;
  }
  // The key table finds a row unit by its key: a key changed in place would
  // leave it under the old one.
  if (IsKeyColumn(collection, columnName)) {
    LogError("Cannot change primary key column %s of table %s.\n", columnName, collection.tableName);
    return -1;
  }
  return index;
}

bool SetValue(DataObject& object, RowUnit& row, std::int32_t index, const char* value, std::int32_t length) {
  if (!CopyValueInto(object, StoredValue{value, length}, row.values[index])) {
    LogError("Memcpy Failed.\n");
    return false;
  }
  row.state |= ROW_STATE_MODIFIED;
  return true;
}

// Calls visit for each row unit of the table for which the criteria holds,
// in order, until it answers false. False when the criteria cannot be used
// or a row unit cannot be read as a row.
template <class Visit>
bool ForEachMatch(const char* tableName, DataObject* object, const char* criteria, Visit visit) {
  RowCollection* collection = object ? FindCollection(*object, tableName) : nullptr;
  if (!collection) {
    LogError("Table %s is not present in DO.\n", LogText(tableName));
    return false;
  }
  ObjectLockGuard lock(CriteriaParserLockKey());
  CriteriaTree tree = ParseCriteria(criteria);
  if (!tree) {
    LogError("Cannot parse criteria %s\n", LogText(criteria));
    return false;
  }
  if (!BindCriteria(collection->tableDefn->columns, tree.get())) return false;
  for (RowUnit* row = collection->firstRow; row; row = row->next) {
    const std::optional<TableRow> full = GetRowObjectFromRowUnit(row, object);
    if (!full) {
      LogError("RowObject is NULL.\n");
      return false;
    }
    const RowView view{full->values.data(), static_cast<std::int32_t>(full->values.size()), row->state};
    if (EvaluateCriteria(view, tree.get()) && !visit(*row)) break;
  }
  return true;
}

}  // namespace

bool UpdateRowUnit(RowUnit* rowUnit, DataObject* object) {
  return GuardMemory([&]() -> bool {
    RowUnit* stored = rowUnit && object ? StoredRowUnit(*object, *rowUnit) : nullptr;
    if (!stored) {
      LogError("Row to be updated is not present in DO. \n");
      return false;
    }
    if (stored != rowUnit) {
      for (std::int32_t i = 0; i < stored->valueCount; ++i) {
        const StoredValue value = i < rowUnit->valueCount ? rowUnit->values[i] : StoredValue{};
        if (!CopyValueInto(*object, value, stored->values[i])) return false;
      }
    }
    stored->state |= ROW_STATE_MODIFIED;
    LogDebug("Updating Row\n");
    return true;
  });
}

bool DeleteRowUnit(RowUnit* rowUnit, DataObject* object) {
  RowUnit* stored = rowUnit && object ? StoredRowUnit(*object, *rowUnit) : nullptr;
  if (!stored) {
    LogError("Row to be deleted is not present in DO. \n");
    return false;
  }
  stored->state |= ROW_STATE_DELETED;
  return true;
}

bool DeleteRowUnitOnCriteria(const char* tableName, DataObject* object, const char* criteria) {
  return GuardMemory([&]() -> bool {
    return ForEachMatch(tableName, object, criteria, [](RowUnit& row) {
      row.state |= ROW_STATE_DELETED;
      return true;
    });
  });
}

RowUnit* FindRowUnitOnCriteria(const char* tableName, DataObject* object, const char* criteria) {
  return GuardMemory([&]() -> RowUnit* {
    RowUnit* found = nullptr;
    const bool searched = ForEachMatch(tableName, object, criteria, [&](RowUnit& row) {
      found = &row;
      return false;
    });
    return searched ? found : nullptr;
  });
}

bool SetValueForRowUnit(const char* columnName, const char* tableName, const char* value, std::int32_t length,
                        DataObject* object) {
  return GuardMemory([&]() -> bool {
    RowCollection* collection = CollectionToChange(object, tableName);
    if (!collection) return false;
    const std::int32_t index = ChangeableColumn(*collection, columnName, true);
    if (index < 0) return false;
    if (!collection->lastRow) {
      LogError("No RowUnits present in RowCollection.\n");
      return false;
    }
    return SetValue(*object, *collection->lastRow, index, value, length);
  });
}

bool SetValueForAllRowUnits(const char* columnName, const char* tableName, const char* value, std::int32_t length,
                            DataObject* object) {
  return GuardMemory([&]() -> bool {
    RowCollection* collection = CollectionToChange(object, tableName);
    if (!collection) return false;
    const std::int32_t index = ChangeableColumn(*collection, columnName, false);
    if (index < 0) return false;
    for (RowUnit* row = collection->firstRow; row; row = row->next)
      if (!SetValue(*object, *row, index, value, length)) return false;
    return true;
  });
}

std::optional<TableRow> GetRowObjectFromRowUnit(const RowUnit* rowUnit, const DataObject* object) {
  return GuardMemory([&]() -> std::optional<TableRow> {
    if (!rowUnit || !object) return std::nullopt;
    const RowCollection* collection =
        rowUnit->collection ? rowUnit->collection : FindCollection(*object, rowUnit->tableName);
    if (!collection || !collection->tableDefn) {
      LogError("The RowUnit belongs to Table %s, which is not in DO\n", LogText(rowUnit->tableName));
      return std::nullopt;
    }
    TableRow row;
    row.state = rowUnit->state;
    for (const ColumnDefn& column : collection->tableDefn->columns) {
      const std::int32_t index = collection->ColumnIndex(column.name.c_str());
      const bool selected = index >= 0 && index < rowUnit->valueCount;
      StoredValue value = selected ? rowUnit->values[index] : StoredValue{};
      if (value.IsNull() && column.defaultValue) {
        value = column.DefaultValue();
      } else if (value.IsNull() && !column.nullable) {
        LogError("Cannot save RowUnit. Column %s is not not nullable and does not have a default value\n",
                 column.name.c_str());
        return std::nullopt;
      }
      row.values.push_back(value);
      row.selected.push_back(selected ? 1 : 0);
    }
    return row;
  });
}

}  // namespace kv
