#include "dbstore/cfennel_state.h"

#include <utility>

#include "dbstore/table_progress.h"

namespace kv {

CFennelState& CFennel() {
  static CFennelState state;
  return state;
}

void ResetCFennel() { CFennel() = CFennelState(); }

void SetTableProgressListener(TableProgressListener listener) { CFennel().progressListener = std::move(listener); }

void SetTableCancelCheck(TableCancelCheck check) { CFennel().cancelCheck = std::move(check); }

bool ProgressReport::Cancelled() const {
  const TableCancelCheck& check = CFennel().cancelCheck;
  return check && check();
}

void ProgressReport::Tell() const {
  if (const TableProgressListener& listener = CFennel().progressListener)
    listener(TableProgress{operation_, tableName_, done_, total_});
}

}  // namespace kv
