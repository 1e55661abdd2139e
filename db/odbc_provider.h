#pragma once
// The ODBC provider: connections, statements, results with their values in
// the store's types, streamed long binary data and transactions, over the
// ODBC driver manager.

#include <cstdint>
#include <string>

#include "db/db_provider.h"
#include "platform/odbc.h"

namespace kv {

// The provider table "ODBC".
const DBProvider& OdbcProvider();

ProviderConnectionPtr ODBCConnect(const ConnParamsEntry* parameters);
[[nodiscard]] bool ODBCExecuteUpdate(ProviderConnection* connection, const char* sql);
DBResultSetPtr ODBCExecuteQuery(ProviderConnection* connection, const char* sql);
[[nodiscard]] bool ODBCDisconnect(ProviderConnectionPtr connection);
[[nodiscard]] bool ODBCBeginTransaction(ProviderConnection* connection);
[[nodiscard]] bool ODBCCommitTransaction(ProviderConnection* connection);
[[nodiscard]] bool ODBCRollbackTransaction(ProviderConnection* connection);
[[nodiscard]] bool ODBCExecuteUpdateBlob(ProviderConnection* connection, const char* sql, BlobProducer producer, void* context);
DBResultSetPtr ODBCExecuteQueryBlob(ProviderConnection* connection, const char* sql, BlobConsumer consumer,
                                    void* context);

// The connection string of an entry: its explicit string, else
// "DSN=<dsn>;UID=<user>;PWD=<password>;" with each keyword only when its
// value is there (a value that would end its keyword early is braced).
std::string OdbcConnectionString(const ConnParamsEntry& parameters);

// The store type code of an ODBC SQL type (0 for a type it has none for).
[[nodiscard]] std::uint8_t StoreTypeOfSqlType(SQLSMALLINT sqlType);

// Open ODBC connections of the provider (the shared environment lives
// while there are any).
[[nodiscard]] int OdbcOpenConnections();

}  // namespace kv
