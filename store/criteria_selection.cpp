#include "store/criteria_selection.h"

namespace kv {

CriteriaSelection::CriteriaSelection(const char* criteria, const TableData& table)
    : lock_(CriteriaParserLockKey()), table_(table) {
  tree_ = ParseCriteria(criteria);
  if (!tree_ || table.kind != TABLE_DATA_KIND_TABLE || !table.tableDefn || table.columnCount <= 0) return;
  usable_ = BindCriteria(table.tableDefn->columns, tree_.get());
}

}  // namespace kv
