#pragma once
// The select-query model: a query described as data (columns, tables,
// joins, criteria, grouping, sorting and a row window) from which each SQL
// dialect writes its own text. Every part of a query lives in the query's
// own memory pool and goes with it in one step; parts hold plain pointers
// into the pool and are never freed one by one.

#include <cstdint>
#include <memory>

#include "store/memory_pool.h"

namespace kv {

// Operator codes of criteria and having conditions (1 to 8 are the criteria
// language's own).
constexpr std::uint8_t SQL_OP_INVALID = 0;
constexpr std::uint8_t SQL_OP_LT = 1;
constexpr std::uint8_t SQL_OP_GT = 2;
constexpr std::uint8_t SQL_OP_LE = 3;
constexpr std::uint8_t SQL_OP_GE = 4;
constexpr std::uint8_t SQL_OP_EQ = 5;
constexpr std::uint8_t SQL_OP_NE = 6;
constexpr std::uint8_t SQL_OP_AND = 7;
constexpr std::uint8_t SQL_OP_OR = 8;
constexpr std::uint8_t SQL_OP_LIKE = 9;
constexpr std::uint8_t SQL_OP_BETWEEN = 10;
constexpr std::uint8_t SQL_OP_LAST = SQL_OP_BETWEEN;

// Column functions.
constexpr std::uint8_t SQL_FUNCTION_NONE = 0;
constexpr std::uint8_t SQL_FUNCTION_DISTINCT = 1;
constexpr std::uint8_t SQL_FUNCTION_COUNT = 2;
constexpr std::uint8_t SQL_FUNCTION_MIN = 3;
constexpr std::uint8_t SQL_FUNCTION_MAX = 4;
constexpr std::uint8_t SQL_FUNCTION_SUM = 5;
constexpr std::uint8_t SQL_FUNCTION_AVG = 6;
constexpr std::uint8_t SQL_FUNCTION_LAST = SQL_FUNCTION_AVG;

// Join types.
constexpr std::uint8_t SQL_INNER_JOIN = 0;
constexpr std::uint8_t SQL_LEFT_JOIN = 1;

// The names by which stored queries give operators, functions and join
// types, indexed by code; null beyond the last code.
const char* SqlOperatorName(std::uint8_t op);
const char* SqlFunctionName(std::uint8_t function);
const char* SqlJoinTypeName(std::uint8_t joinType);

// A singly linked list of parts, its nodes in the query's pool.
template <class T>
struct PoolList {
  struct Node {
    T* item;
    Node* next;
  };
  Node* first = nullptr;
  Node* last = nullptr;
  std::int32_t count = 0;

  [[nodiscard]] bool Append(MemoryPool& pool, T* item) {
    Node* node = pool.New<Node>(Node{item, nullptr});
    if (!node) return false;
    (last ? last->next : first) = node;
    last = node;
    ++count;
    return true;
  }
  [[nodiscard]] bool Empty() const { return count == 0; }

  struct Iterator {
    Node* node;
    T& operator*() const { return *node->item; }
    Iterator& operator++() {
      node = node->next;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return node != other.node; }
  };
  Iterator begin() const { return Iterator{first}; }
  Iterator end() const { return Iterator{nullptr}; }
};

struct SelectColumn {
  const char* tableName = nullptr;
  const char* tableAlias = nullptr;
  const char* columnName = nullptr;
  const char* columnAlias = nullptr;
  // Join columns carry SQL_OP_EQ; the text generators do not read it.
  std::int32_t op = 0;
  std::uint8_t type = 0;      // TARN_SQL_*
  std::uint8_t function = 0;  // SQL_FUNCTION_*
};
using SelectColumnList = PoolList<SelectColumn>;

struct SelectTable {
  const char* tableName = nullptr;
  const char* alias = nullptr;
};

struct SelectJoin {
  const char* baseTable = nullptr;
  const char* baseAlias = nullptr;
  const char* referenceTable = nullptr;
  const char* referenceAlias = nullptr;
  std::uint8_t joinType = SQL_INNER_JOIN;
  // Paired by position.
  SelectColumnList* baseColumns = nullptr;
  SelectColumnList* referenceColumns = nullptr;
};

struct CriteriaExp {
  // Leaves only.
  SelectColumn* column = nullptr;
  // The value's bytes (NUL-terminated copy in the pool); a BETWEEN leaf
  // holds both bounds as its text ("1 AND 10").
  const char* value = nullptr;
  std::int32_t valueLength = 0;
  std::uint8_t op = 0;
  CriteriaExp* left = nullptr;
  CriteriaExp* right = nullptr;
  CriteriaExp* parent = nullptr;
};

struct HavingCondition {
  // Its function code names the aggregate.
  SelectColumn* column = nullptr;
  const char* value = nullptr;
  std::int32_t valueLength = 0;
  std::uint8_t op = 0;
};

struct GroupByClause {
  SelectColumnList* columns = nullptr;
  HavingCondition* having = nullptr;
};

struct SortClause {
  SelectColumnList* columns = nullptr;
  std::uint8_t ascending = 1;  // 0: descending; for the whole list
};

struct SelectQuery {
  MemoryPool pool{4096};
  SelectColumnList columns;  // empty: all columns
  PoolList<SelectJoin> joins;
  CriteriaExp* criteria = nullptr;
  GroupByClause* groupBy = nullptr;
  SortClause* sort = nullptr;
  PoolList<SelectTable> tables;
  std::int32_t rowCount = 0;  // 0: no limit
  std::int32_t startRow = 0;  // 0: from the first row
};

// Freeing the query frees its pool and everything in it.
using SelectQueryPtr = std::unique_ptr<SelectQuery>;

// The table a query is about, whose data source runs it: its first table,
// else the base table of its first join; null when it has neither.
const char* SelectQueryTable(const SelectQuery& query);

// A new empty query; null with "\nMEMORY ALLOCATION FOR SELECTQUERYPTR
// FAILED\n" when it cannot be made.
SelectQueryPtr CreateSelectQuery();

// A column in the query's pool (texts copied; each may be null). Null with
// "\nInvalid Data Type\n" for a type above TARN_SQL_TEXT, with "\nColumn
// Name is NULL\n" for a column without a name and without a function, or
// when memory runs out.
SelectColumn* MakeSelectColumn(SelectQuery& query, const char* tableName, const char* tableAlias,
                               const char* columnName, const char* columnAlias, std::uint8_t type,
                               std::uint8_t function = SQL_FUNCTION_NONE);
// An empty list of columns in the pool (for joins, grouping and sorting).
SelectColumnList* MakeColumnList(SelectQuery& query);
[[nodiscard]] bool AppendColumn(SelectQuery& query, SelectColumnList* list, SelectColumn* column);

// Adds a column to the selected columns, a table to the table list.
[[nodiscard]] bool AddSelectColumn(SelectQuery& query, SelectColumn* column);
[[nodiscard]] bool AddSelectTable(SelectQuery& query, const char* tableName, const char* alias);

// A join of two tables over paired column lists (either may be null: no
// "on" part); added with AddSelectJoin.
SelectJoin* MakeSelectJoin(SelectQuery& query, const char* baseTable, const char* baseAlias, const char* referenceTable,
                           const char* referenceAlias, std::uint8_t joinType, SelectColumnList* baseColumns,
                           SelectColumnList* referenceColumns);
[[nodiscard]] bool AddSelectJoin(SelectQuery& query, SelectJoin* join);

// A criteria leaf comparing a column with a copy of length bytes of value;
// null with "\nEmpty Column Assigned\n" without a column.
CriteriaExp* MakeCriteriaLeaf(SelectQuery& query, SelectColumn* column, const char* value, std::int32_t length,
                              std::uint8_t op);
// AND and OR nodes over two existing nodes, which they become the parent of.
CriteriaExp* MakeCriteriaAnd(SelectQuery& query, CriteriaExp* left, CriteriaExp* right);
CriteriaExp* MakeCriteriaOr(SelectQuery& query, CriteriaExp* left, CriteriaExp* right);
void SetCriteria(SelectQuery& query, CriteriaExp* root);

// A group-by clause; having is optional (column null: none).
GroupByClause* MakeGroupByClause(SelectQuery& query, SelectColumnList* columns, SelectColumn* havingColumn,
                                 const char* havingValue, std::int32_t havingLength, std::uint8_t havingOp);
void SetGroupBy(SelectQuery& query, GroupByClause* groupBy);

SortClause* MakeSortClause(SelectQuery& query, SelectColumnList* columns, std::uint8_t ascending);
void SetSortClause(SelectQuery& query, SortClause* sort);

void SetRowCount(SelectQuery& query, std::int32_t rowCount);
void SetStartRow(SelectQuery& query, std::int32_t startRow);

}  // namespace kv
