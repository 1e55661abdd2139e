#include "tests/servers/postgres_server.h"

#include <signal.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/servers/odbc_config.h"
#include "tests/support/loopback_port.h"

namespace kv::test {
namespace {
namespace fs = std::filesystem;

bool HasPrograms(const fs::path& bin) {
  std::error_code ignored;
  for (const char* program : {"initdb", "postgres", "psql"})
    if (!fs::exists(bin / program, ignored)) return false;
  return true;
}

// Debian keeps each major version's programs in /usr/lib/postgresql/<N>/bin;
// the newest is taken. Elsewhere they are on the PATH.
std::string BinDirectory() {
  std::vector<std::pair<int, fs::path>> versions;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ignored)) {
    const std::string name = entry.path().filename().string();
    if (HasPrograms(entry.path() / "bin") && !name.empty() &&
        std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
      versions.emplace_back(std::stoi(name), entry.path() / "bin");
  }
  if (!versions.empty()) return std::max_element(versions.begin(), versions.end())->second.string();
  const std::string initdb = FindProgram({"initdb"});
  if (!initdb.empty() && HasPrograms(fs::path(initdb).parent_path())) return fs::path(initdb).parent_path().string();
  return {};
}

}  // namespace

std::string PostgresServer::Missing() {
  return BinDirectory().empty() ? "PostgreSQL is not installed (initdb, postgres and psql not found)" : "";
}

PostgresServer& PostgresServer::Shared() {
  static PostgresServer server;
  return server;
}

PostgresServer::PostgresServer() : DatabaseServer("postgresql", kUser, SIGINT), bin_(BinDirectory()) {
  if (bin_.empty()) Fail(Missing());
  // initdb takes seconds; a copy of a cluster it made once takes a fraction.
  // The cluster has trust authentication and the test database.
  const std::vector<std::string> initdb = {
      "-A", "trust", "-U", kUser, "-E", "UTF8", "--no-locale", "--no-sync", "--no-instructions"};
  const std::string create = "create database " + std::string(kDatabase) + "\n";
  CopyFromTemplate(TemplateKey("postgresql", bin_ + "/postgres", initdb, create), dir_,
                   [&](const std::string& staging) {
                     const std::string data = staging + "/data";
                     std::vector<std::string> args = initdb;
                     args.insert(args.end(), {"-D", data});
                     RunSetUp(bin_ + "/initdb", args);
                     const std::string statement = staging + "/create.sql";
                     std::ofstream(statement) << create;
                     RunSetUp(bin_ + "/postgres", {"--single", "-D", data, "-F", "postgres"}, statement);
                     fs::remove(statement);
                   });
  StartOnFreePort();

  const OdbcKeys keys = {{"Servername", "127.0.0.1"},
                         {"Port", std::to_string(port_)},
                         {"Database", kDatabase},
                         {"Username", kUser},
                         {"Password", ""}};
  OdbcConfig& odbc = OdbcConfig::Get();
  if (odbc.HasDriver(kPostgresUnicodeDriver)) {
    dsn_ = "kv_postgresql_" + std::to_string(port_);
    odbc.AddDataSource(dsn_, kPostgresUnicodeDriver, keys);
  }
  if (odbc.HasDriver(kPostgresAnsiDriver)) {
    ansiDsn_ = "kv_postgresql_ansi_" + std::to_string(port_);
    odbc.AddDataSource(ansiDsn_, kPostgresAnsiDriver, keys);
  }
}

PostgresServer::~PostgresServer() = default;

DatabaseServer::Command PostgresServer::ServerCommand() const {
  // The data is thrown away after the tests: nothing needs to reach the disk.
  return {bin_ + "/postgres",
          {"-D", dir_ + "/data", "-p", std::to_string(port_), "-k", dir_, "-c", "listen_addresses=127.0.0.1", "-c",
           "fsync=off", "-c", "synchronous_commit=off", "-c", "full_page_writes=off"},
          {}};
}

bool PostgresServer::Ready() const {
  // postmaster.pid's eighth line is the server's state. The file of a server
  // that was killed stays behind, but the new one is written before the port
  // opens.
  if (!Accepts(port_)) return false;
  std::istringstream lines(ReadWholeFile(dir_ + "/data/postmaster.pid"));
  std::string line;
  for (int number = 1; number <= 8 && std::getline(lines, line); ++number)
    if (number == 8) return line.rfind("ready", 0) == 0;
  return false;
}

DatabaseServer::Command PostgresServer::ClientCommand(const std::string& scriptPath) const {
  // Rows come out unaligned, one a line, fields separated by '|'.
  return {bin_ + "/psql",
          {"-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p", std::to_string(port_), "-U", kUser,
           "-d", kDatabase, "-f", scriptPath},
          {}};
}

}  // namespace kv::test
