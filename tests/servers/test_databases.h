#pragma once
// The databases the tests run on, each reached through one ODBC driver:
// SQLite (a database file) always, PostgreSQL through its Unicode and its
// ANSI driver and MariaDB when they are installed. A server is started on
// first use and shared by the program. The tests of the ODBC seam run on
// every entry; the store's tests run on one entry per server, the driver
// the store's data sources name.

#include <string>
#include <vector>

#include "tests/servers/database_server.h"

namespace kv::test {

struct TestDatabase {
  const char* name;
  // The store's database type for it (its dialect's name) and the
  // dialect's index among the default dialects (SetDSNMapValid).
  const char* dialect;
  int dialectIndex;
  // How the database spells a column of long binary data.
  const char* blobType;
  // The user its data source connects as (empty: none).
  const char* user;
  // Whether the store's tests run on it as well.
  bool store;
  // Why its tests are skipped (empty: they run).
  std::string (*missing)();
  // The name of its ODBC data source; starts its server.
  std::string (*dataSource)();
  // Its server; null for a database without one.
  DatabaseServer* (*server)();

  // "DSN=<its data source>;"; starts its server.
  std::string ConnectionString() const { return "DSN=" + dataSource() + ";"; }
};

// Every entry, and the one of a name (std::invalid_argument when there is
// none).
const std::vector<TestDatabase>& TestDatabases();
const TestDatabase& FindTestDatabase(const std::string& name);

// The names, for parameterised tests: of every entry, and of those the
// store's tests run on.
std::vector<std::string> TestDatabaseNames();
std::vector<std::string> StoreDatabaseNames();

}  // namespace kv::test
