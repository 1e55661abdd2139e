#pragma once
// Every process-wide value of database access in one place: the data-source
// map and the connection parameters, the providers and their slots, the
// pool, the dialects and the switches that choose among them.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "db/connection_params.h"
#include "db/connection_pool.h"
#include "db/db_provider.h"
#include "db/sql_dialect.h"

namespace kv {

struct DatabaseAccessState {
  std::vector<DataSourceMapEntry> dataSourceMap;
  std::vector<ConnParamsEntry> connParams;
  std::vector<const DBProvider*> providers;
  std::array<const DBProvider*, DB_PROVIDER_SLOTS> providerSlots{};
  // Null until InitDBProvider; one entry per data source, in parameter order.
  std::unique_ptr<std::vector<std::unique_ptr<PoolEntry>>> pool;
  std::vector<const SQLDialect*> dialects;
  // Per-table data sources (SetDSNMapValid), off at start.
  std::uint8_t perTableDataSources = 0;
  int defaultDialectIndex = 0;
  ConnectionClock clock = nullptr;
};

DatabaseAccessState& DatabaseAccess();
// Closes every connection and forgets everything (tests; shutdown frees
// the pool, the lists and the providers one by one).
void ResetDatabaseAccess();

}  // namespace kv
