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

// The provider of an open connection for a statement; null (logged) when
// there is no connection to run on or no statement to run.
const DBProvider* ProviderOf(const DBConnection* handle, const char* operation, const char* sql,
                             const char* noStatement) {
  const DBProvider* provider = handle ? GetLoadedDBProvider(handle->providerIndex) : nullptr;
  if (!handle || !handle->connection || !provider) {
    LogError("ConnectionHandle NULL in %s for Query %s \n", operation, LogText(sql));
    return nullptr;
  }
  if (!sql) {
    LogError("%s", noStatement);
    return nullptr;
  }
  return provider;
}

constexpr const char* kNoUpdate = " No Query To be Updated \n";
constexpr const char* kNoQuery = " No Query To be Executed \n";

// The provider of a connection for a transaction step, or null.
const DBProvider* TransactionProvider(const DBConnection* handle) {
  return handle && handle->connection ? GetLoadedDBProvider(handle->providerIndex) : nullptr;
}

}  // namespace

bool ExecuteUpdate(DBConnection* handle, const char* sql) {
  StatementLock statement(handle);
  const DBProvider* provider = ProviderOf(handle, "ExecuteUpdate", sql, kNoUpdate);
  if (!provider) return false;
  return provider->executeUpdate(handle->connection.get(), sql);
}

bool ExecuteUpdateBlob(DBConnection* handle, const char* sql, BlobProducer producer, void* context) {
  StatementLock statement(handle);
  const DBProvider* provider = ProviderOf(handle, "ExecuteUpdateBlob", sql, kNoUpdate);
  if (!provider) return false;
  return provider->executeUpdateBlob(handle->connection.get(), sql, producer, context);
}

DBResultSetPtr ExecuteQuery(DBConnection* handle, const char* sql) {
  StatementLock statement(handle);
  const DBProvider* provider = ProviderOf(handle, "ExecuteQuery", sql, kNoQuery);
  if (!provider) return nullptr;
  return provider->executeQuery(handle->connection.get(), sql);
}

DBResultSetPtr ExecuteQueryBlob(DBConnection* handle, const char* sql, BlobConsumer consumer, void* context) {
  StatementLock statement(handle);
  const DBProvider* provider = ProviderOf(handle, "ExecuteQueryBlob", sql, kNoQuery);
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
