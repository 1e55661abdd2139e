#include "tests/servers/mariadb_server.h"

#include <signal.h>

#include <filesystem>
#include <fstream>

#include "tests/servers/odbc_config.h"
#include "tests/support/loopback_port.h"

namespace kv::test {
namespace {
namespace fs = std::filesystem;

// The account mariadbd runs as when the tests run as root.
constexpr const char* kServerAccount = "mysql";

std::string ServerProgram() { return FindProgram({"mariadbd", "mysqld"}); }
std::string InstallProgram() { return FindProgram({"mariadb-install-db", "mysql_install_db"}); }
std::string ClientProgram() { return FindProgram({"mariadb", "mysql"}); }

// Small InnoDB files (the test data is small and thrown away) and Debian's
// configuration: text is Unicode.
const std::vector<std::string> kCommonOptions = {"--innodb-log-file-size=4M", "--innodb-buffer-pool-size=16M",
                                                 "--character-set-server=utf8mb4",
                                                 "--collation-server=utf8mb4_general_ci"};

}  // namespace

std::string MariaDbServer::Missing() {
  if (ServerProgram().empty() || InstallProgram().empty() || ClientProgram().empty())
    return "MariaDB is not installed (mariadbd, mariadb-install-db and mariadb not found)";
  return {};
}

MariaDbServer& MariaDbServer::Shared() {
  static MariaDbServer server;
  return server;
}

MariaDbServer::MariaDbServer()
    : DatabaseServer("mariadb", kServerAccount, SIGTERM), server_(ServerProgram()), client_(ClientProgram()) {
  if (!Missing().empty()) Fail(Missing());
  // mariadb-install-db takes seconds; a copy of a directory it made once
  // takes a fraction. The directory holds the test database.
  std::vector<std::string> install = {"--no-defaults", "--auth-root-authentication-method=normal", "--skip-test-db",
                                      "--skip-name-resolve"};
  install.insert(install.end(), kCommonOptions.begin(), kCommonOptions.end());
  const std::string create = "create database " + std::string(kDatabase) + ";\n";
  CopyFromTemplate(TemplateKey("mariadb", server_, install, create), dir_, [&](const std::string& staging) {
    const std::string extra = staging + "/create.sql";
    std::ofstream(extra) << create;
    std::vector<std::string> args = install;
    args.push_back("--datadir=" + staging + "/data");
    args.push_back("--extra-file=" + extra);
    RunSetUp(InstallProgram(), args);
    fs::remove(extra);
  });
  StartOnFreePort();

  OdbcConfig& odbc = OdbcConfig::Get();
  if (odbc.HasDriver(kMariaDbDriver)) {
    dsn_ = "kv_mariadb_" + std::to_string(port_);
    odbc.AddDataSource(dsn_, kMariaDbDriver,
                       {{"Server", "127.0.0.1"},
                        {"Port", std::to_string(port_)},
                        {"Database", kDatabase},
                        {"User", kUser},
                        {"Password", ""}});
  }
}

MariaDbServer::~MariaDbServer() = default;

DatabaseServer::Command MariaDbServer::ServerCommand() const {
  std::vector<std::string> args = {"--no-defaults",
                                   "--datadir=" + dir_ + "/data",
                                   "--port=" + std::to_string(port_),
                                   "--bind-address=127.0.0.1",
                                   "--socket=" + Socket(),
                                   "--pid-file=" + dir_ + "/mysqld.pid",
                                   "--skip-name-resolve",
                                   "--skip-log-bin",
                                   "--innodb-flush-log-at-trx-commit=0"};
  args.insert(args.end(), kCommonOptions.begin(), kCommonOptions.end());
  return {server_, args, {}};
}

// mariadbd opens its port once it is ready for clients.
bool MariaDbServer::Ready() const { return Accepts(port_); }

DatabaseServer::Command MariaDbServer::ClientCommand(const std::string& scriptPath) const {
  // Rows come out one a line, fields separated by tabs, without a heading.
  Command command{client_,
                  {"--no-defaults", "--batch", "--skip-column-names", "-h", "127.0.0.1", "-P", std::to_string(port_),
                   "-u", kUser, kDatabase},
                  {}};
  command.options.input = scriptPath;
  return command;
}

}  // namespace kv::test
