#pragma once
// Writing a data object back to its tables' databases.

#include "dataobjects/data_object.h"

namespace kv {

// Writes every row unit that its state says changed, table by table with
// parents before children, each row unit in collection order: state 5 an
// update (of the columns the row unit holds), states with bits 1 and 8 a
// delete, states 2 and 6 an insert; new-and-deleted (2 and 8), 0 and 1
// write nothing, any other state fails. Each data source writes in one
// transaction (unless the caller's connection is already in one): true
// only when every statement and every commit succeeded; after a failure
// the statements of the save are rolled back. The states stay as they
// were.
[[nodiscard]] bool SaveDataObject(DataObject* object);

}  // namespace kv
