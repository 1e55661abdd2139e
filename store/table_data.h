#pragma once
// The store's in-memory tables. A table exists in memory only for a name the
// data dictionary defines and is created on first use; a custom view holds
// the rows of a free select query under a name of its own. Both keep their
// rows in insertion order with the state bits of store/stored_value.h, and
// every insertion, value change and deletion is told to the notification
// listeners. The registry is process-wide and takes no lock: one caller at a
// time (the criteria operations serialise on the criteria parser's lock).

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/row_storage.h"
#include "store/store_results.h"
#include "store/stored_value.h"
#include "store/table_defn.h"
#include "store/vector.h"

namespace kv {

// Kinds of TableData.
constexpr std::uint8_t TABLE_DATA_KIND_TABLE = 1;
constexpr std::uint8_t TABLE_DATA_KIND_VIEW = 2;

struct ViewColumnDefn {
  // The column's name as selected.
  std::string name;
  std::int32_t first = 0;
  std::int32_t second = 0;
  // The underlying table column, whose type the view uses.
  const ColumnDefn* column = nullptr;
};

struct CustomViewDefn {
  std::uint8_t tableCount = 0;
  // The tables the view draws on; the first is its main table.
  std::vector<std::string> tableNames;
  VectorOf<ViewColumnDefn> columns;
};

// The columns of a table or of a view, read from its definition.
struct ColumnSource {
  const TableDefn* tableDefn = nullptr;
  const CustomViewDefn* viewDefn = nullptr;

  // The position of the column named so (without regard to ASCII case), or -1.
  [[nodiscard]] std::int32_t Find(std::string_view name) const;
  // Null beyond the columns.
  const char* NameAt(std::int32_t index) const;
  // The type codes of every column in order.
  std::vector<std::uint8_t> Types() const;
  std::vector<const char*> Names() const;
  [[nodiscard]] std::int32_t Count() const;

 private:
  // Calls visit(name, type) for each column in order while it returns true.
  template <class Visit>
  void ForEach(Visit visit) const;
};

struct TableData {
  TableData(std::string tableName, std::uint8_t tableKind, const TableDefn* table,
            std::unique_ptr<CustomViewDefn> view);

  // The name as first used.
  std::string name;
  std::uint8_t kind;
  const TableDefn* tableDefn;  // kind 1; not owned
  std::unique_ptr<CustomViewDefn> viewDefn;
  std::int32_t columnCount;
  // Incremented by every row appended; deleting rows does not lower it.
  std::int32_t rowCount = 0;
  RowObject* firstRow = nullptr;
  RowObject* lastRow = nullptr;
  RowStorage storage;

  ColumnSource Columns() const { return ColumnSource{tableDefn, viewDefn.get()}; }
  RowView View(const RowObject& row) const { return RowView{row.values, columnCount, row.state}; }
};

struct TableDataState {
  VectorOf<TableData> gv_tableDataVect;
};

TableDataState& TableDataRegistry();
// Frees every table and view (tests; the store's shutdown unloads tables).
void ResetTableData();

// An empty table for a name the dictionary defines; false when it has no
// definition, when table data of that name exists or memory runs out.
[[nodiscard]] bool CreateTable(const char* tableName);
// An empty view; false when the name is taken.
[[nodiscard]] bool CreateCustomViewData(const char* viewName, std::unique_ptr<CustomViewDefn> view);
// Found without regard to case; null when there is none.
TableData* GetTableDataByName(const char* name);
// Takes the table out of the registry and frees it with its rows.
void FreeTableData(TableData* table);
// Byte-wise order of two tables' names, for sorting lists of tables.
[[nodiscard]] int SortTableByName(const TableData& a, const TableData& b);

// Completes and appends a row made of copies of the given values (fewer
// than the table's columns: the rest are NULL). In a table, a NULL value of
// a column with a generator gets the next identifier (4 bytes), and one
// still NULL gets the column's default. Returns the row, or null when the
// table is unknown, has no columns or memory runs out.
RowObject* AddNewRow(TableData* table, std::span<const StoredValue> values, std::uint8_t state = ROW_STATE_NEW);
RowObject* AddNewRow(const char* tableName, std::span<const StoredValue> values, std::uint8_t state = ROW_STATE_NEW);

// Replaces one value of a row of the table by a copy of length bytes and
// sets the modified bit. A primary-key column of a table cannot be changed.
[[nodiscard]] bool UpdateRowObject(const char* tableName, RowObject* row, const char* columnName, const char* value,
                                   std::int32_t length);

// A row that exists in the database keeps its place with the deleted bit
// set (saving the table deletes it); any other row is removed and freed.
// 1, or 0 when the row is not in the table.
[[nodiscard]] int DeleteRowObject(const char* tableName, RowObject* row);
// Deletes every row of a table for which the criteria holds; false for a
// null criteria, an unknown table, a view or a criteria that does not parse.
[[nodiscard]] bool DeleteRowObjectByCriteria(const char* tableName, const char* criteria);
[[nodiscard]] bool DeleteAllTableRowObjects(const char* tableName);

// The rows still in a table whose deleted bit is not set.
[[nodiscard]] std::int32_t CountLiveRows(const TableData& table);

}  // namespace kv
