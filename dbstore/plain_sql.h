#pragma once
// The store's own SQL texts for one row of a table, apart from the
// dialects: values as plain literals, texts, dates and times between
// single quotes with a quote inside doubled, so that any text is one
// literal.
//   update <table> set C1=v1,C2=v2 where K1=v1 and K2=v2   (the primary key)
//   insert into  <table> values(v1,v2)
//   delete from <table> where C1=v1 and C2 IS NULL         (every column)

#include <optional>
#include <string>

#include "store/row_storage.h"
#include "store/table_defn.h"

namespace kv {

// Each gives nothing when a value has no text (a type without one).
std::optional<std::string> MakeUpdateQuery(const char* tableName, const RowObject* row, const TableDefn* definition);
std::optional<std::string> MakeInsertQuery(const char* tableName, const RowObject* row, const TableDefn* definition);
std::optional<std::string> MakeDeleteQuery(const char* tableName, const RowObject* row, const TableDefn* definition);

}  // namespace kv
