#pragma once
// Tables written back to the database by row state: new rows (state 2 or
// 6) are inserted, modified ones (5) updated and deleted ones (any state
// with bits 1 and 8) deleted, each in the SQL dialect of the table's data
// source. A table is saved under the store's table lock, in one
// transaction in which a failed row statement undoes only itself
// (dbstore/row_statements.h): a row whose statement fails keeps its state
// (and is tried again by the next save) without undoing the others, and a
// save that cannot be committed changes no row's state.

#include <cstdint>

#include "store/store_results.h"

namespace kv {

// What one SaveTable did.
struct SaveCounts {
  std::int32_t inserted = 0;
  std::int32_t updated = 0;
  std::int32_t deleted = 0;
  // Rows whose statement failed; they keep their state.
  std::int32_t failed = 0;
};

// 1 when the table was gone through (rows that failed are logged and keep
// their state), 0 for an unknown table, one without a data source or
// connection, or a save that could not be committed. counts may be null.
[[nodiscard]] int SaveTable(const char* tableName, SaveCounts* counts = nullptr);
// SaveTable for every table in memory, in registry order; always true.
[[nodiscard]] bool SaveAllTables();
// SaveTable for each table of "<root>/data/savetableslist.txt"; true (also
// when there is no list: "No tables to be saved.\n").
[[nodiscard]] bool SaveTablesFromList();

// Saves the documents that "defaultdata.txt" names, in order; true only when
// every one was read and saved whole (also for none, or when there is no
// list). Each document that fails is named in the log, and the rest are
// still tried.
[[nodiscard]] bool SaveDefaultData();
// Adds the rows of an XML table document to the store and saves the tables
// named by the document's top-level elements, 50 names at a time; true when
// the document was read and every row of those tables was saved.
[[nodiscard]] bool SaveDataInXML(const char* path);

}  // namespace kv
