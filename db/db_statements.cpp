#include "db/db_statements.h"

#include "base/log_writer.h"
#include "base/object_locks.h"
#include "db/db_provider.h"

namespace kv {
namespace {

// Statements on one connection run one at a time, and never while the pool
// opens the connection anew: the checks below are made under the lock too.
class StatementLock {
 public:
  explicit StatementLock(const DBConnection* handle) : key_(handle) {
    if (key_) LockObject(key_);
  }
  ~StatementLock() {
    if (key_) UnlockObject(key_);
  }
  StatementLock(const StatementLock&) = delete;
  StatementLock& operator=(const StatementLock&) = delete;

 private:
  const void* key_;
};

// The provider of an open connection; null (logged with the statement's
// name) when there is no connection to run on.
const DBProvider* ProviderOf(const DBConnection* handle, const char* operation, const char* sql) {
  const DBProvider* provider = handle ? GetLoadedDBProvider(handle->providerIndex) : nullptr;
  if (!handle || !handle->connection || !provider) {
    LogError("ConnectionHandle NULL in %s for Query %s \n", operation, LogText(sql));
    return nullptr;
  }
  return provider;
}

const DBProvider* UpdateProvider(const DBConnection* handle, const char* operation, const char* sql) {
  const DBProvider* provider = ProviderOf(handle, operation, sql);
  if (provider && !sql) {
    LogError(" No Query To be Updated \n");
    return nullptr;
  }
  return provider;
}

const DBProvider* QueryProvider(const DBConnection* handle, const char* operation, const char* sql) {
  const DBProvider* provider = ProviderOf(handle, operation, sql);
  if (provider && !sql) {
    LogError(" No Query To be Executed \n");
    return nullptr;
  }
  return provider;
}

// The provider of a connection for a transaction step, or null.
const DBProvider* TransactionProvider(const DBConnection* handle) {
  return handle && handle->connection ? GetLoadedDBProvider(handle->providerIndex) : nullptr;
}

}  // namespace

bool ExecuteUpdate(DBConnection* handle, const char* sql) {
  StatementLock statement(handle);
  const DBProvider* provider = UpdateProvider(handle, "ExecuteUpdate", sql);
  if (!provider) return false;
  return provider->executeUpdate(handle->connection.get(), sql);
}

bool ExecuteUpdateBlob(DBConnection* handle, const char* sql, BlobProducer producer, void* context) {
  StatementLock statement(handle);
  const DBProvider* provider = UpdateProvider(handle, "ExecuteUpdateBlob", sql);
  if (!provider) return false;
  return provider->executeUpdateBlob(handle->connection.get(), sql, producer, context);
}

DBResultSetPtr ExecuteQuery(DBConnection* handle, const char* sql) {
  StatementLock statement(handle);
  const DBProvider* provider = QueryProvider(handle, "ExecuteQuery", sql);
  if (!provider) return nullptr;
  return provider->executeQuery(handle->connection.get(), sql);
}

DBResultSetPtr ExecuteQueryBlob(DBConnection* handle, const char* sql, BlobConsumer consumer, void* context) {
  StatementLock statement(handle);
  const DBProvider* provider = QueryProvider(handle, "ExecuteQueryBlob", sql);
  if (!provider) return nullptr;
  return provider->executeQueryBlob(handle->connection.get(), sql, consumer, context);
}

bool BeginTransaction(DBConnection* handle) {
  StatementLock statement(handle);
  const DBProvider* provider = TransactionProvider(handle);
  if (!provider) return false;
  if (!provider->beginTransaction(handle->connection.get())) return false;
  handle->inTransaction = 1;
  return true;
}

bool CommitTransaction(DBConnection* handle) {
  StatementLock statement(handle);
  const DBProvider* provider = TransactionProvider(handle);
  if (!provider || !handle->inTransaction) return false;
  handle->inTransaction = 0;
  return provider->commitTransaction(handle->connection.get());
}

bool RollbackTransaction(DBConnection* handle) {
  StatementLock statement(handle);
  const DBProvider* provider = TransactionProvider(handle);
  if (!provider || !handle->inTransaction) return false;
  handle->inTransaction = 0;
  return provider->rollbackTransaction(handle->connection.get());
}

}  // namespace kv
