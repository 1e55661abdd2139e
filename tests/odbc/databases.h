#pragma once
// The databases the ODBC tests run on, each through its driver: SQLite (a
// database file), PostgreSQL through the Unicode and the ANSI driver, and
// MariaDB. A server is started on first use and shared by the program.

#include <string>
#include <vector>

#include "tests/servers/database_server.h"

namespace kv::test {

struct Database {
  const char* name;
  // How the database spells a column of long binary data.
  const char* blobType;
  // Why its tests are skipped (empty: they run).
  std::string (*missing)();
  // The connection string of its data source; starts its server.
  std::string (*connectionString)();
  // Its server; null for a database without one.
  DatabaseServer* (*server)();
};

const std::vector<Database>& Databases();
const Database& FindDatabase(const std::string& name);

// The names, for parameterised tests.
std::vector<std::string> DatabaseNames();

}  // namespace kv::test
