#pragma once
// Index tables: for each dominant table configured as indexed, a table
// "<dominant>_IDX" on the default connection with the dominant table's key
// columns and TABLENAME, one row per (dominant key, table holding rows for
// it). Saving callers keep it with AddEntryToIndexTable; DeepRetrieveDO
// reads only the tables it names.

#include "dataobjects/data_object.h"
#include "store/store_results.h"
#include "store/stored_value.h"

namespace kv {

// Creates "<dominant>_IDX" ("CREATE TABLE %s_IDX(%s TABLENAME VARCHAR(40))"
// with the key columns, INT or VARCHAR(max size)); one that is there
// already is kept. False with "Cannot create Index Table for %s\n" when the
// table has no key, or when the statement fails.
[[nodiscard]] bool CreateIndexTable(const char* dominantTable);

// Records a saved row of a table in the index tables of the indexed
// dominant tables (one key column) that it belongs to: through each of its
// foreign keys whose chain leads to the dominant key, with the row's value,
// or, for a table that reaches the dominant table only through others (a
// part through its product), with the key its row there holds, read from
// the database. A new row (state 2 or 6) enters its table under the key
// unless it is there, a deleted one (bits 1 and 8) takes its table out once
// the table holds no more rows for the key. 1, also for a table without
// foreign keys ("No References.\n"); 0 with "Cannot Add Entry Into Index
// Table\n" when a statement fails. The row's values are in the table's
// column order.
[[nodiscard]] int AddEntryToIndexTable(const char* tableName, const RowView& row);
// AddEntryToIndexTable for every row unit of a saved data object.
[[nodiscard]] int AddDataObjectToIndexTables(const DataObject* object);

// The dominant row's entity from only the tables its index rows name (the
// dominant table first): GetDataObjectByRowUnit. Null without an error
// line when the index has no row for the key; null with "Query: %s. No
// tables indexed.  Cannot deep retrieve DO for %s\n" when it cannot be
// read, "No primary keys in dominant table %s\n" when the key is unusable.
DataObjectPtr DeepRetrieveDO(const char* dominantTable, const RowUnit* rowUnit);

}  // namespace kv
