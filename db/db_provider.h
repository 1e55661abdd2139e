#pragma once
// Database providers: the client interfaces that open connections and run
// statements, each a table of nine operations under a name. Registered
// providers are kept in a list; loaded ones occupy one of two slots, and a
// connection remembers the slot of the provider that opened it.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "db/connection_params.h"
#include "db/db_result_set.h"

namespace kv {

// A provider's own connection record.
struct ProviderConnection {
  virtual ~ProviderConnection() = default;
  // Set by the provider when the database is no longer reachable through
  // this connection; the pool then opens a new one.
  std::atomic<bool> lost{false};
};
using ProviderConnectionPtr = std::unique_ptr<ProviderConnection>;

// Streamed data. A producer hands one piece at a time through data and
// length and answers BLOB_NO_MORE_DATA (handing nothing) when it is done; a
// consumer receives each piece, then one call with no data and length 0.
constexpr int BLOB_NO_MORE_DATA = 2;
using BlobProducer = int (*)(const void** data, std::size_t* length, void* context);
using BlobConsumer = void (*)(const void* piece, std::size_t length, void* context);

struct DBProvider {
  const char* name;
  ProviderConnectionPtr (*connect)(const ConnParamsEntry* parameters);
  bool (*executeUpdate)(ProviderConnection* connection, const char* sql);
  DBResultSetPtr (*executeQuery)(ProviderConnection* connection, const char* sql);
  bool (*disconnect)(ProviderConnectionPtr connection);
  bool (*beginTransaction)(ProviderConnection* connection);
  bool (*commitTransaction)(ProviderConnection* connection);
  bool (*rollbackTransaction)(ProviderConnection* connection);
  bool (*executeUpdateBlob)(ProviderConnection* connection, const char* sql, BlobProducer producer, void* context);
  DBResultSetPtr (*executeQueryBlob)(ProviderConnection* connection, const char* sql, BlobConsumer consumer,
                                     void* context);
};

constexpr int DB_PROVIDER_SLOTS = 2;

// Registers the providers of the system, loads "ODBC" (and "SQLITE", which
// is no provider) into the slots and makes the empty parameter and pool
// lists. False with "InitDBProvider Failed as already initialized\n" when
// the first slot is taken.
[[nodiscard]] bool InitDBProvider();
void RegisterDBProvider(const DBProvider* provider);
// Loads a registered provider into the first free slot: its slot, or -1.
[[nodiscard]] int LoadDBProvider(const char* name);
[[nodiscard]] bool UnloadDBProvider(const char* name);
// The provider in a slot, or null.
const DBProvider* GetLoadedDBProvider(int slot);
// Empties the slots and the list of providers (at the end, after the pool).
void FreeDBProviders();
// Loads the provider named by the first parameter entry's database type.
[[nodiscard]] bool LoadDefaultDBProvider();

// Status 1: every table has its own data source (dsn_table_map.txt). Status
// 0: one dialect for every table, the one at index (0 "MYSQL", 1 "PGSQL",
// 2 "FIREBIRD", 3 "SQLITE"). Anything else: "\nInvalid Status\n".
void SetDSNMapValid(int status, int index);
// The name of the dialect at a default index, or null.
const char* DefaultDialectName(int index);

}  // namespace kv
