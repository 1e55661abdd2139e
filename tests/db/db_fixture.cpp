#include "tests/db/db_fixture.h"

#include <stdexcept>

#include "db/database_state.h"
#include "db/db_statements.h"
#include "store/column_types.h"
#include "store/data_dictionary.h"
#include "store/date_time.h"
#include "store/sequence_generator.h"
#include "store/typed_value.h"
#include "tests/servers/mariadb_server.h"
#include "tests/servers/odbc_config.h"
#include "tests/servers/postgres_server.h"

namespace kv::test {
namespace {

std::string Either(const std::string& first, const std::string& second) { return first.empty() ? second : first; }

ConnParamsEntry Parameters(const std::string& dsn, const std::string& user, const char* type) {
  ConnParamsEntry entry;
  entry.host = "localhost";
  entry.dsn = dsn;
  entry.user = user;
  entry.connectionName = "main";
  entry.providerName = "ODBC";
  entry.databaseType = type;
  return entry;
}

const std::vector<TestDatabase> kDatabases = {
    {"SQLite", 3, "SQLITE", [] { return OdbcConfig::Get().MissingDriver(kSqliteDriver); },
     [] { return Parameters(OdbcConfig::Get().SqliteDataSource(), "", "SQLITE"); },
     [] { return static_cast<DatabaseServer*>(nullptr); }},
    {"PostgreSQL", 1, "PGSQL",
     [] { return Either(PostgresServer::Missing(), OdbcConfig::Get().MissingDriver(kPostgresUnicodeDriver)); },
     [] { return Parameters(PostgresServer::Shared().Dsn(), PostgresServer::kUser, "PGSQL"); },
     [] { return static_cast<DatabaseServer*>(&PostgresServer::Shared()); }},
    {"MariaDB", 0, "MYSQL",
     [] { return Either(MariaDbServer::Missing(), OdbcConfig::Get().MissingDriver(kMariaDbDriver)); },
     [] { return Parameters(MariaDbServer::Shared().Dsn(), MariaDbServer::kUser, "MYSQL"); },
     [] { return static_cast<DatabaseServer*>(&MariaDbServer::Shared()); }},
};

}  // namespace

std::string LogErrors(const TestLog& log) {
  const std::string contents = log.Contents();
  std::string errors;
  // Entries begin with "[ " at the start of a line.
  for (std::size_t start = 0; start < contents.size();) {
    std::size_t end = contents.find("\n[ ", start);
    end = end == std::string::npos ? contents.size() : end + 1;
    const std::string entry = contents.substr(start, end - start);
    if (entry.find("[ERROR]") != std::string::npos) errors += entry;
    start = end;
  }
  return errors;
}

TempMachine& DbTestMachine() {
  static TempMachine machine;
  return machine;
}

std::string WriteDbTestFile(const std::string& name, const std::string& text) {
  TempMachine& machine = DbTestMachine();
  machine.WriteFile("drive_c/dbdata/" + name, text);
  machine.Use();
  return "C:\\dbdata\\" + name;
}

std::string DbTestData(const char* name) {
  return WriteDbTestFile(name, SourceFile(std::string("tests/db/data/") + name));
}

const std::vector<TestDatabase>& TestDatabases() { return kDatabases; }

const TestDatabase& FindTestDatabase(const std::string& name) {
  for (const TestDatabase& database : kDatabases)
    if (name == database.name) return database;
  throw std::invalid_argument("no database " + name);
}

std::vector<std::string> TestDatabaseNames() {
  std::vector<std::string> names;
  for (const TestDatabase& database : kDatabases) names.push_back(database.name);
  return names;
}

SelectJoin* ItemsToOwners(SelectQuery& query) {
  SelectColumnList* itemKeys = MakeColumnList(query);
  SelectColumnList* ownerKeys = MakeColumnList(query);
  for (const char* name : {"OWNER_ID", "REGION"}) {
    if (!AppendColumn(query, itemKeys, MakeSelectColumn(query, nullptr, nullptr, name, nullptr, TARN_SQL_INT)) ||
        !AppendColumn(query, ownerKeys, MakeSelectColumn(query, nullptr, nullptr, name, nullptr, TARN_SQL_INT)))
      return nullptr;
  }
  return MakeSelectJoin(query, "KV_ITEMS", "i", "KV_OWNERS", "o", SQL_INNER_JOIN, itemKeys, ownerKeys);
}

TestRow::TestRow(const char* tableName, const std::vector<std::optional<std::string>>& texts) {
  const TableDefn* definition = GetTableDefn(tableName);
  if (!definition) throw std::invalid_argument(std::string("no table ") + tableName);
  std::size_t index = 0;
  for (const ColumnDefn& column : definition->columns) {
    StoredValue value;
    if (index < texts.size() && texts[index]) {
      std::int32_t length = static_cast<std::int32_t>(texts[index]->size());
      owned_.push_back(ConvertToTypedValue(texts[index]->c_str(), length, column.type));
      if (!owned_.back()) throw std::invalid_argument("no value of " + column.name + ": " + *texts[index]);
      value = StoredValue{owned_.back().get(), length};
    }
    values_.push_back(value);
    ++index;
  }
}

std::optional<std::string> ValueText(const StoredValue& value, std::uint8_t type) {
  if (value.IsNull()) return std::nullopt;
  if (type == TARN_SQL_BOOLEAN) return std::string(value.length >= 1 && value.data[0] == 1 ? "1" : "0");
  if (IsDateTimeType(type)) {
    std::optional<TarnGenDateTime> read = ReadDateTimeValue(value.data, value.length);
    if (!read) return "(unreadable date)";
    if (type == TARN_SQL_DATE && (read->parts & TARN_DATE_PART)) read->parts = TARN_DATE_PART;
    if (type == TARN_SQL_TIME && (read->parts & TARN_TIME_PART)) read->parts = TARN_TIME_PART;
    return std::string(FormatTarnDateTime(*read).view());
  }
  if (IsSignedIntegerType(type) || IsUnsignedIntegerType(type) || type == TARN_SQL_FLOAT || type == TARN_SQL_DOUBLE ||
      type == TARN_SQL_REAL) {
    ValueTextBuffer scratch;
    const auto text = TypedValueText(value.data, value.length, type, scratch);
    return text ? std::string(*text) : "(unreadable number)";
  }
  return std::string(value.Bytes());
}

FreshDatabaseAccess::FreshDatabaseAccess() {
  ResetDatabaseAccess();
  ResetDataDictionary();
  ResetSequenceState();
  if (!LoadDataDictFromXMLFile(DbTestData("types.xml").c_str()) || !GetTableDefn("KV_ITEMS"))
    throw std::runtime_error("the test dictionary does not load");
  if (!InitDBProvider()) throw std::runtime_error("InitDBProvider failed");
  RegisterSQLDialects();
}

FreshDatabaseAccess::~FreshDatabaseAccess() {
  ResetDatabaseAccess();
  ResetSequenceState();
  ResetDataDictionary();
}

void OnDatabaseTest::SetUp() {
  if (const std::string missing = database().missing(); !missing.empty()) GTEST_SKIP() << missing;
  ASSERT_TRUE(AddConnParamsEntry(database().parameters()));
  SetDSNMapValid(0, database().dialectIndex);
  ASSERT_TRUE(EstablishDBConnections()) << LogErrors(log_);
  DropTables();
}

bool OnDatabaseTest::Execute(const std::string& sql) { return ExecuteOn("main", sql); }

DBResultSetPtr OnDatabaseTest::Query(const std::string& sql) { return QueryOn("main", sql); }

void OnDatabaseTest::DropTables() {
  // Items before the owners they reference.
  for (const char* table : {"KV_ITEMS", "KV_OWNERS", "KV_BLOBS", "KV_BIG", "SeqGenState", "KV_STREAMS", "KV_LEDGER"})
    (void)Execute(std::string("drop table if exists ") + table);
}

std::vector<std::vector<std::optional<std::string>>> OnDatabaseTest::Rows(const std::string& sql) {
  return RowsOn("main", sql, log_);
}

bool ExecuteOn(const char* connectionName, const std::string& sql) {
  DBConnection* handle = GetConnectionHandle(connectionName);
  const bool done = handle && ExecuteUpdate(handle, sql.c_str());
  if (handle) ReleaseConnectionHandle(connectionName);
  return done;
}

DBResultSetPtr QueryOn(const char* connectionName, const std::string& sql) {
  DBConnection* handle = GetConnectionHandle(connectionName);
  DBResultSetPtr result = handle ? ExecuteQuery(handle, sql.c_str()) : nullptr;
  if (handle) ReleaseConnectionHandle(connectionName);
  return result;
}

std::vector<std::vector<std::optional<std::string>>> RowsOn(const char* connectionName, const std::string& sql,
                                                            const TestLog& log) {
  std::vector<std::vector<std::optional<std::string>>> rows;
  DBResultSetPtr result = QueryOn(connectionName, sql);
  if (!result) {
    ADD_FAILURE() << sql << " failed\n" << LogErrors(log);
    return rows;
  }
  while (GetNextResultRow(result.get())) {
    rows.emplace_back();
    for (std::int32_t column = 0; column < result->columnCount(); ++column)
      rows.back().push_back(
          ValueText(result->Value(result->cursor(), column), result->columns()[static_cast<std::size_t>(column)].type));
  }
  return rows;
}

}  // namespace kv::test
