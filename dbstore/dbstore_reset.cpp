#include "dbstore/dbstore_reset.h"

#include "db/db_reset.h"
#include "dbstore/cfennel_state.h"

namespace kv {

void ResetDbStoreState() {
  ResetCFennel();
  ResetDbState();
}

}  // namespace kv
