#pragma once
// Stored queries: select queries kept as rows of database tables
// (QueryDetails and its companions), read back by query number into the
// select-query model, written in the dialect of their first table's data
// source and run there.
//
// The tables, each read on the data source the data-source map gives it:
//   QueryvsColumns(QUERY_ID, COLUMN_ID)   ColumnDetails(COLUMN_ID, COLUMNNAME,
//       COLUMNALIAS, TABLENAME, TABLEALIAS, FUNCTIONNAME)
//   QueryvsTables(QUERY_ID, TABLE_ID)     TableDetails(TABLE_ID, TABLENAME, TABLEALIAS)
//   QueryvsJoins(QUERY_ID, JOIN_ID)       JoinDetails(JOIN_ID, BASETABLENAME,
//       BASETABLEALIAS, REFTABLENAME, REFTABLEALIAS, BASETABLECOLUMN,
//       REFTABLECOLUMN, JOINTYPE)
//   QueryvsGB(QUERY_ID, GB_ID)            GroupByDetails(GB_ID, TABLENAME, COLUMNNAME)
//   QueryvsSort(QUERY_ID, SORT_ID)        SortDetails(SORT_ID, TABLENAME, COLUMNNAME, SORTTYPE)
//   QueryvsCriteria(QUERY_ID, B_ID)       BooleanExp(B_ID, LEXPRESSION, OPERATOR, REXPRESSION)
//                                         RelationalExp(R_ID, LIDENTIFIER, OPERATOR, RIDENTIFIER)
//   QueryDetails(QUERY_ID)                the queries RunStoredQueries runs

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "db/db_result_set.h"
#include "db/select_query.h"

namespace kv {

// The codes of the names stored rows give operators ("<" ... "BETWEEN"),
// column functions ("DISTINCT" ... "AVG") and join types ("INNER_JOIN",
// "LEFT_JOIN") by, matched exactly: 0 for an unknown operator or function,
// SQL_INVALID_JOIN for an unknown join type.
constexpr std::uint8_t SQL_INVALID_JOIN = 2;
[[nodiscard]] std::uint8_t SqlOperatorCode(const char* name);
[[nodiscard]] std::uint8_t SqlFunctionCode(const char* name);
[[nodiscard]] std::uint8_t SqlJoinTypeCode(const char* name);

// Each reads one aspect of a stored query into the query: a missing list
// leaves the aspect empty (logged at DEBUG); false when a statement fails,
// a number is no number, or a row the list names lacks what it must have.
[[nodiscard]] bool GetQueryColumns(std::int32_t queryNumber, SelectQuery& query);
[[nodiscard]] bool GetQueryTables(std::int32_t queryNumber, SelectQuery& query);
[[nodiscard]] bool GetQueryJoins(std::int32_t queryNumber, SelectQuery& query);
[[nodiscard]] bool GetQueryGroupBy(std::int32_t queryNumber, SelectQuery& query);
[[nodiscard]] bool GetQuerySort(std::int32_t queryNumber, SelectQuery& query);
// The criteria of the query's B_ID: a BooleanExp row joins the expressions
// of its LEXPRESSION and REXPRESSION with AND (OPERATOR exactly "AND") or
// OR; without one the number is an R_ID of RelationalExp, a comparison of
// the column LIDENTIFIER with the text RIDENTIFIER. A query whose number
// has neither row has no criteria; a part of an expression that has
// neither, or expressions that contain themselves, make it fail.
[[nodiscard]] bool GetQueryCriteria(std::int32_t queryNumber, SelectQuery& query);

// The stored query in the model; null (logged) when an aspect cannot be read.
SelectQueryPtr ReadStoredQuery(std::int32_t queryNumber);
// Its SQL text.
std::optional<std::string> BuildStoredQuery(std::int32_t queryNumber);
// Runs it on the data source of its first table.
DBResultSetPtr RunStoredQuery(std::int32_t queryNumber);
// Starts database access on the store's data directory as a program of its
// own would (the store's log, the providers, the "FIREBIRD" dialect for
// every table, the dictionary, printed, the data-source map, the
// connection parameters and the connections) and runs every stored query.
[[nodiscard]] bool RunStoredQueries();
// Builds and runs every query of QueryDetails ("SELECT QUERY_ID FROM
// QueryDetails"); false with "Query failed\n" when the list cannot be read.
[[nodiscard]] bool ExecuteStoredQueries();

// The stored criteria as text (left expression, operator and right
// expression, each as it is stored, without separators), logged at DEBUG;
// nothing when the query has none.
std::optional<std::string> PrintStoredCriteria(std::int32_t queryNumber);

// Column lists for building queries by hand: plain names, or names of a
// table's columns that join (operator 5). Null when memory runs out.
SelectColumnList* MakeColumnVector(SelectQuery& query, std::initializer_list<const char*> names);
SelectColumnList* MakeColumnVectorForJoin(SelectQuery& query, const char* tableName,
                                          std::initializer_list<const char*> names);
SelectColumnList* MakeColumnVectorForJoin(SelectQuery& query, const char* tableName,
                                          const std::vector<const char*>& names);

}  // namespace kv
