#include "dbstore/store_init.h"

#include "base/log_writer.h"
#include "db/connection_params.h"
#include "db/connection_pool.h"
#include "db/database_sequence_source.h"
#include "db/database_state.h"
#include "db/db_provider.h"
#include "db/sql_dialect.h"
#include "db/sql_front.h"
#include "dbstore/data_files.h"
#include "dbstore/table_load.h"
#include "dbstore/table_save.h"
#include "store/data_dictionary.h"
#include "store/sequence_generator.h"
#include "store/store_root.h"
#include "store/table_data.h"
#include "store/value_text.h"

namespace kv {
namespace {

// The database types whose first connection entry, without an explicit
// connection string, gives every table the data source the map names.
constexpr const char* kPerTableDatabaseTypes[] = {"MYSQL", "PGSQL", "FIREBIRD", "SQLITE"};

bool UsesPerTableDataSources(const ConnParamsEntry& first) {
  if (first.explicitString) return false;
  for (const char* type : kPerTableDatabaseTypes)
    if (AsciiEqualsNoCase(first.databaseType, type)) return true;
  return false;
}

// Logs a fatal step's message; false.
bool Fatal(const char* message) {
  LogError("%s", message);
  return false;
}

}  // namespace

bool InitializeMemPool() {
  // The store's arenas need no process-wide set-up: the facility only
  // counts who uses it.
  ++CFennel().memoryPoolUsers;
  return true;
}

void ReleaseMemPool() {
  if (CFennel().memoryPoolUsers > 0) --CFennel().memoryPoolUsers;
}

bool InitCFennel(const char* rootPath) {
  LogTrace("@@ Inside InitCFennel @@\n");
  SetCFennelRoot(rootPath);
  // A store log set up beforehand (its name, its directory, or the open
  // log itself) is kept.
  if (!InitLoggerDefaults() || !CreateLogFile()) return false;
  if (!InitializeMemPool()) return Fatal("InitializeMemPool failed.\n");
  if (!InitDBProvider()) LogError("InitDBProvider failed. Already initialized.\n");

  // Tables in memory point into the dictionary: a start-up over a store
  // that still holds tables keeps the definitions they use (lookups find
  // the first of a name).
  if (TableDataRegistry().gv_tableDataVect.Empty()) ResetDataDictionary();
  if (DatabaseAccess().dialects.empty()) RegisterSQLDialects();
  ResetSequenceState();
  InstallDatabaseSequenceSource();

  if (!LoadAllDataDictFiles()) return Fatal("LoadAllDataDictFiles failed.\n");
  if (!LoadDataSourceMapEntryFromFile(RelativeDataPath(kDataSourceMapFile).c_str()))
    return Fatal("LoadDataSourceMapEntryFromFile failed.\n");
  if (!LoadConnParamsEntryFromFile(RelativeDataPath(kConnParamsFile).c_str()))
    return Fatal("LoadConnParamsEntryFromFile failed.\n");
  const std::vector<ConnParamsEntry>& entries = DatabaseAccess().connParams;
  if (entries.empty()) return Fatal("No entires in data source vector. InitCFennel failed.\n");
  if (UsesPerTableDataSources(entries.front())) SetDSNMapValid(1, 0);
  if (!EstablishDBConnections()) return Fatal("EstablishDBConnections failed.\n");

  // Creating the tables fails at the first that exists already: only a
  // database that had none of them gets the default data.
  CFennel().freshDatabase = CreateTables();

  if (!SequenceGenerator()) return Fatal("SequenceGenerator failed.\n");
  if (!LoadAllTables())
    LogError(
        "Error in loading tables from loadtablelist.txt.  Please check if there are any entries in your "
        "loadtablelist.txt or load the required tables manually.\n");
  if (CFennel().freshDatabase && !SaveDefaultData()) return Fatal("Cannot save default data.\n");
  LogDebug(
      "\nWelcome to CFennel.  You have successfully initialised the appropriate parameters, loaded the mentioned "
      "files/tables and established connection with the DB.\n");
  return true;
}

void DeInitCFennel() {
  LogTrace("Inside DeInitCFennel.\n");
  UnLoadAllTable();
  ResetSequenceState();
  FreeConnectionPool();
  FreeAllConnParamsEntries();
  FreeAllDataSourceMapEntries();
  FreeAllTableDefns();
  // The provider list, and with it the dialects and the switches that chose
  // among them.
  ResetDatabaseAccess();
  ReleaseMemPool();
  CloseLogFile();
  FreeLoggerParams();
}

}  // namespace kv
