#include "db/database_sequence_source.h"

#include <cinttypes>
#include <limits>
#include <memory>

#include "base/log_writer.h"
#include "base/text_format.h"
#include "db/db_statements.h"
#include "db/sql_front.h"
#include "db/sql_literal.h"
#include "platform/system.h"
#include "store/typed_value.h"

namespace kv {
namespace {

// A reservation that loses a race with another process (a deadlock, a
// serialisation failure, a busy database) is tried again a few times.
constexpr int kAttempts = 5;
constexpr DWORD kRetryPauseMilliseconds = 50;

// The largest CURRENTBATCHEND of the result's rows; nothing without rows.
std::optional<std::int64_t> BatchEnd(DBResultSet& result) {
  std::optional<std::int64_t> end;
  ResetResultSetCursor(&result);
  const std::uint8_t type = GetResultSetColumnType(&result, "CURRENTBATCHEND");
  while (GetNextResultRow(&result)) {
    std::int32_t length = 0;
    const char* value = GetResultSetValue(&result, "CURRENTBATCHEND", &length);
    ValueTextBuffer scratch;
    const auto text = value ? TypedValueText(value, length, type, scratch) : std::nullopt;
    if (!text) continue;
    const std::int64_t number = ParseInt64(*text);
    if (!end || number > *end) end = number;
  }
  return end;
}

// The statements of one reservation on a connection: the batch end after it,
// or nothing (logged).
std::optional<std::int32_t> Reserve(DBConnection* handle, const DialectRules& rules, const char* generator,
                                    std::int32_t batchSize, bool ownTransaction) {
  const std::string name = QuoteSqlText(generator, rules);
  const bool locked = !ownTransaction || !rules.sequenceLock || ExecuteUpdate(handle, rules.sequenceLock);
  // Moving the end on first holds the generator's row until the end of the
  // transaction: no other reservation reads the end in between.
  const std::string update = Format("update SeqGenState set CURRENTBATCHEND = CURRENTBATCHEND + %d where SEQNAME = %s;",
                                    batchSize, name.c_str());
  LogTrace("Update Query %s\n", update.c_str());
  const bool updated = locked && ExecuteUpdate(handle, update.c_str());
  const std::string query = Format("select * from SeqGenState where SEQNAME = %s;", name.c_str());
  LogTrace("Query %s\n", query.c_str());
  DBResultSetPtr result = ExecuteQuery(handle, query.c_str());
  if (!result) {
    LogError("Table doesn't Exists for UpdateSeqGen\n");
    return std::nullopt;
  }
  if (!updated) {
    LogError("ExecuteUpdate Failed for update\n");
    return std::nullopt;
  }
  if (const std::optional<std::int64_t> end = BatchEnd(*result)) {
    if (*end < batchSize || *end > std::numeric_limits<std::int32_t>::max()) {
      LogError("SeqGenState holds %" PRId64 " for %s: no identifiers left\n", *end, generator);
      return std::nullopt;
    }
    return static_cast<std::int32_t>(*end);
  }
  const std::string insert = Format("insert into SeqGenState values (%s,%d);", name.c_str(), batchSize);
  LogTrace("Insert Query %s\n", insert.c_str());
  if (!ExecuteUpdate(handle, insert.c_str())) {
    LogError("ExecuteUpdate Failed for insert\n");
    return std::nullopt;
  }
  return batchSize;
}

}  // namespace

std::optional<std::int32_t> DatabaseSequenceSource::ReserveBatch(const char* tableName, const char* generatorName,
                                                                 std::int32_t batchSize) {
  if (!generatorName || batchSize <= 0) return std::nullopt;
  const char* source = GetDataSourceOfTable(tableName);
  const SQLDialect* dialect = GetDialectOfTable(tableName);
  if (!source || !dialect) return std::nullopt;
  // One attempt on a connection, rolled back and given back on every way out.
  // Within the caller's transaction there is one attempt: a failed one cannot
  // be undone alone.
  bool again = true;
  auto attempt = [&]() -> std::optional<std::int32_t> {
    again = false;
    const PooledConnection handle(source);
    if (!handle) {
      LogError("No connection to %s for UpdateSeqGen\n", source);
      return std::nullopt;
    }
    OwnTransaction transaction(handle.get());
    if (!transaction.Begin()) return std::nullopt;
    std::optional<std::int32_t> end =
        Reserve(handle.get(), dialect->rules(), generatorName, batchSize, transaction.own());
    if (end && !transaction.Commit()) end.reset();
    again = transaction.own();
    return end;
  };
  for (int number = 1;; ++number) {
    const std::optional<std::int32_t> end = attempt();
    if (end || !again || number == kAttempts) return end;
    Sleep(kRetryPauseMilliseconds * static_cast<DWORD>(number));
  }
}

void InstallDatabaseSequenceSource() { SetSequenceSource(std::make_unique<DatabaseSequenceSource>()); }

}  // namespace kv
