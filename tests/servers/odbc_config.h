#pragma once
// The ODBC configuration of a test program, never the system's: its own
// odbcinst.ini naming the drivers installed on this computer and its own
// odbc.ini of data sources, in a temporary directory that ODBCSYSINI and
// ODBCINI name for the whole process. unixODBC reads those variables once,
// so the configuration is made once per process, before the first ODBC
// call, and removed when the process ends.

#include <string>
#include <utility>
#include <vector>

namespace kv::test {

// Driver names as Debian registers them.
inline constexpr const char* kSqliteDriver = "SQLite3";
inline constexpr const char* kPostgresUnicodeDriver = "PostgreSQL Unicode";
inline constexpr const char* kPostgresAnsiDriver = "PostgreSQL ANSI";
inline constexpr const char* kMariaDbDriver = "MariaDB Unicode";

using OdbcKeys = std::vector<std::pair<std::string, std::string>>;

class OdbcConfig {
 public:
  // The process's configuration, made on first use.
  static OdbcConfig& Get();

  // The directory of odbcinst.ini and odbc.ini (ODBCSYSINI).
  const std::string& Directory() const { return dir_; }
  // The data-source list (ODBCINI).
  std::string OdbcIni() const { return dir_ + "/odbc.ini"; }

  // Whether the driver's library is installed; the reason to skip a test
  // when it is not.
  bool HasDriver(const std::string& driver) const;
  std::string MissingDriver(const std::string& driver) const;

  // Enters a data source with its driver and keys into odbc.ini.
  void AddDataSource(const std::string& dsn, const std::string& driver, const OdbcKeys& keys);

  // "kv_sqlite", a data source of the SQLite driver on a database file of
  // the configuration's directory, entered on first use.
  std::string SqliteDataSource();

  ~OdbcConfig();
  OdbcConfig(const OdbcConfig&) = delete;
  OdbcConfig& operator=(const OdbcConfig&) = delete;

 private:
  OdbcConfig();
  std::string dir_;
  std::vector<std::string> drivers_;
  bool sqliteEntered_ = false;
};

}  // namespace kv::test
