#include "dbstore/row_statements.h"

#include "db/db_statements.h"

namespace kv {
namespace {

constexpr const char* kBatchSavepoint = "SAVEPOINT kv_rows";
constexpr const char* kReleaseBatch = "RELEASE SAVEPOINT kv_rows";
constexpr const char* kRollbackBatch = "ROLLBACK TO SAVEPOINT kv_rows";
constexpr const char* kRowSavepoint = "SAVEPOINT kv_row";
constexpr const char* kReleaseRow = "RELEASE SAVEPOINT kv_row";
constexpr const char* kRollbackRow = "ROLLBACK TO SAVEPOINT kv_row";

enum class Outcome { kDone, kFailed, kTransactionLost };

// One statement that undoes only itself when it fails.
Outcome RunAlone(DBConnection* handle, const DialectRules& rules, const char* sql) {
  if (const char* probe = rules.statementRollbackProbe) {
    if (ExecuteUpdate(handle, sql)) return Outcome::kDone;
    return ExecuteQuery(handle, probe) ? Outcome::kFailed : Outcome::kTransactionLost;
  }
  if (!ExecuteUpdate(handle, kRowSavepoint)) return Outcome::kTransactionLost;
  if (ExecuteUpdate(handle, sql))
    return ExecuteUpdate(handle, kReleaseRow) ? Outcome::kDone : Outcome::kTransactionLost;
  return ExecuteUpdate(handle, kRollbackRow) ? Outcome::kFailed : Outcome::kTransactionLost;
}

bool RunEachAlone(DBConnection* handle, const DialectRules& rules,
                  std::span<const std::optional<std::string>> statements, std::vector<bool>& done) {
  for (std::size_t i = 0; i < statements.size(); ++i) {
    const Outcome outcome = statements[i] ? RunAlone(handle, rules, statements[i]->c_str()) : Outcome::kFailed;
    if (outcome == Outcome::kTransactionLost) return false;
    done[i] = outcome == Outcome::kDone;
  }
  return true;
}

// Runs every statement of a batch; false at the first that fails.
bool RunInTurn(DBConnection* handle, std::span<const std::optional<std::string>> statements) {
  for (const std::optional<std::string>& statement : statements)
    if (statement && !ExecuteUpdate(handle, statement->c_str())) return false;
  return true;
}

void MarkAllDone(std::span<const std::optional<std::string>> statements, std::vector<bool>& done) {
  for (std::size_t i = 0; i < statements.size(); ++i) done[i] = statements[i].has_value();
}

}  // namespace

std::optional<std::string> JoinInserts(const std::string& tableName, const DialectRules& rules,
                                       std::span<const std::optional<std::string>> statements) {
  if (!rules.multiRowInsert) return std::nullopt;
  const std::string head = "insert into  " + tableName + " values(";
  const std::string_view end = rules.insertEnd;
  std::string joined = head;
  const char* separator = "";
  for (const std::optional<std::string>& statement : statements) {
    if (!statement || statement->size() < head.size() + end.size() || !statement->starts_with(head) ||
        !statement->ends_with(end))
      return std::nullopt;
    joined += separator;
    joined.append(*statement, head.size(), statement->size() - head.size() - end.size());
    separator = "),(";
  }
  return joined += end;
}

bool RunRowStatements(DBConnection* handle, const DialectRules& rules, const std::string& tableName,
                      std::span<const std::optional<std::string>> statements, std::vector<bool>& done) {
  done.assign(statements.size(), false);
  const std::optional<std::string> joined =
      statements.size() > 1 ? JoinInserts(tableName, rules, statements) : std::nullopt;
  if (const char* probe = rules.statementRollbackProbe) {
    if (joined) {
      if (ExecuteUpdate(handle, joined->c_str())) {
        MarkAllDone(statements, done);
        return true;
      }
      if (!ExecuteQuery(handle, probe)) return false;
    }
    return RunEachAlone(handle, rules, statements, done);
  }
  if (!ExecuteUpdate(handle, kBatchSavepoint)) return false;
  if (joined ? ExecuteUpdate(handle, joined->c_str()) : RunInTurn(handle, statements)) {
    MarkAllDone(statements, done);
    // Releasing also proves that the transaction held all along.
    return ExecuteUpdate(handle, kReleaseBatch);
  }
  return ExecuteUpdate(handle, kRollbackBatch) && RunEachAlone(handle, rules, statements, done) &&
         ExecuteUpdate(handle, kReleaseBatch);
}

}  // namespace kv
