#include "dataobjects/dataobjects_reset.h"

#include "dataobjects/personality.h"
#include "dbstore/dbstore_reset.h"

namespace kv {

void ResetDataObjectsState() {
  // The personalities name tables of the dictionary reset below.
  ResetPersonalities();
  ResetDbStoreState();
}

}  // namespace kv
