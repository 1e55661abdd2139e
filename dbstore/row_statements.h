#pragma once
// The row statements of a table's save, run in the save's transaction so
// that a failed one undoes only itself. Rows go in batches, each inside one
// savepoint, a batch of inserts as one statement of several rows where the
// dialect takes it: when the batch fails, it is undone and its rows run
// again one by one, each in a savepoint of its own. Where the driver undoes
// every failed statement by itself (the dialect names a statement-rollback
// probe), a batch is one statement or its rows one by one, and the probe
// tells, after a failure, whether the transaction goes on.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "db/connection_pool.h"
#include "db/sql_dialect.h"

namespace kv {

// Rows run together inside one savepoint.
inline constexpr std::size_t kRowStatementBatch = 128;

// Runs the statements (nullopt: none could be made for the row, which
// fails); done gets whether each one took effect. False when the
// transaction was lost on the way.
[[nodiscard]] bool RunRowStatements(DBConnection* handle, const DialectRules& rules, const std::string& tableName,
                                    std::span<const std::optional<std::string>> statements, std::vector<bool>& done);

// The insert texts of one table joined into one statement of several rows;
// nothing when a statement is missing or no insert of that table.
std::optional<std::string> JoinInserts(const std::string& tableName, const DialectRules& rules,
                                       std::span<const std::optional<std::string>> statements);

}  // namespace kv
