#pragma once
// Bringing the whole store up from its data directory and taking it down
// again. The store is driven by plain text files in "<root>/data" (each is
// looked for first as "..\data\<name>" from the current directory):
//   "datadictionary.txt"  the dictionary files          (missing: fatal)
//   "dsn_table_map.txt"   each table's data source      (missing: fatal)
//   "connparams.txt"      how to reach each data source (missing: fatal)
//   "loadtablelist.txt"   tables loaded at start
//   "defaultdata.txt"     documents written into a fresh database
//   "savetableslist.txt"  tables SaveTablesFromList saves
// InitCFennel opens the store's log, loads the dictionary, connects, creates
// the dictionary's tables, primes the identifier generators, loads the
// listed tables and, when it created every table (a fresh database), writes
// the default data. DeInitCFennel releases all of it.

#include "dbstore/cfennel_state.h"

namespace kv {

// Counts one more user of the memory pool facility; false when it cannot
// be initialised.
[[nodiscard]] bool InitializeMemPool();
// Gives one use back; the last release frees the facility.
void ReleaseMemPool();

// True when the store is ready. A failed start-up leaves what it built in
// place (the log stays open, the dictionary loaded): DeInitCFennel
// releases it.
[[nodiscard]] bool InitCFennel(const char* rootPath);
// Unloads every table and frees the generators' counters, the connections,
// the data-source lists, the dictionary and the providers; closes the
// store's log.
void DeInitCFennel();

}  // namespace kv
