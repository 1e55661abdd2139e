#include "db/sql_dialect.h"

#include "db/database_state.h"
#include "store/sql_identifier.h"
#include "store/value_text.h"

namespace kv {
namespace {

constexpr ColumnTypeText kNoColumn{};
constexpr ColumnTypeText kInt{"int", DefaultKind::kInteger};
constexpr ColumnTypeText kLongInt{"int", DefaultKind::kLong};
constexpr ColumnTypeText kBigInt{"bigint", DefaultKind::kLong};
constexpr ColumnTypeText kVarchar{"varchar", DefaultKind::kText, "", true};
constexpr ColumnTypeText kText{"text", DefaultKind::kNone, " "};
constexpr ColumnTypeText kDate{"date"};
constexpr ColumnTypeText kTime{"time"};
constexpr ColumnTypeText kTimestamp{"timestamp"};

// The column texts by type code: the small integers are int and the
// character types varchar everywhere; the rest is the dialect's.
struct VaryingTypes {
  ColumnTypeText longInt, unsignedLongInt, blob, text, date, time, dateTime, boolean;
};
constexpr std::array<ColumnTypeText, 23> ColumnTypes(const VaryingTypes& t) {
  return {kNoColumn,  kInt,      kNoColumn, kInt,      kNoColumn, kInt,     kNoColumn, t.longInt, t.unsignedLongInt,
          kNoColumn,  kNoColumn, kNoColumn, kNoColumn, kNoColumn, kVarchar, kVarchar,  t.date,    t.time,
          t.dateTime, t.boolean, t.blob,    t.blob,    t.text};
}

// What PGSQL, SQLITE and FIREBIRD write alike; each dialect below changes
// only where it differs.
constexpr DialectRules StandardRules(const char* name, const char* logPrefix) {
  return {.name = name,
          .logPrefix = logPrefix,
          .deleteOperation = "GenDeleteQuery",
          .rowLimit = RowLimitStyle::kLimitOffset,
          .aliasKeyword = "as ",
          .trueLiteral = "1",
          .falseLiteral = "0",
          .backslashEscapes = false,
          .quoteEveryUpdateKey = false,
          .updateLogSeparator = "",
          .logInsertText = false,
          .logInsideLines = true,
          .insertEnd = ");",
          .createEnd = "\n);\n\n",
          .foreignKeyIndexes = false,
          .varcharExtra = 0,
          .sequenceLock = nullptr,
          .statementRollbackProbe = nullptr,
          .multiRowInsert = true,
          .maxIdentifierLength = kMaxSqlIdentifierLength,
          .columnTypes = {}};
}

constexpr DialectRules kMysqlRules = [] {
  DialectRules rules = StandardRules("MYSQL", "Mysql");
  rules.deleteOperation = "GenDelteQuery";
  rules.rowLimit = RowLimitStyle::kLimitStartCount;
  rules.backslashEscapes = true;
  rules.quoteEveryUpdateKey = true;
  rules.updateLogSeparator = " ";
  rules.logInsertText = true;
  rules.insertEnd = ")";
  // The storage engine clause MySQL and MariaDB have understood since 5.5.
  rules.createEnd = "\n) ENGINE = InnoDB;\n\n";
  rules.foreignKeyIndexes = true;
  rules.maxIdentifierLength = 64;
  rules.columnTypes = ColumnTypes({.longInt = kBigInt,
                                   .unsignedLongInt = kNoColumn,
                                   .blob = {"blob", DefaultKind::kText},
                                   .text = kText,
                                   .date = kDate,
                                   .time = kTime,
                                   .dateTime = {"datetime"},
                                   .boolean = {"tinyint", DefaultKind::kBoolean, " "}});
  return rules;
}();

constexpr DialectRules kPgsqlRules = [] {
  DialectRules rules = StandardRules("PGSQL", "Pgsql");
  // A PostgreSQL boolean takes no integer: its own literals everywhere.
  rules.trueLiteral = "'t'";
  rules.falseLiteral = "'f'";
  rules.varcharExtra = 1;
  rules.sequenceLock = "lock table SeqGenState in share row exclusive mode";
  rules.statementRollbackProbe = "select 1";
  rules.columnTypes = ColumnTypes({.longInt = kLongInt,
                                   .unsignedLongInt = kBigInt,
                                   .blob = kNoColumn,
                                   .text = kText,
                                   .date = kDate,
                                   .time = kTime,
                                   .dateTime = kTimestamp,
                                   .boolean = {"boolean", DefaultKind::kBoolean, " "}});
  return rules;
}();

// SQLite keeps a Boolean as the value it is given: 1 and 0 everywhere (the
// standard literals), so that criteria find the rows that inserts wrote.
constexpr DialectRules kSqliteRules = [] {
  DialectRules rules = StandardRules("SQLITE", "Sqlite");
  rules.logInsideLines = false;
  rules.columnTypes = ColumnTypes({.longInt = kLongInt,
                                   .unsignedLongInt = kNoColumn,
                                   .blob = kNoColumn,
                                   .text = kText,
                                   .date = {"varchar(30)"},
                                   .time = {"varchar(30)"},
                                   .dateTime = {"varchar(30)"},
                                   .boolean = {"boolean", DefaultKind::kBoolean, " "}});
  return rules;
}();

// A Firebird Boolean is a SMALLINT: the standard 1 and 0, not 't' and 'f'.
constexpr DialectRules kFirebirdRules = [] {
  DialectRules rules = StandardRules("FIREBIRD", "Firebird");
  rules.rowLimit = RowLimitStyle::kFirstSkip;
  rules.aliasKeyword = "";
  // Firebird's insert takes one row; version 3 takes names of 31 bytes.
  rules.multiRowInsert = false;
  rules.maxIdentifierLength = 31;
  // Firebird has no "text" type: long text is a text BLOB.
  rules.columnTypes = ColumnTypes({.longInt = kLongInt,
                                   .unsignedLongInt = kNoColumn,
                                   .blob = kNoColumn,
                                   .text = {"blob sub_type text", DefaultKind::kNone, " "},
                                   .date = kDate,
                                   .time = kTime,
                                   .dateTime = kTimestamp,
                                   .boolean = {"SMALLINT", DefaultKind::kBoolean, " "}});
  return rules;
}();

}  // namespace

const SQLDialect& MysqlDialect() {
  static const SQLDialect dialect(kMysqlRules);
  return dialect;
}
const SQLDialect& PgsqlDialect() {
  static const SQLDialect dialect(kPgsqlRules);
  return dialect;
}
const SQLDialect& SqliteDialect() {
  static const SQLDialect dialect(kSqliteRules);
  return dialect;
}
const SQLDialect& FirebirdDialect() {
  static const SQLDialect dialect(kFirebirdRules);
  return dialect;
}

void RegisterSQLDialect(const SQLDialect* dialect) {
  if (dialect) DatabaseAccess().dialects.push_back(dialect);
}

void RegisterSQLDialects() {
  for (const SQLDialect* dialect : {&PgsqlDialect(), &MysqlDialect(), &SqliteDialect(), &FirebirdDialect()})
    RegisterSQLDialect(dialect);
}

const SQLDialect* FindSQLDialect(const char* name) {
  if (!name) return nullptr;
  for (const SQLDialect* dialect : DatabaseAccess().dialects)
    if (SafeStrICmp(dialect->name(), name) == 0) return dialect;
  return nullptr;
}

}  // namespace kv
