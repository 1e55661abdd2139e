#include "store/result_data.h"

#include <new>

#include "base/log_writer.h"
#include "store/column_types.h"
#include "store/criteria_selection.h"

namespace kv {
namespace {

// The sort key of a value: NULL before every integer.
struct SortKey {
  bool present = false;
  std::int32_t value = 0;
  bool operator<(const SortKey& other) const {
    if (present != other.present) return !present;
    return value < other.value;
  }
};

SortKey KeyOf(const ResultNode* node, std::int32_t column) {
  const StoredValue& value = node->row->values[column];
  if (value.IsNull() || value.length <= 0) return SortKey{};
  return SortKey{
      true, static_cast<std::int32_t>(ReadSignedInteger(value.data, StoredIntegerWidth(value.length, TARN_SQL_INT)))};
}

// A stable merge sort of the node list: a node of the right half goes first
// only when it sorts strictly before the left one.
template <class Before>
ResultNode* MergeSort(ResultNode* head, Before before) {
  if (!head || !head->next) return head;
  ResultNode* slow = head;
  for (ResultNode* fast = head->next; fast && fast->next; fast = fast->next->next) slow = slow->next;
  ResultNode* right = slow->next;
  slow->next = nullptr;
  ResultNode* left = MergeSort(head, before);
  right = MergeSort(right, before);
  ResultNode merged;
  ResultNode* tail = &merged;
  while (left && right) {
    ResultNode*& taken = before(right, left) ? right : left;
    tail->next = taken;
    tail = taken;
    taken = taken->next;
  }
  tail->next = left ? left : right;
  return merged.next;
}

const CustomViewDefn* ViewOf(const char* name) {
  const TableData* table = GetTableDataByName(name);
  return table && table->kind == TABLE_DATA_KIND_VIEW ? table->viewDefn.get() : nullptr;
}

}  // namespace

ResultDataPtr CreateResultData(const TableData& source) {
  ResultDataPtr result(new (std::nothrow) ResultData);
  if (!result) return nullptr;
  result->kind = source.kind;
  result->tableDefn = source.tableDefn;
  result->viewDefn = source.viewDefn.get();
  result->columnCount = source.columnCount;
  return result;
}

bool AddRowToResultData(RowObject* row, ResultData* result) {
  if (!row || !result) return false;
  ResultNode* node = result->nodes.New<ResultNode>();
  if (!node) return false;
  node->row = row;
  (result->last ? result->last->next : result->first) = node;
  result->last = node;
  ++result->rowCount;
  return true;
}

void ResetResultDataCursor(ResultData* result) {
  if (result) result->cursor = nullptr;
}

RowObject* GotoNextRowObject(ResultData* result) {
  if (!result) return nullptr;
  result->cursor = result->cursor ? result->cursor->next : result->first;
  return result->cursor ? result->cursor->row : nullptr;
}

ResultDataPtr SelectRows(const char* tableName, const char* criteria) {
  const TableData* table = GetTableDataByName(tableName);
  if (!table) return nullptr;
  ResultDataPtr result = CreateResultData(*table);
  if (!result) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
  if (!criteria) {
    for (RowObject* row = table->firstRow; row; row = row->next) {
      if (!AddRowToResultData(row, result.get())) {
        LogError("not able to Add row \n");
        return nullptr;
      }
    }
    return result;
  }
  const CriteriaSelection selection(criteria, *table);
  if (!selection.usable()) return nullptr;
  for (RowObject* row = table->firstRow; row; row = row->next) {
    if (selection.Holds(*row) && !AddRowToResultData(row, result.get())) {
      LogError("not able to Add row \n");
      return nullptr;
    }
  }
  return result;
}

ResultDataPtr SelectRowByRowIdx(const char* tableName, std::int32_t n) {
  const TableData* table = GetTableDataByName(tableName);
  if (!table) return nullptr;
  if (n < 1) n = 1;
  if (n > table->rowCount) return nullptr;
  RowObject* row = table->firstRow;
  for (std::int32_t i = 1; row && i < n; ++i) row = row->next;
  if (!row) return nullptr;
  ResultDataPtr result = CreateResultData(*table);
  if (!result || !AddRowToResultData(row, result.get())) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
  return result;
}

const char* GetColumnValueByName(const char* columnName, std::int32_t* length, const ResultData* result) {
  if (length) *length = 0;
  if (!result || !result->cursor || !columnName) return nullptr;
  const std::int32_t index = result->Columns().Find(columnName);
  if (index < 0 || index >= result->columnCount) return nullptr;
  const StoredValue& value = result->cursor->row->values[index];
  if (length) *length = value.length;
  return value.data;
}

const char* GetColumnValue(const char* tableName, const char* columnName, const char* criteria, std::int32_t* length) {
  if (length) *length = 0;
  ResultDataPtr result = SelectRows(tableName, criteria);
  if (!result) {
    LogError("Error in executing SelectRows(%s,%s)\n", LogText(tableName), LogText(criteria));
    return nullptr;
  }
  if (!GotoNextRowObject(result.get())) {
    LogTrace("No such row available in the %s for %s", LogText(tableName), LogText(criteria));
    return nullptr;
  }
  const char* value = GetColumnValueByName(columnName, length, result.get());
  if (!value) LogError("columnValue is NULL for :%s\n", LogText(columnName));
  return value;
}

std::uint8_t GetColumnTypeByName(const char* columnName, const ResultData* result) {
  if (!result || !columnName) return 0;
  const std::int32_t index = result->Columns().Find(columnName);
  if (index < 0) return 0;
  const std::vector<std::uint8_t> types = result->Columns().Types();
  return types[static_cast<std::size_t>(index)];
}

const char* GetColumnNameByIndex(std::int32_t index, const ResultData* result) {
  return result ? result->Columns().NameAt(index) : nullptr;
}

const char* GetTableNameFromResultData(const ResultData* result) {
  if (!result) return nullptr;
  if (result->kind == TABLE_DATA_KIND_VIEW)
    return result->viewDefn && !result->viewDefn->tableNames.empty() ? result->viewDefn->tableNames.front().c_str()
                                                                     : nullptr;
  return result->tableDefn ? result->tableDefn->name.c_str() : nullptr;
}

const char* GetTableNameOfView(const char* name) {
  const CustomViewDefn* view = ViewOf(name);
  if (view && !view->tableNames.empty()) return view->tableNames.front().c_str();
  return name;
}

bool SortResultSet(ResultData* result, const char* columnName, std::uint8_t ascending) {
  if (!result || !columnName || result->columnCount <= 0) return false;
  const std::int32_t column = result->Columns().Find(columnName);
  if (column < 0 || column >= result->columnCount) return false;
  if (!result->first || !result->first->next) {
    if (result->rowCount != 1) return false;
    LogDebug("Number of Rows is 1 for the Relvar to be Sorted \n");
    return true;
  }
  if (ascending == 1) {
    result->first = MergeSort(result->first, [column](const ResultNode* a, const ResultNode* b) {
      return KeyOf(a, column) < KeyOf(b, column);
    });
  } else {
    result->first = MergeSort(result->first, [column](const ResultNode* a, const ResultNode* b) {
      return KeyOf(b, column) < KeyOf(a, column);
    });
  }
  ResultNode* last = result->first;
  while (last->next) last = last->next;
  result->last = last;
  return true;
}

}  // namespace kv
