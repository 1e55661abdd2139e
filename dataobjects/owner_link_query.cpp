#include "dataobjects/owner_link_query.h"

#include "dataobjects/stored_query.h"

namespace kv {

bool JoinTable(SelectQuery& query, const std::string& from, const std::string& to,
               const std::vector<std::pair<std::string, std::string>>& columns, std::uint8_t joinType) {
  std::vector<const char*> fromColumns;
  std::vector<const char*> toColumns;
  for (const auto& [fromColumn, toColumn] : columns) {
    fromColumns.push_back(fromColumn.c_str());
    toColumns.push_back(toColumn.c_str());
  }
  SelectColumnList* base = MakeColumnVectorForJoin(query, from.c_str(), fromColumns);
  SelectColumnList* reference = MakeColumnVectorForJoin(query, to.c_str(), toColumns);
  const char* baseTable = query.joins.Empty() ? from.c_str() : nullptr;
  return base && reference &&
         AddSelectJoin(query,
                       MakeSelectJoin(query, baseTable, nullptr, to.c_str(), nullptr, joinType, base, reference));
}

bool JoinSteps(SelectQuery& query, std::span<const ForeignKeyStep> steps, std::uint8_t joinType) {
  for (const ForeignKeyStep& step : steps)
    if (!JoinTable(query, step.table, step.referenceTable, step.columns, joinType)) return false;
  return true;
}

bool AddEqualCondition(SelectQuery& query, CriteriaExp*& criteria, const std::string& table, const std::string& column,
                       const StoredValue& value, std::uint8_t type) {
  SelectColumn* selected = MakeSelectColumn(query, table.c_str(), nullptr, column.c_str(), nullptr, type);
  CriteriaExp* leaf = selected ? MakeCriteriaLeaf(query, selected, value.data, value.length, SQL_OP_EQ) : nullptr;
  if (!leaf) return false;
  criteria = criteria ? MakeCriteriaAnd(query, criteria, leaf) : leaf;
  return criteria != nullptr;
}

}  // namespace kv
