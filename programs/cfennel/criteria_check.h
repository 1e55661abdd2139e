#pragma once
// What the store's criteria would answer wrongly without a word: a column
// the table lacks matches nothing, as does a comparison on a column type
// the criteria never compare; cfennel refuses such criteria before a row is
// read or changed.

#include <string>

#include "command_context.h"
#include "store/table_defn.h"

namespace kv {

// A failure naming the problem and the column, or none when the store can
// answer the criteria as written.
Outcome CheckCriteria(const TableDefn& definition, const std::string& criteria);

}  // namespace kv
