#pragma once
// Everything the data objects keep for the whole process (the personalities
// and the tables indexed for them) and the store on a database below them,
// back to what a new process starts with. A value of the layer kept for the
// process is reset here.

namespace kv {

void ResetDataObjectsState();

}  // namespace kv
