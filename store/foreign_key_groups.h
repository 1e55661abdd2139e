#pragma once
// The foreign keys of a table as the dictionary declares them: one entry
// per column pair, so that a key of several columns is several entries in a
// row. Grouped again, each group is one foreign key: the entries that make
// a CREATE TABLE constraint, or the columns that join a table to the one
// it references.

#include <vector>

#include "store/table_defn.h"
#include "store/vector.h"

namespace kv {

// The entries in groups: an entry joins the group before it when it
// references the same table through another column than the group's first.
std::vector<std::vector<const ForeignKeyDefn*>> ForeignKeyGroups(const VectorOf<ForeignKeyDefn>& keys);

}  // namespace kv
