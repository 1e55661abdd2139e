#pragma once
// Tables moved from the database into memory: whole tables, the rows of a
// free select query, or a query's rows under a view name of their own; and
// tables taken out of memory again, without touching the database.
//
// The load list ("loadtablelist.txt" of the data directory), one entry a
// line of at most 254 characters:
//   TABLE               the whole table
//   TABLE select ...    the rows of the query ("select" or "SELECT" anywhere)
//   TABLE other text    the text is ignored: the whole table

#include <cstdint>
#include <functional>

#include "base/status.h"

namespace kv {

// Loads every entry of the data directory's load list; false only when the
// list cannot be opened ("Cannot open LoadTableList Entry File.\n").
[[nodiscard]] bool LoadAllTables();
// The same for a list at an explicit path; false when it cannot be opened.
[[nodiscard]] bool LoadTablesFromFile(const char* path);

// Loads the whole table ("select * from <table>") through its data source:
// the table must not be in memory yet, and the database's table must have
// as many columns as its definition. Loaded rows are in the database
// (state 1).
[[nodiscard]] bool LoadTable(const char* tableName);
// Loads the rows of a query into the table (made empty first, and left so
// when the query fails).
[[nodiscard]] bool LoadTableByQuery(const char* tableName, const char* query);
// The same two loads, with the reason of a failure: the ERROR entries it
// logged (the connection's, the database's and the store's), in order.
Status LoadTableRows(const char* tableName);
Status LoadTableRowsByQuery(const char* tableName, const char* query);
// Loads the rows of a query over one table into a new custom view with the
// table's columns.
[[nodiscard]] bool LoadViewByQuery(const char* viewName, const char* tableName, const char* query);

// Removes a table or view and its rows from memory; false when there is none.
[[nodiscard]] bool UnLoadTable(const char* name);
// Removes every table and view from memory.
void UnLoadAllTable();
// UnLoadAllTable, then LoadAllTables.
[[nodiscard]] bool ReloadTableData();

// Progress of a long load or save: rows done of the total so far, for the
// table named. Called from the thread that loads or saves; none is set at
// start.
struct TableProgress {
  const char* operation;  // "load" or "save"
  const char* tableName;
  std::int64_t done;
  std::int64_t total;
};
using TableProgressListener = std::function<void(const TableProgress&)>;
// Sets (an empty one: clears) the listener of every load and save.
void SetTableProgressListener(TableProgressListener listener);
// Asked every few hundred rows of a load or save whether to stop it (an
// empty check: never). A stopped load fails; a stopped save rolls its
// transaction back and its rows keep their states.
using TableCancelCheck = std::function<bool()>;
void SetTableCancelCheck(TableCancelCheck check);

}  // namespace kv
