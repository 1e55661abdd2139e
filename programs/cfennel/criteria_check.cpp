#include "criteria_check.h"

#include <vector>

#include "base/object_locks.h"
#include "base/text_format.h"
#include "store/column_types.h"
#include "store/criteria.h"

namespace kv {

Outcome CheckCriteria(const TableDefn& definition, const std::string& criteria) {
  const ObjectLockGuard lock(CriteriaParserLockKey());
  const CriteriaTree tree = ParseCriteria(criteria.c_str());
  if (!tree) return "criteria not understood: " + criteria;
  // Leaves in the order they are written; a tree may be deeper than the
  // call stack, so the walk keeps its own.
  std::vector<const CriteriaNode*> pending{tree.get()};
  while (!pending.empty()) {
    const CriteriaNode* node = pending.back();
    pending.pop_back();
    if (!node) continue;
    if (!node->IsLeaf()) {
      pending.push_back(node->right);
      pending.push_back(node->left);
      continue;
    }
    const ColumnDefn* column = FindColumn(definition, node->columnName.get());
    if (!column) return Format("%s has no column %s", definition.name.c_str(), node->columnName.get());
    if (!CriteriaCompareType(column->type)) {
      const std::string type(ColumnTypeName(column->type));
      return Format("the store's criteria do not compare %s columns (%s)", type.c_str(), column->name.c_str());
    }
    if (!CriteriaCompareLiteral(node->literal.get(), column->type))
      return Format("%s cannot be compared with %s, a column of numbers", node->literal.get(), column->name.c_str());
  }
  return std::nullopt;
}

}  // namespace kv
