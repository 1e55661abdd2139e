#pragma once
// A criteria text made ready to test the rows of one table: the parser's
// lock is taken, the text parsed and bound once to the table's columns, and
// the lock is held until the selection is done with, on every path.

#include "base/object_locks.h"
#include "store/criteria.h"
#include "store/table_data.h"

namespace kv {

class CriteriaSelection {
 public:
  // Only tables with columns can be searched: for a view, a table without
  // columns or a text that does not parse the selection is not usable.
  CriteriaSelection(const char* criteria, const TableData& table);
  CriteriaSelection(const CriteriaSelection&) = delete;
  CriteriaSelection& operator=(const CriteriaSelection&) = delete;

  [[nodiscard]] bool usable() const { return usable_; }
  [[nodiscard]] bool Holds(const RowObject& row) const { return EvaluateCriteria(table_.View(row), tree_.get()); }

 private:
  ObjectLockGuard lock_;
  const TableData& table_;
  CriteriaTree tree_;
  bool usable_ = false;
};

}  // namespace kv
