#pragma once
// The SQL dialects: one text writer whose every difference between the
// databases is a rule of the dialect's table below. A dialect writes the
// select text of a query model, the update, insert and delete texts of a
// row, the create-table text of a dictionary table, and turns the current
// row of a query result into the table's stored values.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "db/db_result_set.h"
#include "db/select_query.h"
#include "store/memory_pool.h"
#include "store/stored_value.h"
#include "store/typed_value.h"

namespace kv {

// Where the row window goes.
enum class RowLimitStyle : std::uint8_t {
  kLimitStartCount,  // "limit S , C" at the end
  kLimitOffset,      // "limit C offset S" at the end
  kFirstSkip,        // "select first C skip S " at the start
};

// A column type's text in CREATE TABLE: "\t" name " " type, then (when the
// type takes a default) the default part, then tail. A null type writes no
// column.
enum class DefaultKind : std::uint8_t { kNone, kInteger, kLong, kText, kBoolean };
struct ColumnTypeText {
  const char* type = nullptr;
  DefaultKind defaultKind = DefaultKind::kNone;
  const char* tail = "";
  // varchar(%d): the size is the column's max size plus this.
  bool sized = false;
};

struct DialectRules {
  const char* name;       // "MYSQL"
  const char* logPrefix;  // "Mysql": the operations' names in the log
  const char* deleteOperation;
  RowLimitStyle rowLimit;
  // Written before a table's alias in the table list and in joins ("as "
  // or nothing).
  const char* aliasKeyword;
  // The literals a Boolean is written with, everywhere.
  const char* trueLiteral;
  const char* falseLiteral;
  // Backslash is an escape character inside string literals.
  bool backslashEscapes;
  // The update's key conditions quote every value.
  bool quoteEveryUpdateKey;
  // Between "Update query is @@@" and the text in the log.
  const char* updateLogSeparator;
  // "Insert query is" and the "Inside" lines of row and create texts.
  bool logInsertText;
  bool logInsideLines;
  const char* insertEnd;
  const char* createEnd;
  // MySQL's INDEX line per foreign-key group; otherwise each entry is traced.
  bool foreignKeyIndexes;
  std::int32_t varcharExtra;
  // Taken at the start of a reservation of sequence identifiers where a
  // missing SeqGenState row would let two reservations both insert one
  // (null: the update that starts a reservation locks enough).
  const char* sequenceLock;
  // How a table's save keeps a failed row statement from taking the others
  // with it. Null: each row's statement runs in a savepoint of its own.
  // Otherwise the driver undoes a failed statement alone (psqlodbc wraps
  // every statement in a savepoint of its own, which would release ours at
  // once), and this query, run after a failure, tells whether the
  // transaction goes on.
  const char* statementRollbackProbe;
  // Insert texts of one table can be joined into one statement of several
  // rows ("values(...),(...)").
  bool multiRowInsert;
  // The longest table, column or index name the database takes.
  std::size_t maxIdentifierLength;
  // By type code, 0 to TARN_SQL_TEXT.
  std::array<ColumnTypeText, 23> columnTypes;
};

// The six operations of a dialect.
class SQLDialect {
 public:
  explicit SQLDialect(const DialectRules& rules) : rules_(rules) {}
  const char* name() const { return rules_.name; }
  const DialectRules& rules() const { return rules_; }

  // New texts, or nothing (logged) when the text cannot be written.
  std::optional<std::string> SelectText(const SelectQuery& query) const;
  // setColumns, when given, names the columns (1) whose values the row
  // really holds: the others keep what the database has.
  std::optional<std::string> UpdateText(const char* tableName, std::span<const StoredValue> row,
                                        std::span<const std::uint8_t> setColumns = {}) const;
  std::optional<std::string> InsertText(const char* tableName, std::span<const StoredValue> row) const;
  std::optional<std::string> DeleteText(const char* tableName, std::span<const StoredValue> row) const;
  std::optional<std::string> CreateTableText(const char* tableName) const;

  // The stored values of the result's current row for the table, in
  // column order; null when there is no current row or memory runs out.
  struct Row {
    std::vector<StoredValue> values;
    std::uint8_t state = ROW_STATE_IN_DATABASE;
    MemoryPool bytes{1024};
  };
  std::unique_ptr<Row> ConvertResultRow(const DBResultSet& result, const char* tableName) const;

 private:
  const DialectRules& rules_;
};

using RowValues = SQLDialect::Row;

// A value of a result column in the type its table keeps the column in:
// the value itself when the types agree or the table's is unknown (0),
// else its conversion, made in out. Nothing when it has no such form.
std::optional<StoredValue> ResultValueAs(const StoredValue& value, std::uint8_t from, std::uint8_t to,
                                         TypedValueBuffer& out);

// The four dialects of the system.
const SQLDialect& MysqlDialect();
const SQLDialect& PgsqlDialect();
const SQLDialect& SqliteDialect();
const SQLDialect& FirebirdDialect();

// The registered dialects, found by name without regard to case.
void RegisterSQLDialect(const SQLDialect* dialect);
// Registers the four, in the order "PGSQL", "MYSQL", "SQLITE", "FIREBIRD".
void RegisterSQLDialects();
const SQLDialect* FindSQLDialect(const char* name);

}  // namespace kv
