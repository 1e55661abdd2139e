#pragma once
// Everything database access keeps for the whole process (data sources,
// connection parameters, providers, the pool and the dialects) and the
// store's own state below it, back to what a new process starts with. A
// value database access comes to keep for the process is reset here.
//
// The ODBC environment is not: the connections that share it free it with
// the last of them, which the pool's reset closes.

namespace kv {

void ResetDbState();

}  // namespace kv
