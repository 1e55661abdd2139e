#include "dataobjects/data_object_fetch.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/log_writer.h"
#include "dataobjects/data_object_parts.h"
#include "dataobjects/foreign_key_chains.h"
#include "dataobjects/owner_link_query.h"
#include "db/connection_pool.h"
#include "db/db_statements.h"
#include "db/sql_builder.h"
#include "db/sql_front.h"
#include "store/data_dictionary.h"
#include "store/value_text.h"

namespace kv {
namespace {

constexpr const char* kNoEntries = "Cannot create DataObject.  No entries returned for SelectQuery\n";

bool SameTable(const char* a, const char* b) { return a && b && SafeStrICmp(a, b) == 0; }

// The tables of a query in the order their columns come in "select *":
// the joined tables, then the table list.
std::vector<const char*> QueryTables(const SelectQuery& query) {
  std::vector<const char*> tables;
  if (query.joins.first && query.joins.first->item->baseTable) tables.push_back(query.joins.first->item->baseTable);
  for (const SelectJoin& join : query.joins)
    if (join.referenceTable) tables.push_back(join.referenceTable);
  for (const SelectTable& table : query.tables)
    if (table.tableName) tables.push_back(table.tableName);
  return tables;
}

bool SameAlias(const char* alias, const char* other) { return alias && other && std::strcmp(alias, other) == 0; }

// The table a selected column is of: its table, the table of its alias, or
// the query's only table.
const char* TableOfColumn(const SelectQuery& query, const SelectColumn& column) {
  if (column.tableName) return column.tableName;
  if (column.tableAlias) {
    for (const SelectTable& table : query.tables)
      if (SameAlias(table.alias, column.tableAlias)) return table.tableName;
    for (const SelectJoin& join : query.joins) {
      if (SameAlias(join.baseAlias, column.tableAlias)) return join.baseTable;
      if (SameAlias(join.referenceAlias, column.tableAlias)) return join.referenceTable;
    }
    return nullptr;
  }
  const std::vector<const char*> tables = QueryTables(query);
  return tables.size() == 1 ? tables.front() : nullptr;
}

// Where a table's columns are in the rows of a result.
struct Placement {
  std::vector<const char*> columns;
  std::vector<std::int32_t> positions;
};

std::optional<Placement> PlaceColumns(const char* table, const TableDefn& definition, const SelectQuery& query,
                                      const DBResultSet& result) {
  Placement placement;
  if (!query.columns.Empty()) {
    std::int32_t position = 0;
    for (const SelectColumn& column : query.columns) {
      const std::int32_t at = position++;
      if (column.function != SQL_FUNCTION_NONE || !column.columnName) continue;
      if (!SameTable(TableOfColumn(query, column), table) || GetColumnIndex(&definition, column.columnName) < 0)
        continue;
      const auto& names = placement.columns;
      if (std::any_of(names.begin(), names.end(), [&](const char* n) { return !std::strcmp(n, column.columnName); }))
        continue;
      placement.columns.push_back(column.columnName);
      placement.positions.push_back(at);
    }
  } else {
    std::int32_t offset = 0;
    for (const char* other : QueryTables(query)) {
      if (SameTable(other, table)) break;
      const TableDefn* otherDefinition = GetTableDefn(other);
      if (!otherDefinition) {
        LogError("Table Definition not found for %s.\n", other);
        return std::nullopt;
      }
      offset += otherDefinition->columnCount();
    }
    std::int32_t index = 0;
    for (const ColumnDefn& column : definition.columns) {
      placement.columns.push_back(column.name.c_str());
      placement.positions.push_back(offset + index++);
    }
  }
  for (const std::int32_t position : placement.positions) {
    if (position >= result.columnCount()) {
      LogError("Cannot create DataObject.  The result has %d columns, too few for table %s.\n", result.columnCount(),
               table);
      return std::nullopt;
    }
  }
  return placement;
}

// A row unit for each result row of the table's columns, once per key; rows
// whose values are all NULL (a left join's missing rows) are none.
bool FillCollection(DataObject& object, RowCollection& collection, const DBResultSet& result,
                    const std::vector<std::int32_t>& positions) {
  const std::size_t n = positions.size();
  std::vector<StoredValue> values(n);
  std::unique_ptr<TypedValueBuffer[]> buffers(new TypedValueBuffer[n]);
  TextBuffer key(64, 64);
  for (std::int32_t row = 0; row < result.rowCount(); ++row) {
    bool any = false;
    for (std::size_t i = 0; i < n; ++i) {
      const auto position = static_cast<std::size_t>(positions[i]);
      const std::optional<StoredValue> value = ResultValueAs(
          result.Value(row, positions[i]), result.columns()[position].type, collection.columnTypes[i], buffers[i]);
      if (!value) {
        LogError("Cannot convert column %s of table %s\n", collection.columnNames[i], collection.tableName);
        return false;
      }
      values[i] = *value;
      any = any || !value->IsNull();
    }
    if (!any) continue;
    key.Clear();
    if (!KeyText(collection, values.data(), key)) return false;
    if (LookUpKey(object, key.data())) {
      LogDebug("HashKey %s Not Inserted\n", key.data());
      continue;
    }
    RowUnit* unit = NewRowUnit(object, collection.tableName, values, false);
    const char* keyString = object.pool.CopyText(key.view());
    if (!unit || !keyString) {
      LogError("Cannot memcopy value.\n");
      return false;
    }
    unit->state = ROW_STATE_IN_DATABASE;
    if (CheckForPKEntry(object, keyString, unit) != KeyInsert::kInserted) return false;
    AppendRowUnit(collection, unit, keyString);
  }
  return true;
}

// The table's collection of a query's result, added to the object. A
// table whose key columns are not all selected gets a collection without
// rows.
bool CreateRowCollectionFromResultSet(const char* table, const DBResultSet& result, const SelectQuery& query,
                                      DataObject& object) {
  const TableDefn* definition = GetTableDefn(table);
  if (!definition) {
    LogError("Table Definition not found for %s.\n", LogText(table));
    return false;
  }
  const std::optional<Placement> placement = PlaceColumns(table, *definition, query, result);
  if (!placement) return false;
  const bool keysSelected = CheckSelectedColumnsForPK(definition, placement->columns);
  if (!keysSelected) LogError("\nALL PRIMARY KEY COLUMNS SHOULD BE SELECTED FOR %s\n", table);
  RowCollection* collection = NewCollection(object, table, definition, placement->columns, false);
  if (!collection) return false;
  if (keysSelected && !FillCollection(object, *collection, result, placement->positions)) return false;
  return AddRowCollectionToDO(&object, collection);
}

// The condition "column = the row unit's value of keyColumn" on a table,
// joined to the conditions before it with AND.
bool AddKeyCondition(SelectQuery& query, CriteriaExp*& criteria, const std::string& table, const std::string& column,
                     const RowUnit& rowUnit, const char* keyColumn) {
  std::uint8_t type = 0;
  const StoredValue value = RowUnitValue(rowUnit, keyColumn, &type);
  return AddEqualCondition(query, criteria, table, column, value, type);
}

// The conditions that pick a table's rows belonging to the row unit: its
// key for its own table, else every foreign key of the table that leads to
// a key column of the row unit's table. False when memory runs out.
bool RowUnitConditions(SelectQuery& query, CriteriaExp*& criteria, const char* table, const RowUnit& rowUnit) {
  const TableDefn* rowDefinition = GetTableDefn(rowUnit.tableName);
  if (!rowDefinition || !rowDefinition->constraints) return true;
  const std::vector<std::string>& keys = rowDefinition->constraints->primaryKeys;
  if (std::strcmp(table, rowUnit.tableName) == 0) {
    for (const std::string& key : keys)
      if (!AddKeyCondition(query, criteria, table, key, rowUnit, key.c_str())) return false;
    return true;
  }
  const VectorOf<ForeignKeyDefn>* foreignKeys = ForeignKeysOf(GetTableDefn(table));
  if (!foreignKeys) {
    LogError("No constraints for table %s.\n", table);
    return true;
  }
  for (const ForeignKeyDefn& entry : *foreignKeys) {
    for (const std::string& key : keys) {
      if (CompareRootRefTable(entry, rowUnit.tableName, key.c_str()) &&
          !AddKeyCondition(query, criteria, table, entry.localColumn, rowUnit, key.c_str()))
        return false;
    }
  }
  return true;
}

// The query of a table's rows that belong to the row unit: by the
// conditions above, or, when none of the table's own foreign keys leads to
// the row unit's key, through the tables between (a part reaches its
// vendor through its product). No criteria when nothing relates the table
// to the row; false when memory runs out.
bool RowUnitQuery(SelectQuery& query, CriteriaExp*& criteria, const char* table, const RowUnit& rowUnit) {
  if (!RowUnitConditions(query, criteria, table, rowUnit)) return false;
  if (criteria) return AddSelectTable(query, table, nullptr);
  const std::optional<OwnerLink> link = FindOwnerLink(table, rowUnit.tableName);
  if (!link || link->steps.empty()) return true;
  if (!JoinSteps(query, link->steps, SQL_INNER_JOIN)) return false;
  for (const auto& [column, key] : link->keys)
    if (!AddKeyCondition(query, criteria, link->holder, column, rowUnit, key.c_str())) return false;
  return true;
}

}  // namespace

DBResultSetPtr RunSelectQuery(const SelectQuery& query) {
  const std::optional<std::string> sql = GenerateSelectQuery(&query);
  const char* source = sql ? GetDataSourceOfTable(SelectQueryTable(query)) : nullptr;
  if (!source) return nullptr;
  const PooledConnection handle(source);
  return handle ? ExecuteQuery(handle.get(), sql->c_str()) : nullptr;
}

StoredValue RowUnitValue(const RowUnit& rowUnit, const char* columnName, std::uint8_t* type) {
  std::int32_t index = -1;
  std::uint8_t columnType = 0;
  if (rowUnit.collection) {
    index = rowUnit.collection->ColumnIndex(columnName);
    if (index >= 0) columnType = rowUnit.collection->columnTypes[index];
  } else if (const TableDefn* definition = GetTableDefn(rowUnit.tableName)) {
    index = GetColumnIndex(definition, columnName);
    if (index >= 0) columnType = definition->columns.At(index)->type;
  }
  if (type) *type = columnType;
  if (index < 0 || index >= rowUnit.valueCount) return {};
  return rowUnit.values[index];
}

DataObjectPtr CreateDataObjectFromResultSet(DBResultSetPtr result, const SelectQuery* query,
                                            std::span<const char* const> tables) {
  return GuardMemory([&]() -> DataObjectPtr {
    if (!result || !query) return nullptr;
    DataObjectPtr object = CreateDataObject();
    const std::vector<const char*> made =
        tables.empty() ? QueryTables(*query) : std::vector<const char*>(tables.begin(), tables.end());
    const std::optional<std::vector<const char*>> ordered = SortTableByFK(made);
    if (!object || !ordered) return nullptr;
    for (const char* table : *ordered)
      if (!CreateRowCollectionFromResultSet(table, *result, *query, *object)) return nullptr;
    return object;
  });
}

DataObjectPtr GetDataObject(const SelectQuery* query, std::span<const char* const> tables) {
  if (!query) {
    LogError("Cannot construct DO. Select Query pointer is NULL.\n");
    return nullptr;
  }
  DBResultSetPtr result = RunSelectQuery(*query);
  if (!result || result->rowCount() == 0) {
    LogError("%s", kNoEntries);
    return nullptr;
  }
  return CreateDataObjectFromResultSet(std::move(result), query, tables);
}

DataObjectPtr GetDataObjectByCriteria(std::span<const char* const> tables, CriteriaExp* criteria) {
  SelectQueryPtr query = CreateSelectQuery();
  bool built = query != nullptr;
  for (const char* table : tables) built = built && AddSelectTable(*query, table, nullptr);
  DataObjectPtr object;
  if (built) {
    SetCriteria(*query, criteria);
    object = GetDataObject(query.get());
  }
  if (!object) LogError("Cannot create DataObject.\n");
  return object;
}

DataObjectPtr GetDataObjectByRowUnit(std::span<const char* const> tables, const RowUnit* rowUnit) {
  if (!rowUnit) return nullptr;
  if (std::none_of(tables.begin(), tables.end(), [&](const char* t) { return t && !strcmp(t, rowUnit->tableName); })) {
    LogError("RowUnit belongs to table %s, which is not present in the tableList.\n", LogText(rowUnit->tableName));
    return nullptr;
  }
  return GuardMemory([&]() -> DataObjectPtr {
    DataObjectPtr object = CreateDataObject();
    const std::optional<std::vector<const char*>> ordered = SortTableByFK(tables);
    if (!object || !ordered) return nullptr;
    bool found = false;
    for (const char* table : *ordered) {
      SelectQueryPtr query = CreateSelectQuery();
      CriteriaExp* criteria = nullptr;
      if (!query || !RowUnitQuery(*query, criteria, table, *rowUnit)) return nullptr;
      if (!criteria) {
        // Nothing relates the table to the row: it stays without rows.
        if (!AddTableToDO(object.get(), table)) return nullptr;
        continue;
      }
      SetCriteria(*query, criteria);
      DBResultSetPtr result = RunSelectQuery(*query);
      if (!result || !CreateRowCollectionFromResultSet(table, *result, *query, *object)) return nullptr;
      found = found || result->rowCount() > 0;
    }
    if (!found) {
      LogError("%s", kNoEntries);
      return nullptr;
    }
    return object;
  });
}

}  // namespace kv
