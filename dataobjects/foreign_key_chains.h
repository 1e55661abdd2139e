#pragma once
// Foreign-key chains through the data dictionary: a local column refers to
// a column of another table, which may itself refer further. Every step of
// a chain holds the same value, so a column's chain says which rows of
// other tables it belongs to. The order of tables that saving needs (every
// table after the tables it references) comes from the same entries.
// Table names from foreign keys match without regard to case; a chain that
// comes back to where it has been ends there.

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "store/table_defn.h"

namespace kv {

// The tables in an order where each follows the tables it references.
// Repeatedly the first remaining table is placed, after placing first (by
// the same rule) the first table its foreign keys name among the remaining
// ones; a reference to the first remaining table or to itself imposes no
// order. Nothing (logged) when the tables reference each other in a circle
// otherwise. A table named twice is placed once.
std::optional<std::vector<const char*>> SortTableByFK(std::span<const char* const> tables);

struct ChainEnd {
  std::string table;
  // Empty for a table reached without a column.
  std::string column;
};

// Where the table's foreign-key chains end: from each entry whose local
// column is the column (every entry for a null column), onwards through the
// referenced table's entries of the referenced column, until a column that
// refers nowhere: the (table, column) of that end. An unknown table logs
// "No table definition found for %s\n" and ends nothing.
std::vector<ChainEnd> FindRootTable(const char* tableName, const char* columnName);

// Whether the entry's chain reaches the column of the table (at the entry
// itself or further on).
[[nodiscard]] bool CompareRootRefTable(const ForeignKeyDefn& entry, const char* tableName, const char* columnName);

// One foreign key followed from a table to the table it references, with
// its (local, referenced) column pairs.
struct ForeignKeyStep {
  std::string table;
  std::string referenceTable;
  std::vector<std::pair<std::string, std::string>> columns;
};

// How the rows of a table belong to rows of an owner table. The holder is
// the table whose own foreign-key chains lead to every key column of the
// owner: the table itself, or a table it reaches through the steps (each
// step's reference table is the next step's table). keys pairs each of the
// holder's columns with the owner's key column its chain leads to, in key
// order. A row of the table belongs to the owner's row whose key its holder
// row holds: a part to the vendor of its product.
struct OwnerLink {
  std::vector<ForeignKeyStep> steps;
  std::string holder;
  std::vector<std::pair<std::string, std::string>> keys;
};

// The link with the fewest steps (the first in foreign-key order among
// equals), or nothing when no chain of foreign keys leads from the table to
// the owner's key, when the owner has no key or is the table itself. Names
// are the dictionary's. An unknown table logs "No table definition found
// for %s\n".
std::optional<OwnerLink> FindOwnerLink(const char* tableName, const char* ownerTable);

// The table's foreign-key entries, or null when it has none.
const VectorOf<ForeignKeyDefn>* ForeignKeysOf(const TableDefn* definition);

}  // namespace kv
