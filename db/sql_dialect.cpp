#include "db/sql_dialect.h"

#include "db/database_state.h"
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

const DialectRules kMysqlRules = {
    .name = "MYSQL",
    .logPrefix = "Mysql",
    .deleteOperation = "GenDelteQuery",
    .rowLimit = RowLimitStyle::kLimitStartCount,
    .aliasKeyword = "as ",
    .trueLiteral = "1",
    .falseLiteral = "0",
    .backslashEscapes = true,
    .quoteEveryUpdateKey = true,
    .updateLogSeparator = " ",
    .logInsertText = true,
    .logInsideLines = true,
    .insertEnd = ")",
    // The storage engine clause MySQL and MariaDB have understood since 5.5.
    .createEnd = "\n) ENGINE = InnoDB;\n\n",
    .foreignKeyIndexes = true,
    .varcharExtra = 0,
    .sequenceLock = nullptr,
    .columnTypes = ColumnTypes({.longInt = kBigInt,
                                .unsignedLongInt = kNoColumn,
                                .blob = {"blob", DefaultKind::kText},
                                .text = kText,
                                .date = kDate,
                                .time = kTime,
                                .dateTime = {"datetime"},
                                .boolean = {"tinyint", DefaultKind::kBoolean, " "}}),
};

const DialectRules kPgsqlRules = {
    .name = "PGSQL",
    .logPrefix = "Pgsql",
    .deleteOperation = "GenDeleteQuery",
    .rowLimit = RowLimitStyle::kLimitOffset,
    .aliasKeyword = "as ",
    // A PostgreSQL boolean takes no integer: its own literals everywhere.
    .trueLiteral = "'t'",
    .falseLiteral = "'f'",
    .backslashEscapes = false,
    .quoteEveryUpdateKey = false,
    .updateLogSeparator = "",
    .logInsertText = false,
    .logInsideLines = true,
    .insertEnd = ");",
    .createEnd = "\n);\n\n",
    .foreignKeyIndexes = false,
    .varcharExtra = 1,
    .sequenceLock = "lock table SeqGenState in share row exclusive mode",
    .columnTypes = ColumnTypes({.longInt = kLongInt,
                                .unsignedLongInt = kBigInt,
                                .blob = kNoColumn,
                                .text = kText,
                                .date = kDate,
                                .time = kTime,
                                .dateTime = kTimestamp,
                                .boolean = {"boolean", DefaultKind::kBoolean, " "}}),
};

const DialectRules kSqliteRules = {
    .name = "SQLITE",
    .logPrefix = "Sqlite",
    .deleteOperation = "GenDeleteQuery",
    .rowLimit = RowLimitStyle::kLimitOffset,
    .aliasKeyword = "as ",
    // SQLite keeps a Boolean as the value it is given: 1 and 0 everywhere,
    // so that criteria find the rows that inserts wrote.
    .trueLiteral = "1",
    .falseLiteral = "0",
    .backslashEscapes = false,
    .quoteEveryUpdateKey = false,
    .updateLogSeparator = "",
    .logInsertText = false,
    .logInsideLines = false,
    .insertEnd = ");",
    .createEnd = "\n);\n\n",
    .foreignKeyIndexes = false,
    .varcharExtra = 0,
    .sequenceLock = nullptr,
    .columnTypes = ColumnTypes({.longInt = kLongInt,
                                .unsignedLongInt = kNoColumn,
                                .blob = kNoColumn,
                                .text = kText,
                                .date = {"varchar(30)"},
                                .time = {"varchar(30)"},
                                .dateTime = {"varchar(30)"},
                                .boolean = {"boolean", DefaultKind::kBoolean, " "}}),
};

const DialectRules kFirebirdRules = {
    .name = "FIREBIRD",
    .logPrefix = "Firebird",
    .deleteOperation = "GenDeleteQuery",
    .rowLimit = RowLimitStyle::kFirstSkip,
    .aliasKeyword = "",
    // A SMALLINT column: the numbers, not 't' and 'f'.
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
    // Firebird has no "text" type: long text is a text BLOB.
    .sequenceLock = nullptr,
    .columnTypes = ColumnTypes({.longInt = kLongInt,
                                .unsignedLongInt = kNoColumn,
                                .blob = kNoColumn,
                                .text = {"blob sub_type text", DefaultKind::kNone, " "},
                                .date = kDate,
                                .time = kTime,
                                .dateTime = kTimestamp,
                                .boolean = {"SMALLINT", DefaultKind::kBoolean, " "}}),
};

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
