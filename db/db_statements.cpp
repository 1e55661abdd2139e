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
    if (key_) (void)LockObject(key_);  // a key that is not null is always taken
  }
  ~StatementLock() {
    if (key_) (void)UnlockObject(key_);
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

// Runs one statement through the connection's provider under the statement
// lock; a statement that cannot run gives the result's empty value.
template <typename Entry, typename... Args>
auto RunStatement(DBConnection* handle, const char* operation, const char* sql, const char* noStatement, Entry entry,
                  Args... args) {
  StatementLock statement(handle);
  const DBProvider* provider = ProviderOf(handle, operation, sql, noStatement);
  using Result = decltype((provider->*entry)(handle->connection.get(), sql, args...));
  if (!provider) return Result{};
  return (provider->*entry)(handle->connection.get(), sql, args...);
}

// The provider of a connection for a transaction step, or null.
const DBProvider* TransactionProvider(const DBConnection* handle) {
  return handle && handle->connection ? GetLoadedDBProvider(handle->providerIndex) : nullptr;
}

}  // namespace

bool ExecuteUpdate(DBConnection* handle, const char* sql) {
  return RunStatement(handle, "ExecuteUpdate", sql, kNoUpdate, &DBProvider::executeUpdate);
}

bool ExecuteUpdateBlob(DBConnection* handle, const char* sql, BlobProducer producer, void* context) {
  return RunStatement(handle, "ExecuteUpdateBlob", sql, kNoUpdate, &DBProvider::executeUpdateBlob, producer, context);
}

DBResultSetPtr ExecuteQuery(DBConnection* handle, const char* sql) {
  return RunStatement(handle, "ExecuteQuery", sql, kNoQuery, &DBProvider::executeQuery);
}

DBResultSetPtr ExecuteQueryBlob(DBConnection* handle, const char* sql, BlobConsumer consumer, void* context) {
  return RunStatement(handle, "ExecuteQueryBlob", sql, kNoQuery, &DBProvider::executeQueryBlob, consumer, context);
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
