#include "store/table_data.h"

#include <new>
#include <utility>

#include "base/log_writer.h"
#include "store/criteria_selection.h"
#include "store/data_dictionary.h"
#include "store/notifications.h"
#include "store/sequence_generator.h"
#include "store/value_text.h"

namespace kv {
namespace {

constexpr const char* kMemoryFailure = "MEMORY_ALLOCATION_FAILURE\n";

void Notify(const TableData& table, const RowObject& row) { SendNotification(table.View(row), table.name.c_str()); }

bool IsPrimaryKeyColumn(const TableDefn* definition, const char* columnName) {
  if (!definition || !definition->constraints) return false;
  for (const std::string& key : definition->constraints->primaryKeys) {
    if (AsciiEqualsNoCase(key, columnName)) return true;
  }
  return false;
}

// The row before `row` in the table's list (null for the first row); false
// when the row is not in the list.
bool FindPrevious(const TableData& table, const RowObject* row, RowObject*& previous) {
  previous = nullptr;
  for (RowObject* current = table.firstRow; current; previous = current, current = current->next) {
    if (current == row) return true;
  }
  return false;
}

// Deletes a row whose predecessor is known: a row of the database is only
// marked; any other row is unlinked, told about and freed. True when the
// row left the list.
bool DeleteRowAfter(TableData& table, RowObject* previous, RowObject* row) {
  if (row->state & ROW_STATE_IN_DATABASE) {
    row->state |= ROW_STATE_DELETED;
    Notify(table, *row);
    return false;
  }
  (previous ? previous->next : table.firstRow) = row->next;
  if (table.lastRow == row) table.lastRow = previous;
  Notify(table, *row);
  table.storage.FreeRow(row);
  return true;
}

// Deletes every row selected, each row's successor taken before it goes.
template <class Select>
void DeleteRowsWhere(TableData& table, Select selected) {
  RowObject* previous = nullptr;
  for (RowObject* row = table.firstRow; row;) {
    RowObject* next = row->next;
    if (!selected(*row) || !DeleteRowAfter(table, previous, row)) previous = row;
    row = next;
  }
}

}  // namespace

template <class Visit>
void ColumnSource::ForEach(Visit visit) const {
  if (tableDefn) {
    for (const ColumnDefn& column : tableDefn->columns) {
      if (!visit(column.name, column.type)) return;
    }
  } else if (viewDefn) {
    for (const ViewColumnDefn& column : viewDefn->columns) {
      if (!visit(column.name, column.column ? column.column->type : std::uint8_t{0})) return;
    }
  }
}

std::int32_t ColumnSource::Find(std::string_view name) const {
  std::int32_t index = 0, found = -1;
  ForEach([&](const std::string& column, std::uint8_t) {
    if (AsciiEqualsNoCase(column, name)) found = index;
    ++index;
    return found < 0;
  });
  return found;
}

const char* ColumnSource::NameAt(std::int32_t index) const {
  const char* found = nullptr;
  ForEach([&](const std::string& column, std::uint8_t) {
    if (index-- == 0) found = column.c_str();
    return !found;
  });
  return found;
}

std::vector<std::uint8_t> ColumnSource::Types() const {
  std::vector<std::uint8_t> types;
  ForEach([&](const std::string&, std::uint8_t type) {
    types.push_back(type);
    return true;
  });
  return types;
}

std::vector<const char*> ColumnSource::Names() const {
  std::vector<const char*> names;
  ForEach([&](const std::string& column, std::uint8_t) {
    names.push_back(column.c_str());
    return true;
  });
  return names;
}

std::int32_t ColumnSource::Count() const {
  if (tableDefn) return tableDefn->columnCount();
  return viewDefn ? viewDefn->columns.Count() : 0;
}

TableData::TableData(std::string tableName, std::uint8_t tableKind, const TableDefn* table,
                     std::unique_ptr<CustomViewDefn> view)
    : name(std::move(tableName)),
      kind(tableKind),
      tableDefn(table),
      viewDefn(std::move(view)),
      columnCount(Columns().Count()),
      storage(columnCount) {}

TableDataState& TableDataRegistry() {
  static TableDataState state;
  return state;
}

void ResetTableData() { TableDataRegistry().gv_tableDataVect.Clear(); }

TableData* GetTableDataByName(const char* name) {
  if (!name) return nullptr;
  for (TableData& table : TableDataRegistry().gv_tableDataVect) {
    if (AsciiEqualsNoCase(table.name, name)) return &table;
  }
  return nullptr;
}

namespace {

bool AddTableData(const char* name, std::uint8_t kind, const TableDefn* definition,
                  std::unique_ptr<CustomViewDefn> view) {
  try {
    auto table = std::make_unique<TableData>(name, kind, definition, std::move(view));
    if (TableDataRegistry().gv_tableDataVect.Append(std::move(table))) return true;
  } catch (const std::bad_alloc&) {
  }
  LogError("%s", kMemoryFailure);
  return false;
}

}  // namespace

bool CreateTable(const char* tableName) {
  if (!tableName || GetTableDataByName(tableName)) return false;
  const TableDefn* definition = GetTableDefn(tableName);
  if (!definition) return false;
  return AddTableData(tableName, TABLE_DATA_KIND_TABLE, definition, nullptr);
}

bool CreateCustomViewData(const char* viewName, std::unique_ptr<CustomViewDefn> view) {
  if (!viewName || !view || GetTableDataByName(viewName)) return false;
  return AddTableData(viewName, TABLE_DATA_KIND_VIEW, nullptr, std::move(view));
}

void FreeTableData(TableData* table) {
  // A table not in the registry has nothing to free.
  if (table) (void)TableDataRegistry().gv_tableDataVect.Remove(table);
}

int SortTableByName(const TableData& a, const TableData& b) { return SafeStrCmp(a.name.c_str(), b.name.c_str()); }

RowObject* AddNewRow(TableData* table, std::span<const StoredValue> values, std::uint8_t state) {
  if (!table || table->columnCount <= 0) return nullptr;
  RowObject* row = table->storage.NewRow();
  if (!row) {
    LogError("%s", kMemoryFailure);
    return nullptr;
  }
  // Generators and defaults complete the NULL columns of a table, not of a view.
  const bool complete = table->kind == TABLE_DATA_KIND_TABLE && table->tableDefn;
  VectorIterator<ColumnDefn> column = complete ? table->tableDefn->columns.begin() : VectorIterator<ColumnDefn>();
  for (std::int32_t i = 0; i < table->columnCount; ++i) {
    StoredValue value =
        static_cast<std::size_t>(i) < values.size() ? values[static_cast<std::size_t>(i)] : StoredValue{};
    std::int32_t identifier = -1;
    if (column != VectorIterator<ColumnDefn>()) {
      if (value.IsNull() && column->generatorName) {
        identifier = GenerateID(table->name.c_str(), &*column);
        if (identifier != -1) {
          value = StoredValue{reinterpret_cast<const char*>(&identifier), sizeof identifier};
        } else if (!column->nullable || IsPrimaryKeyColumn(table->tableDefn, column->name.c_str())) {
          // A row without its key could never be saved nor named: no row
          // rather than one that fails every later save.
          table->storage.FreeRow(row);
          LogError("No identifier could be drawn for %s.%s: the row is not added.\n", table->name.c_str(),
                   column->name.c_str());
          return nullptr;
        }
      }
      if (value.IsNull() && column->defaultValue) value = column->DefaultValue();
      ++column;
    }
    if (!table->storage.CopyValue(value, row->values[i])) {
      table->storage.FreeRow(row);
      LogError("%s", kMemoryFailure);
      return nullptr;
    }
  }
  row->state = state;
  row->table = table;
  (table->lastRow ? table->lastRow->next : table->firstRow) = row;
  table->lastRow = row;
  ++table->rowCount;
  Notify(*table, *row);
  return row;
}

RowObject* AddNewRow(const char* tableName, std::span<const StoredValue> values, std::uint8_t state) {
  return AddNewRow(GetTableDataByName(tableName), values, state);
}

bool UpdateRowObject(const char* tableName, RowObject* row, const char* columnName, const char* value,
                     std::int32_t length) {
  TableData* table = GetTableDataByName(tableName);
  if (!table) return false;
  if (!row) {
    LogError("\t@@@@@ rowPtr passed as parameter in NULL @@@@@ \n");
    return false;
  }
  if (!columnName || row->table != table) return false;
  if (table->kind == TABLE_DATA_KIND_TABLE && IsPrimaryKeyColumn(table->tableDefn, columnName)) {
    LogError("@@@ UpdateRowObject Failed as PrimaryKey is being updated @@@\n");
    return false;
  }
  const std::int32_t index = table->Columns().Find(columnName);
  if (index < 0 || index >= table->columnCount) return false;
  StoredValue copy;
  if (!table->storage.CopyValue(StoredValue{value, value ? length : 0}, copy)) {
    LogError("%s", kMemoryFailure);
    return false;
  }
  const StoredValue old = std::exchange(row->values[index], copy);
  row->state |= ROW_STATE_MODIFIED;
  Notify(*table, *row);
  table->storage.FreeValue(old);
  return true;
}

int DeleteRowObject(const char* tableName, RowObject* row) {
  TableData* table = GetTableDataByName(tableName);
  RowObject* previous = nullptr;
  if (!table || !row || row->table != table || !FindPrevious(*table, row, previous)) return STORE_FAILURE;
  DeleteRowAfter(*table, previous, row);
  return STORE_SUCCESS;
}

bool DeleteRowObjectByCriteria(const char* tableName, const char* criteria) {
  TableData* table = GetTableDataByName(tableName);
  if (!criteria || !table) return false;
  const CriteriaSelection selection(criteria, *table);
  if (!selection.usable()) return false;
  DeleteRowsWhere(*table, [&](const RowObject& row) { return selection.Holds(row); });
  return true;
}

bool DeleteAllTableRowObjects(const char* tableName) {
  if (!tableName) {
    LogError("\t tableName NULL \n");
    return false;
  }
  TableData* table = GetTableDataByName(tableName);
  if (!table) {
    LogError("\t GetTableDataByName returned NULL \n");
    return false;
  }
  if (table->columnCount > 0) DeleteRowsWhere(*table, [](const RowObject&) { return true; });
  return true;
}

std::int32_t CountLiveRows(const TableData& table) {
  std::int32_t count = 0;
  for (const RowObject* row = table.firstRow; row; row = row->next) {
    if (!(row->state & ROW_STATE_DELETED)) ++count;
  }
  return count;
}

}  // namespace kv
