#pragma once
// Whether a row change can name its row. An update or delete whose condition
// leaves out a key column reaches every row that agrees on the others: with
// no key at all, the whole table. So a table without a primary key, or a row
// whose key value is NULL, gets no update or delete text; and no row is
// inserted with a NULL key (SQLite would take it, and no later change could
// name the row).

#include <span>

#include "store/stored_value.h"
#include "store/table_defn.h"

namespace kv {

// True when each primary-key column of the table (names compared without
// regard to case) holds a value in the row; otherwise false, with an ERROR
// line naming the column, the table and the operation ("insert", "update",
// "delete"). A table without a primary key passes.
[[nodiscard]] bool KeyHasValues(const TableDefn& definition, std::span<const StoredValue> row, const char* operation);

// KeyHasValues for a table that has a primary key; false, with an ERROR line
// naming the table and the operation, for one that has none.
[[nodiscard]] bool RowHasKey(const TableDefn& definition, std::span<const StoredValue> row, const char* operation);

}  // namespace kv
