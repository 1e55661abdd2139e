#pragma once
// Selections over the in-memory tables: a result is a list of the rows
// chosen, in table order, with a cursor. The rows stay owned by their table:
// freeing a result never frees rows, and deleting rows invalidates the
// results that point to them. Values handed out point into the table;
// callers copy what they keep.

#include <cstdint>
#include <memory>

#include "store/memory_pool.h"
#include "store/table_data.h"

namespace kv {

struct ResultNode {
  RowObject* row = nullptr;
  ResultNode* next = nullptr;
};

struct ResultData {
  ResultNode* first = nullptr;
  ResultNode* last = nullptr;
  // The source: a table (kind 1) with its definition or a view (kind 2).
  std::uint8_t kind = 0;
  const TableDefn* tableDefn = nullptr;
  const CustomViewDefn* viewDefn = nullptr;
  std::int32_t rowCount = 0;
  std::int32_t columnCount = 0;
  // Unset after creation and after ResetResultDataCursor.
  ResultNode* cursor = nullptr;
  // The nodes, released with the result.
  MemoryPool nodes{4096};

  ColumnSource Columns() const { return ColumnSource{tableDefn, viewDefn}; }
};

// A result is freed when its owner goes.
using ResultDataPtr = std::unique_ptr<ResultData>;

// An empty result over the rows of a table or view; null when memory runs out.
ResultDataPtr CreateResultData(const TableData& source);
// Appends a node for the row; false when memory runs out.
[[nodiscard]] bool AddRowToResultData(RowObject* row, ResultData* result);
void ResetResultDataCursor(ResultData* result);
// Moves the cursor to the first node when it is unset, else to the next
// one; the row there, or null at the end.
RowObject* GotoNextRowObject(ResultData* result);

// Every row of the table (no criteria) or the rows for which the criteria
// holds; null for an unknown table, a criteria that does not parse, a view
// searched with criteria or when memory runs out.
ResultDataPtr SelectRows(const char* tableName, const char* criteria);
// The n-th row counted from 1 (below 1: the first); null beyond the rows.
ResultDataPtr SelectRowByRowIdx(const char* tableName, std::int32_t n);

// The value of the named column (without regard to case) in the cursor's
// row and its length; null when the cursor is unset, the name unknown or
// the value NULL.
const char* GetColumnValueByName(const char* columnName, std::int32_t* length, const ResultData* result);
// The value of a column in the first row the criteria selects.
const char* GetColumnValue(const char* tableName, const char* columnName, const char* criteria, std::int32_t* length);
// The column's type code, 0 when unknown.
[[nodiscard]] std::uint8_t GetColumnTypeByName(const char* columnName, const ResultData* result);
// The name of the column at a position counted from 0, or null.
const char* GetColumnNameByIndex(std::int32_t index, const ResultData* result);
// The source table's name; for a view, the name of its first table.
const char* GetTableNameFromResultData(const ResultData* result);
// For a view, the name of its first table; otherwise the name itself.
const char* GetTableNameOfView(const char* name);

// Orders the nodes by the column's value read as a 4-byte signed integer
// (NULL first), ascending when the flag is 1; equal values keep their order.
[[nodiscard]] bool SortResultSet(ResultData* result, const char* columnName, std::uint8_t ascending);

}  // namespace kv
