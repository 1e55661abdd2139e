#include "store/store_reset.h"

#include "store/data_dictionary.h"
#include "store/notifications.h"
#include "store/sequence_generator.h"
#include "store/store_root.h"
#include "store/table_data.h"
#include "store/use_cases.h"

namespace kv {

void ResetStoreState() {
  // What refers to the table definitions goes before them.
  ResetTableData();
  InitNotification();  // an empty listener list
  ResetUseCases();
  ResetSequenceState();
  ResetDataDictionary();
  ResetCFennelRoot();
}

}  // namespace kv
