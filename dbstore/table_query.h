#pragma once
// A select run on the data source of a table: a pooled connection is taken
// for the one statement and given back.

#include "db/db_result_set.h"

namespace kv {

struct TableQueryResult {
  // False when the table has no data source or no connection could be had.
  bool connected = false;
  // Null when the query failed.
  DBResultSetPtr rows;
};

TableQueryResult QueryTableSource(const char* tableName, const char* sql);

}  // namespace kv
