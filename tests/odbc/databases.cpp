#include "tests/odbc/databases.h"

#include <stdexcept>

#include "tests/servers/mariadb_server.h"
#include "tests/servers/odbc_config.h"
#include "tests/servers/postgres_server.h"

namespace kv::test {
namespace {

std::string Either(const std::string& first, const std::string& second) { return first.empty() ? second : first; }

const std::vector<Database> kDatabases = {
    {"SQLite", "blob", [] { return OdbcConfig::Get().MissingDriver(kSqliteDriver); },
     [] { return "DSN=" + OdbcConfig::Get().SqliteDataSource() + ";"; },
     [] { return static_cast<DatabaseServer*>(nullptr); }},
    {"PostgreSQL", "bytea",
     [] { return Either(PostgresServer::Missing(), OdbcConfig::Get().MissingDriver(kPostgresUnicodeDriver)); },
     [] { return "DSN=" + PostgresServer::Shared().Dsn() + ";"; },
     [] { return static_cast<DatabaseServer*>(&PostgresServer::Shared()); }},
    {"PostgreSQLAnsi", "bytea",
     [] { return Either(PostgresServer::Missing(), OdbcConfig::Get().MissingDriver(kPostgresAnsiDriver)); },
     [] { return "DSN=" + PostgresServer::Shared().AnsiDsn() + ";"; },
     [] { return static_cast<DatabaseServer*>(&PostgresServer::Shared()); }},
    {"MariaDB", "longblob",
     [] { return Either(MariaDbServer::Missing(), OdbcConfig::Get().MissingDriver(kMariaDbDriver)); },
     [] { return "DSN=" + MariaDbServer::Shared().Dsn() + ";"; },
     [] { return static_cast<DatabaseServer*>(&MariaDbServer::Shared()); }},
};

}  // namespace

const std::vector<Database>& Databases() { return kDatabases; }

const Database& FindDatabase(const std::string& name) {
  for (const auto& database : kDatabases)
    if (name == database.name) return database;
  throw std::invalid_argument("no database " + name);
}

std::vector<std::string> DatabaseNames() {
  std::vector<std::string> names;
  for (const auto& database : kDatabases) names.push_back(database.name);
  return names;
}

}  // namespace kv::test
