#pragma once
// Statements and transactions on a pooled connection, handed to the
// provider that opened it. Statements on one connection run one at a time.

#include "db/connection_pool.h"
#include "db/db_result_set.h"

namespace kv {

[[nodiscard]] bool ExecuteUpdate(DBConnection* handle, const char* sql);
// An update whose parameter 1 is data the producer streams.
[[nodiscard]] bool ExecuteUpdateBlob(DBConnection* handle, const char* sql, BlobProducer producer, void* context);
DBResultSetPtr ExecuteQuery(DBConnection* handle, const char* sql);
// A query whose long binary columns are streamed to the consumer instead
// of kept in the result.
DBResultSetPtr ExecuteQueryBlob(DBConnection* handle, const char* sql, BlobConsumer consumer, void* context);

// Begin marks the connection as in a transaction; commit and rollback act
// only on a connection so marked, and clear the mark.
[[nodiscard]] bool BeginTransaction(DBConnection* handle);
bool CommitTransaction(DBConnection* handle);
bool RollbackTransaction(DBConnection* handle);

}  // namespace kv
