#include "db/database_state.h"

namespace kv {

DatabaseAccessState& DatabaseAccess() {
  static DatabaseAccessState state;
  return state;
}

void ResetDatabaseAccess() {
  FreeConnectionPool();
  DatabaseAccessState& state = DatabaseAccess();
  state.pool.reset();
  state.dataSourceMap.clear();
  state.connParams.clear();
  FreeDBProviders();
  state.dialects.clear();
  state.perTableDataSources = 0;
  state.defaultDialectIndex = 0;
  state.clock = nullptr;
}

}  // namespace kv
