#pragma once
// Firebird 3 for the tests, which has no ODBC driver on Debian: a server
// process on a loopback port with a private configuration (its own root
// directory, lock directory and security database, SYSDBA's password set
// here) and the test database "kvtest.fdb" in its directory, driven through
// Firebird's own isql-fb.

#include <map>
#include <string>

#include "tests/servers/database_server.h"

namespace kv::test {

class FirebirdServer : public DatabaseServer {
 public:
  // Empty when Firebird 3 is installed, else why its tests are skipped.
  static std::string Missing();
  // The test program's server, started on first use.
  static FirebirdServer& Shared();

  FirebirdServer();
  ~FirebirdServer() override;

  static constexpr const char* kUser = "SYSDBA";
  static constexpr const char* kPassword = "kvtest";
  // The test database as a client names it: inet://127.0.0.1:<port>/<path>.
  std::string DatabaseUrl() const;

 protected:
  Command ServerCommand() const override;
  bool Ready() const override;
  Command ClientCommand(const std::string& scriptPath) const override;

 private:
  // The environment that points the server (and an embedded isql) at the
  // private configuration.
  std::map<std::string, std::string> Environment() const;
  // The lines of firebird.conf every process of this server reads.
  std::string Configuration() const;
  std::string server_;
  std::string isql_;
};

}  // namespace kv::test
