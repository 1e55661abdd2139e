#include "dataobjects/stored_query.h"

#include <cstring>
#include <vector>

#include "base/log_writer.h"
#include "dataobjects/stored_query_reading.h"
#include "db/connection_pool.h"
#include "db/db_statements.h"
#include "db/sql_builder.h"
#include "db/sql_front.h"
#include "store/column_types.h"
#include "store/data_dictionary.h"

namespace kv {
namespace {

template <class NameOf>
std::uint8_t CodeOf(const char* name, NameOf nameOf, std::uint8_t unknown) {
  if (!name) return unknown;
  for (std::uint8_t code = 0; const char* known = nameOf(code); ++code)
    if (std::strcmp(known, name) == 0) return code;
  return unknown;
}

// The dictionary type of a table's column (exact names); TARN_SQL_CHAR when
// there is none.
std::uint8_t DictionaryType(const std::optional<std::string>& table, const std::optional<std::string>& column) {
  if (!table || !column) return TARN_SQL_CHAR;
  const TableDefn* definition = GetTableDefn(table->c_str());
  if (!definition || definition->name != *table) return TARN_SQL_CHAR;
  const std::int32_t index = GetColumnIndex(definition, column->c_str());
  return index < 0 ? std::uint8_t{TARN_SQL_CHAR} : definition->columns.At(index)->type;
}

const char* Text(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

// The numbers of a query's list; nothing when it cannot be read. An empty
// list logs its message.
std::optional<std::vector<std::int32_t>> ListOf(const char* table, const char* statement, std::int32_t queryNumber,
                                                const char* missing) {
  std::optional<std::vector<std::int32_t>> ids = ReadStoredNumbers(table, statement, queryNumber);
  if (ids && ids->empty()) LogDebug("%s", missing);
  return ids;
}

// Reads named texts of one detail row, each by its own statement.
class DetailRow {
 public:
  DetailRow(const char* table, std::int32_t id) : table_(table), id_(id) {}

  // The text of a statement, or nothing; reading stops at the first failure.
  std::optional<std::string> Read(const char* statement) {
    std::optional<std::string> text;
    if (ok_ && !ReadStoredText(table_, statement, id_, text)) ok_ = false;
    return text;
  }
  // A text the row must have.
  std::optional<std::string> Require(const char* statement, const char* what) {
    std::optional<std::string> text = Read(statement);
    if (ok_ && !text) {
      LogError("No %s in %s for %d.\n", what, table_, id_);
      ok_ = false;
    }
    return text;
  }
  bool ok() const { return ok_; }

 private:
  const char* table_;
  std::int32_t id_;
  bool ok_ = true;
};

// A list of one column of a table, its type from the dictionary.
SelectColumnList* ColumnOf(SelectQuery& query, const std::optional<std::string>& table,
                           const std::optional<std::string>& alias, const std::optional<std::string>& column) {
  SelectColumnList* list = MakeColumnList(query);
  SelectColumn* selected =
      MakeSelectColumn(query, Text(table), Text(alias), Text(column), nullptr, DictionaryType(table, column));
  if (!selected || !AppendColumn(query, list, selected)) return nullptr;
  selected->op = SQL_OP_EQ;
  return list;
}

}  // namespace

std::uint8_t SqlOperatorCode(const char* name) { return CodeOf(name, SqlOperatorName, SQL_OP_INVALID); }
std::uint8_t SqlFunctionCode(const char* name) { return CodeOf(name, SqlFunctionName, SQL_FUNCTION_NONE); }
std::uint8_t SqlJoinTypeCode(const char* name) { return CodeOf(name, SqlJoinTypeName, SQL_INVALID_JOIN); }

bool GetQueryColumns(std::int32_t queryNumber, SelectQuery& query) {
  const auto ids = ListOf("QueryvsColumns", "SELECT COLUMN_ID FROM QueryvsColumns WHERE QUERY_ID = ", queryNumber,
                          "\nNo Columns to be selected.\n");
  if (!ids) return false;
  for (const std::int32_t id : *ids) {
    DetailRow row("ColumnDetails", id);
    const auto name = row.Read("SELECT COLUMNNAME FROM ColumnDetails WHERE COLUMN_ID = ");
    const auto alias = row.Read("SELECT COLUMNALIAS FROM ColumnDetails WHERE COLUMN_ID = ");
    const auto table = row.Read("SELECT TABLENAME FROM ColumnDetails WHERE COLUMN_ID = ");
    const auto tableAlias = row.Read("SELECT TABLEALIAS FROM ColumnDetails WHERE COLUMN_ID = ");
    const auto function = row.Read("SELECT FUNCTIONNAME FROM ColumnDetails WHERE COLUMN_ID = ");
    if (!row.ok()) return false;
    SelectColumn* column = MakeSelectColumn(query, Text(table), Text(tableAlias), Text(name), Text(alias),
                                            DictionaryType(table, name), SqlFunctionCode(Text(function)));
    if (!AddSelectColumn(query, column)) return false;
  }
  return true;
}

bool GetQueryTables(std::int32_t queryNumber, SelectQuery& query) {
  const auto ids = ListOf("QueryvsTables", "SELECT TABLE_ID FROM QueryvsTables WHERE QUERY_ID = ", queryNumber,
                          "\nNo Tables to be selected\n");
  if (!ids) return false;
  for (const std::int32_t id : *ids) {
    DetailRow row("TableDetails", id);
    const auto name = row.Require("SELECT TABLENAME FROM TableDetails WHERE TABLE_ID = ", "TABLENAME");
    const auto alias = row.Read("SELECT TABLEALIAS FROM TableDetails WHERE TABLE_ID = ");
    if (!row.ok()) return false;
    if (alias) LogDebug("\nTable Alias = %s", alias->c_str());
    if (!AddSelectTable(query, name->c_str(), Text(alias))) return false;
  }
  return true;
}

bool GetQueryJoins(std::int32_t queryNumber, SelectQuery& query) {
  const auto ids =
      ListOf("QueryvsJoins", "SELECT JOIN_ID FROM QueryvsJoins WHERE QUERY_ID = ", queryNumber, "\nNo Join details\n");
  if (!ids) return false;
  for (const std::int32_t id : *ids) {
    DetailRow row("JoinDetails", id);
    const auto base = row.Read("SELECT BASETABLENAME FROM JoinDetails WHERE JOIN_ID = ");
    const auto baseAlias = row.Read("SELECT BASETABLEALIAS FROM JoinDetails WHERE JOIN_ID = ");
    const auto reference = row.Require("SELECT REFTABLENAME FROM JoinDetails WHERE JOIN_ID = ", "REFTABLENAME");
    const auto referenceAlias = row.Read("SELECT REFTABLEALIAS FROM JoinDetails WHERE JOIN_ID = ");
    const auto baseColumn = row.Require("SELECT BASETABLECOLUMN FROM JoinDetails WHERE JOIN_ID = ", "BASETABLECOLUMN");
    const auto referenceColumn =
        row.Require("SELECT REFTABLECOLUMN FROM JoinDetails WHERE JOIN_ID = ", "REFTABLECOLUMN");
    const auto type = row.Read("SELECT JOINTYPE FROM JoinDetails WHERE JOIN_ID = ");
    if (!row.ok()) return false;
    SelectColumnList* baseColumns = ColumnOf(query, base, baseAlias, baseColumn);
    SelectColumnList* referenceColumns = ColumnOf(query, reference, referenceAlias, referenceColumn);
    if (!baseColumns || !referenceColumns) return false;
    SelectJoin* join = MakeSelectJoin(query, Text(base), Text(baseAlias), Text(reference), Text(referenceAlias),
                                      SqlJoinTypeCode(Text(type)), baseColumns, referenceColumns);
    if (!AddSelectJoin(query, join)) return false;
  }
  return true;
}

namespace {

// The statements of a list of column details: the table they read, the
// table and column name of each row, and a further text (or null).
struct DetailColumnStatements {
  const char* table;
  const char* tableName;
  const char* columnName;
  const char* extra;
};

// The columns of the detail rows, their types from the dictionary; extra
// becomes the further text of the last row that has one. Null when a row
// cannot be read.
SelectColumnList* ReadDetailColumns(SelectQuery& query, const std::vector<std::int32_t>& ids,
                                    const DetailColumnStatements& statements, std::optional<std::string>* extra) {
  SelectColumnList* columns = MakeColumnList(query);
  if (!columns) return nullptr;
  for (const std::int32_t id : ids) {
    DetailRow row(statements.table, id);
    const auto table = row.Read(statements.tableName);
    const auto name = row.Require(statements.columnName, "COLUMNNAME");
    const auto further = statements.extra ? row.Read(statements.extra) : std::nullopt;
    if (!row.ok()) return nullptr;
    SelectColumn* column =
        MakeSelectColumn(query, Text(table), nullptr, name->c_str(), nullptr, DictionaryType(table, name));
    if (!AppendColumn(query, columns, column)) return nullptr;
    if (further && extra) *extra = further;
  }
  return columns;
}

}  // namespace

bool GetQueryGroupBy(std::int32_t queryNumber, SelectQuery& query) {
  const auto ids =
      ListOf("QueryvsGB", "SELECT GB_ID FROM QueryvsGB WHERE QUERY_ID = ", queryNumber, "\nNo GroupBy details\n");
  if (!ids) return false;
  if (ids->empty()) return true;
  SelectColumnList* columns =
      ReadDetailColumns(query, *ids,
                        {"GroupByDetails", "SELECT TABLENAME FROM GroupByDetails WHERE GB_ID = ",
                         "SELECT COLUMNNAME FROM GroupByDetails WHERE GB_ID = ", nullptr},
                        nullptr);
  GroupByClause* groupBy = columns ? MakeGroupByClause(query, columns, nullptr, nullptr, 0, SQL_OP_INVALID) : nullptr;
  if (!groupBy) return false;
  SetGroupBy(query, groupBy);
  return true;
}

bool GetQuerySort(std::int32_t queryNumber, SelectQuery& query) {
  const auto ids =
      ListOf("QueryvsSort", "SELECT SORT_ID FROM QueryvsSort WHERE QUERY_ID = ", queryNumber, "\nNo Sort details\n");
  if (!ids) return false;
  if (ids->empty()) return true;
  std::optional<std::string> kind;
  SelectColumnList* columns = ReadDetailColumns(
      query, *ids,
      {"SortDetails", "SELECT TABLENAME FROM SortDetails WHERE SORT_ID = ",
       "SELECT COLUMNNAME FROM SortDetails WHERE SORT_ID = ", "SELECT SORTTYPE FROM SortDetails WHERE SORT_ID = "},
      &kind);
  // The direction of the whole list is that of the last row read: "DESC"
  // (any word beginning with D) sorts down, anything else up.
  const bool descending = kind && !kind->empty() && ((*kind)[0] == 'D' || (*kind)[0] == 'd');
  SortClause* sort = columns ? MakeSortClause(query, columns, descending ? 0 : 1) : nullptr;
  if (!sort) return false;
  SetSortClause(query, sort);
  return true;
}

SelectQueryPtr ReadStoredQuery(std::int32_t queryNumber) {
  return GuardMemory([&]() -> SelectQueryPtr {
    SelectQueryPtr query = CreateSelectQuery();
    if (!query) return nullptr;
    SelectQuery& model = *query;
    if (!GetQueryColumns(queryNumber, model) || !GetQueryTables(queryNumber, model) ||
        !GetQueryJoins(queryNumber, model) || !GetQueryGroupBy(queryNumber, model) ||
        !GetQuerySort(queryNumber, model) || !GetQueryCriteria(queryNumber, model)) {
      LogError("Cannot read stored query %d.\n", queryNumber);
      return nullptr;
    }
    return query;
  });
}

std::optional<std::string> BuildStoredQuery(std::int32_t queryNumber) {
  return GuardMemory([&]() -> std::optional<std::string> {
    const SelectQueryPtr query = ReadStoredQuery(queryNumber);
    return query ? GenerateSelectQuery(query.get()) : std::nullopt;
  });
}

DBResultSetPtr RunStoredQuery(std::int32_t queryNumber) {
  return GuardMemory([&]() -> DBResultSetPtr {
    const SelectQueryPtr query = ReadStoredQuery(queryNumber);
    const std::optional<std::string> sql = query ? GenerateSelectQuery(query.get()) : std::nullopt;
    const char* source = sql ? GetDataSourceOfTable(SelectQueryTable(*query)) : nullptr;
    if (!source) return nullptr;
    const PooledConnection handle(source);
    return handle ? ExecuteQuery(handle.get(), sql->c_str()) : nullptr;
  });
}

bool ExecuteStoredQueries() {
  return GuardMemory([]() -> bool {
    const char* source = GetDataSourceOfTable("QueryDetails");
    DBResultSetPtr list;
    if (source) {
      const PooledConnection handle(source);
      if (handle) list = ExecuteQuery(handle.get(), "SELECT QUERY_ID FROM QueryDetails");
    }
    if (!list) {
      LogError("Query failed\n");
      return false;
    }
    for (std::int32_t row = 0; row < list->rowCount(); ++row) {
      bool wrongType = false;
      const std::optional<std::int32_t> number = ResultNumber(*list, row, 0, wrongType);
      if (!number) {
        LogError("QueryDetails holds a QUERY_ID that is no number.\n");
        continue;
      }
      if (DBResultSetPtr result = RunStoredQuery(*number)) PrintResultSet(result.get());
    }
    return true;
  });
}

SelectColumnList* MakeColumnVector(SelectQuery& query, std::initializer_list<const char*> names) {
  SelectColumnList* list = MakeColumnList(query);
  for (const char* name : names)
    if (!AppendColumn(query, list, MakeSelectColumn(query, nullptr, nullptr, name, nullptr, 0))) return nullptr;
  return list;
}

SelectColumnList* MakeColumnVectorForJoin(SelectQuery& query, const char* tableName,
                                          std::initializer_list<const char*> names) {
  return MakeColumnVectorForJoin(query, tableName, std::vector<const char*>(names));
}

SelectColumnList* MakeColumnVectorForJoin(SelectQuery& query, const char* tableName,
                                          const std::vector<const char*>& names) {
  SelectColumnList* list = MakeColumnList(query);
  for (const char* name : names) {
    SelectColumn* column = MakeSelectColumn(query, tableName, nullptr, name, nullptr, 0);
    if (!AppendColumn(query, list, column)) return nullptr;
    column->op = SQL_OP_EQ;
  }
  return list;
}

}  // namespace kv
