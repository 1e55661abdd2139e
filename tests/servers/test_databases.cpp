#include "tests/servers/test_databases.h"

#include <stdexcept>

#include "tests/servers/mariadb_server.h"
#include "tests/servers/odbc_config.h"
#include "tests/servers/postgres_server.h"

namespace kv::test {
namespace {

std::string Either(const std::string& first, const std::string& second) { return first.empty() ? second : first; }

const std::vector<TestDatabase> kDatabases = {
    {"SQLite", "SQLITE", 3, "blob", "", true, [] { return OdbcConfig::Get().MissingDriver(kSqliteDriver); },
     [] { return OdbcConfig::Get().SqliteDataSource(); }, [] { return static_cast<DatabaseServer*>(nullptr); }},
    {"PostgreSQL", "PGSQL", 1, "bytea", PostgresServer::kUser, true,
     [] { return Either(PostgresServer::Missing(), OdbcConfig::Get().MissingDriver(kPostgresUnicodeDriver)); },
     [] { return PostgresServer::Shared().Dsn(); },
     [] { return static_cast<DatabaseServer*>(&PostgresServer::Shared()); }},
    // The same server: the store's tests reach it through the Unicode driver.
    {"PostgreSQLAnsi", "PGSQL", 1, "bytea", PostgresServer::kUser, false,
     [] { return Either(PostgresServer::Missing(), OdbcConfig::Get().MissingDriver(kPostgresAnsiDriver)); },
     [] { return PostgresServer::Shared().AnsiDsn(); },
     [] { return static_cast<DatabaseServer*>(&PostgresServer::Shared()); }},
    {"MariaDB", "MYSQL", 0, "longblob", MariaDbServer::kUser, true,
     [] { return Either(MariaDbServer::Missing(), OdbcConfig::Get().MissingDriver(kMariaDbDriver)); },
     [] { return MariaDbServer::Shared().Dsn(); },
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

std::vector<std::string> StoreDatabaseNames() {
  std::vector<std::string> names;
  for (const TestDatabase& database : kDatabases)
    if (database.store) names.push_back(database.name);
  return names;
}

}  // namespace kv::test
