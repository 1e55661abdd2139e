#pragma once
// Whole data objects: merging the changes of one into another, and copies.

#include "dataobjects/data_object.h"

namespace kv {

// Brings the row units of source into target, table by table. For a table
// the target has: a modified row unit (5) changes the target's row of its
// key or joins the target; a new one (2, 6) joins it unless its key is
// there ("Cannot Insert Row with keystring %s.  Row already exists.");
// a deleted one (bits 1 and 8) marks the target's row deleted or joins it
// as it is; an unchanged one (1) joins it when its key is not there. A
// table the target lacks comes over with every row unit but the new and
// deleted ones (bits 2 and 8). Row units keep their states, and values
// are copied into the target, which does not depend on source afterwards;
// where the two select different columns of a table, values go by column
// name. The target, or null when memory runs out or an argument is null.
DataObject* MergeDataObject(DataObject* target, const DataObject* source);

// A new object with its own pool holding copies of every collection and
// row unit with their states.
DataObjectPtr CloneDataObject(const DataObject* source);

}  // namespace kv
