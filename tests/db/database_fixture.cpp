#include "tests/db/database_fixture.h"

#include <stdexcept>

#include "db/db_statements.h"
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

std::string LogErrors(const TestLog& log) { return ErrorEntries(log.Contents()); }

bool ExecuteOn(const char* connectionName, const std::string& sql) {
  const PooledConnection connection(connectionName);
  return connection && ExecuteUpdate(connection.get(), sql.c_str());
}

DBResultSetPtr QueryOn(const char* connectionName, const std::string& sql) {
  const PooledConnection connection(connectionName);
  return connection ? ExecuteQuery(connection.get(), sql.c_str()) : nullptr;
}

template <class Log>
std::vector<std::vector<std::optional<std::string>>> RowsOn(const char* connectionName, const std::string& sql,
                                                            const Log& log) {
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

template std::vector<std::vector<std::optional<std::string>>> RowsOn(const char*, const std::string&, const TestLog&);
template std::vector<std::vector<std::optional<std::string>>> RowsOn(const char*, const std::string&, const DbTestLog&);

}  // namespace kv::test
