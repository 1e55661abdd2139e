#include "db/db_reset.h"

#include "db/database_state.h"
#include "store/store_reset.h"

namespace kv {

void ResetDbState() {
  // The connections close before the generators whose batches they reserve
  // are forgotten.
  ResetDatabaseAccess();
  ResetStoreState();
}

}  // namespace kv
