#pragma once
// MariaDB for the tests: a data directory made by mariadb-install-db, served
// by mariadbd (as "mysql" when the tests run as root) on a loopback port and
// a socket in its directory, root without a password, and an ODBC data
// source for it.

#include <string>

#include "tests/servers/database_server.h"

namespace kv::test {

class MariaDbServer : public DatabaseServer {
 public:
  // Empty when MariaDB is installed, else why its tests are skipped.
  static std::string Missing();
  // The test program's server, started on first use.
  static MariaDbServer& Shared();

  MariaDbServer();
  ~MariaDbServer() override;

  static constexpr const char* kUser = "root";
  // The data source of the MariaDB driver (empty when it is not installed).
  const std::string& Dsn() const { return dsn_; }
  std::string Socket() const { return dir_ + "/mysqld.sock"; }

 protected:
  Command ServerCommand() const override;
  bool Ready() const override;
  Command ClientCommand(const std::string& scriptPath) const override;

 private:
  std::string server_;
  std::string client_;
  std::string dsn_;
};

}  // namespace kv::test
