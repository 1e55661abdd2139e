// Running every stored query of a data directory from a fresh process.

#include "base/log_writer.h"
#include "dataobjects/stored_query.h"
#include "db/connection_params.h"
#include "db/connection_pool.h"
#include "db/database_state.h"
#include "db/db_provider.h"
#include "db/sql_dialect.h"
#include "dbstore/data_files.h"
#include "dbstore/store_init.h"
#include "store/data_dictionary.h"

namespace kv {

bool RunStoredQueries() {
  if (!InitLoggerDefaults() || !CreateLogFile()) return false;
  if (!InitializeMemPool()) {
    LogError("InitializeMemPool failed.\n");
    return false;
  }
  if (!InitDBProvider()) LogError("InitDBProvider failed. Already initialized.\n");
  if (!FindSQLDialect("FIREBIRD")) RegisterSQLDialect(&FirebirdDialect());
  SetDSNMapValid(0, 2);
  bool ran = LoadAllDataDictFiles();
  if (ran) {
    PrintAllTableDefns();
    ran = LoadDataSourceMapEntryFromFile(RelativeDataPath(kDataSourceMapFile).c_str()) &&
          LoadConnParamsEntryFromFile(RelativeDataPath(kConnParamsFile).c_str()) && EstablishDBConnections() &&
          ExecuteStoredQueries();
  }
  ReleaseMemPool();
  return ran;
}

}  // namespace kv
