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
[[nodiscard]] bool CommitTransaction(DBConnection* handle);
[[nodiscard]] bool RollbackTransaction(DBConnection* handle);

// A transaction of its own on a connection that is in none; within the
// caller's open transaction, nothing (the caller commits or rolls back).
// Rolled back when it goes uncommitted, on every way out.
class OwnTransaction {
 public:
  explicit OwnTransaction(DBConnection* handle) : handle_(handle), own_(!handle->inTransaction) {}
  ~OwnTransaction() {
    if (begun_) (void)RollbackTransaction(handle_);
  }
  OwnTransaction(const OwnTransaction&) = delete;
  OwnTransaction& operator=(const OwnTransaction&) = delete;

  // Whether the work runs in a transaction of its own.
  [[nodiscard]] bool own() const { return own_; }
  // Begins the own transaction; true within the caller's.
  [[nodiscard]] bool Begin() {
    if (!own_) return true;
    begun_ = BeginTransaction(handle_);
    return begun_;
  }
  // Commits the own transaction (true within the caller's); a failed commit
  // is rolled back.
  [[nodiscard]] bool Commit() {
    if (!begun_) return !own_;
    begun_ = false;
    if (CommitTransaction(handle_)) return true;
    (void)RollbackTransaction(handle_);
    return false;
  }
  // Rolls the own transaction back now.
  void Rollback() {
    if (begun_) (void)RollbackTransaction(handle_);
    begun_ = false;
  }

 private:
  DBConnection* handle_;
  bool own_;
  bool begun_ = false;
};

}  // namespace kv
