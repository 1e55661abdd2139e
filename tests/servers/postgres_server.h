#pragma once
// PostgreSQL for the tests: a cluster made by initdb (as "postgres" when the
// tests run as root) with trust authentication, served by postgres on a
// loopback port, and ODBC data sources for it through both Debian drivers.

#include <string>

#include "tests/servers/database_server.h"

namespace kv::test {

class PostgresServer : public DatabaseServer {
 public:
  // Empty when PostgreSQL is installed, else why its tests are skipped.
  static std::string Missing();
  // The test program's server, started on first use.
  static PostgresServer& Shared();

  PostgresServer();
  ~PostgresServer() override;

  static constexpr const char* kUser = "postgres";
  // Data sources of the Unicode and the ANSI driver (entered when the driver is installed).
  const std::string& Dsn() const { return dsn_; }
  const std::string& AnsiDsn() const { return ansiDsn_; }

 protected:
  Command ServerCommand() const override;
  bool Ready() const override;
  Command ClientCommand(const std::string& scriptPath) const override;

 private:
  std::string bin_;
  std::string dsn_;
  std::string ansiDsn_;
};

}  // namespace kv::test
