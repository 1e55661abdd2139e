#pragma once
// Everything the store on a database keeps for the whole process (its
// CFennelState: the memory pool's users, whether the database was fresh,
// the listeners of loads and saves) and database access and the store below
// it, back to what a new process starts with. A started store is taken down
// by DeInitCFennel first, which also closes its log; this only forgets. A
// value of the layer kept for the process is reset here.

namespace kv {

void ResetDbStoreState();

}  // namespace kv
