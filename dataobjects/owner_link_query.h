#pragma once
// Select queries that follow owner links: the joins that take the rows of
// a table to the rows that hold their owner's key, and the conditions on
// that key.

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "dataobjects/foreign_key_chains.h"
#include "db/select_query.h"
#include "store/stored_value.h"

namespace kv {

// Joins table "to" to table "from", which the query has already (or which
// becomes its base table when it has no join yet), on the column pairs
// (column of from, column of to).
[[nodiscard]] bool JoinTable(SelectQuery& query, const std::string& from, const std::string& to,
               const std::vector<std::pair<std::string, std::string>>& columns, std::uint8_t joinType);

// Joins the reference table of each step to the step's table, in order:
// from the first step's table towards the owner.
[[nodiscard]] bool JoinSteps(SelectQuery& query, std::span<const ForeignKeyStep> steps, std::uint8_t joinType);

// Adds "table.column = value" to the conditions made so far (AND).
[[nodiscard]] bool AddEqualCondition(SelectQuery& query, CriteriaExp*& criteria, const std::string& table, const std::string& column,
                       const StoredValue& value, std::uint8_t type);

}  // namespace kv
