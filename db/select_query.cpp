#include "db/select_query.h"

#include <new>

#include "base/log_writer.h"
#include "store/column_types.h"

namespace kv {
namespace {

constexpr const char* kOperatorNames[] = {"INVALID OPERATOR", "<", ">", "<=", ">=", "=", "!=", "AND", "OR", "LIKE",
                                          "BETWEEN"};
constexpr const char* kFunctionNames[] = {"INVALID TYPE", "DISTINCT", "COUNT", "MIN", "MAX", "SUM", "AVG"};
constexpr const char* kJoinTypeNames[] = {"INNER_JOIN", "LEFT_JOIN"};

template <std::size_t N>
const char* NameAt(const char* const (&names)[N], std::uint8_t code) {
  return code < N ? names[code] : nullptr;
}

// A copy of an optional text in the pool; false when memory runs out.
bool CopyOptional(MemoryPool& pool, const char* text, const char** copy) {
  *copy = nullptr;
  if (!text) return true;
  *copy = pool.CopyText(text);
  return *copy != nullptr;
}

// A copy of length bytes of value in the pool (none for a null value);
// false when memory runs out.
bool CopyValue(MemoryPool& pool, const char* value, std::int32_t length, const char** copy, std::int32_t* copyLength) {
  if (!value || length < 0) return true;
  *copy = pool.CopyBytes(value, static_cast<std::size_t>(length));
  *copyLength = length;
  return *copy != nullptr;
}

CriteriaExp* MakeCriteriaNode(SelectQuery& query, CriteriaExp* left, CriteriaExp* right, std::uint8_t op) {
  if (!left || !right) return nullptr;
  CriteriaExp* node = query.pool.New<CriteriaExp>();
  if (!node) return nullptr;
  node->op = op;
  node->left = left;
  node->right = right;
  left->parent = node;
  right->parent = node;
  return node;
}

}  // namespace

const char* SqlOperatorName(std::uint8_t op) { return NameAt(kOperatorNames, op); }
const char* SqlFunctionName(std::uint8_t function) { return NameAt(kFunctionNames, function); }
const char* SqlJoinTypeName(std::uint8_t joinType) { return NameAt(kJoinTypeNames, joinType); }

const char* SelectQueryTable(const SelectQuery& query) {
  if (query.tables.first) return query.tables.first->item->tableName;
  if (query.joins.first) return query.joins.first->item->baseTable;
  return nullptr;
}

SelectQueryPtr CreateSelectQuery() {
  SelectQueryPtr query(new (std::nothrow) SelectQuery);
  if (!query) LogError("\nMEMORY ALLOCATION FOR SELECTQUERYPTR FAILED\n");
  return query;
}

SelectColumn* MakeSelectColumn(SelectQuery& query, const char* tableName, const char* tableAlias,
                               const char* columnName, const char* columnAlias, std::uint8_t type,
                               std::uint8_t function) {
  // Every column type of the store can be selected, TARN_SQL_TEXT included.
  if (type > TARN_SQL_LAST_TYPE) {
    LogError("\nInvalid Data Type\n");
    return nullptr;
  }
  if (!columnName && function == SQL_FUNCTION_NONE) {
    LogError("\nColumn Name is NULL\n");
    return nullptr;
  }
  SelectColumn* column = query.pool.New<SelectColumn>();
  if (!column) return nullptr;
  column->type = type;
  column->function = function;
  MemoryPool& pool = query.pool;
  if (!CopyOptional(pool, tableName, &column->tableName) || !CopyOptional(pool, tableAlias, &column->tableAlias) ||
      !CopyOptional(pool, columnName, &column->columnName) || !CopyOptional(pool, columnAlias, &column->columnAlias))
    return nullptr;
  return column;
}

SelectColumnList* MakeColumnList(SelectQuery& query) { return query.pool.New<SelectColumnList>(); }

bool AppendColumn(SelectQuery& query, SelectColumnList* list, SelectColumn* column) {
  return list && column && list->Append(query.pool, column);
}

bool AddSelectColumn(SelectQuery& query, SelectColumn* column) {
  return column && query.columns.Append(query.pool, column);
}

bool AddSelectTable(SelectQuery& query, const char* tableName, const char* alias) {
  if (!tableName) return false;
  SelectTable* table = query.pool.New<SelectTable>();
  return table && CopyOptional(query.pool, tableName, &table->tableName) &&
         CopyOptional(query.pool, alias, &table->alias) && query.tables.Append(query.pool, table);
}

SelectJoin* MakeSelectJoin(SelectQuery& query, const char* baseTable, const char* baseAlias, const char* referenceTable,
                           const char* referenceAlias, std::uint8_t joinType, SelectColumnList* baseColumns,
                           SelectColumnList* referenceColumns) {
  SelectJoin* join = query.pool.New<SelectJoin>();
  if (!join) return nullptr;
  MemoryPool& pool = query.pool;
  if (!CopyOptional(pool, baseTable, &join->baseTable) || !CopyOptional(pool, baseAlias, &join->baseAlias) ||
      !CopyOptional(pool, referenceTable, &join->referenceTable) ||
      !CopyOptional(pool, referenceAlias, &join->referenceAlias))
    return nullptr;
  join->joinType = joinType;
  join->baseColumns = baseColumns;
  join->referenceColumns = referenceColumns;
  return join;
}

bool AddSelectJoin(SelectQuery& query, SelectJoin* join) { return join && query.joins.Append(query.pool, join); }

CriteriaExp* MakeCriteriaLeaf(SelectQuery& query, SelectColumn* column, const char* value, std::int32_t length,
                              std::uint8_t op) {
  if (!column) {
    LogError("\nEmpty Column Assigned\n");
    return nullptr;
  }
  CriteriaExp* leaf = query.pool.New<CriteriaExp>();
  if (!leaf) return nullptr;
  leaf->column = column;
  leaf->op = op;
  return CopyValue(query.pool, value, length, &leaf->value, &leaf->valueLength) ? leaf : nullptr;
}

CriteriaExp* MakeCriteriaAnd(SelectQuery& query, CriteriaExp* left, CriteriaExp* right) {
  return MakeCriteriaNode(query, left, right, SQL_OP_AND);
}

CriteriaExp* MakeCriteriaOr(SelectQuery& query, CriteriaExp* left, CriteriaExp* right) {
  return MakeCriteriaNode(query, left, right, SQL_OP_OR);
}

void SetCriteria(SelectQuery& query, CriteriaExp* root) { query.criteria = root; }

GroupByClause* MakeGroupByClause(SelectQuery& query, SelectColumnList* columns, SelectColumn* havingColumn,
                                 const char* havingValue, std::int32_t havingLength, std::uint8_t havingOp) {
  GroupByClause* groupBy = query.pool.New<GroupByClause>();
  if (!groupBy) return nullptr;
  groupBy->columns = columns;
  if (!havingColumn) return groupBy;
  HavingCondition* having = query.pool.New<HavingCondition>();
  if (!having) return nullptr;
  having->column = havingColumn;
  having->op = havingOp;
  if (!CopyValue(query.pool, havingValue, havingLength, &having->value, &having->valueLength)) return nullptr;
  groupBy->having = having;
  return groupBy;
}

void SetGroupBy(SelectQuery& query, GroupByClause* groupBy) { query.groupBy = groupBy; }

SortClause* MakeSortClause(SelectQuery& query, SelectColumnList* columns, std::uint8_t ascending) {
  SortClause* sort = query.pool.New<SortClause>();
  if (!sort) return nullptr;
  sort->columns = columns;
  sort->ascending = ascending;
  return sort;
}

void SetSortClause(SelectQuery& query, SortClause* sort) { query.sort = sort; }

void SetRowCount(SelectQuery& query, std::int32_t rowCount) { query.rowCount = rowCount; }
void SetStartRow(SelectQuery& query, std::int32_t startRow) { query.startRow = startRow; }

}  // namespace kv
