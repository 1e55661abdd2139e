#include "tests/servers/firebird_server.h"

#include <signal.h>

#include <filesystem>
#include <fstream>

#include "tests/support/loopback_port.h"

namespace kv::test {
namespace {
namespace fs = std::filesystem;

// Firebird's installed root directory (configuration, messages, plugins):
// Debian keeps it per architecture.
std::string InstalledRoot() {
  std::vector<fs::path> candidates;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator("/usr/lib", ignored))
    candidates.push_back(entry.path() / "firebird" / "3.0");
  candidates.emplace_back("/usr/lib/firebird/3.0");
  candidates.emplace_back("/opt/firebird");
  for (const auto& root : candidates)
    if (fs::exists(root / "plugins", ignored) && fs::exists(root / "firebird.msg", ignored)) return root.string();
  return {};
}

// The security database the package made, copied for each test server.
std::string InstalledSecurityDatabase(const std::string& root) {
  std::error_code ignored;
  for (const fs::path& candidate :
       {fs::path("/var/lib/firebird/3.0/system/security3.fdb"), fs::path(root) / "security3.fdb"})
    if (fs::exists(candidate, ignored)) return candidate.string();
  return {};
}

std::string ServerProgram() { return FindProgram({"/usr/sbin/firebird", "/opt/firebird/bin/firebird"}); }
std::string IsqlProgram() { return FindProgram({"isql-fb", "/opt/firebird/bin/isql"}); }

}  // namespace

std::string FirebirdServer::Missing() {
  const std::string root = InstalledRoot();
  if (ServerProgram().empty() || IsqlProgram().empty() || root.empty() || InstalledSecurityDatabase(root).empty())
    return "Firebird 3 is not installed (firebird, isql-fb or its security database not found)";
  return {};
}

FirebirdServer& FirebirdServer::Shared() {
  static FirebirdServer server;
  return server;
}

// Firebird's own shutdown waits for nothing sensible and can hang; a killed
// Firebird keeps its committed data (it writes pages in a careful order).
FirebirdServer::FirebirdServer()
    : DatabaseServer("firebird", "", SIGKILL), server_(ServerProgram()), isql_(IsqlProgram()) {
  if (!Missing().empty()) Fail(Missing());
  // A root of its own: the installed files, but this server's configuration,
  // whose security database is a copy whose SYSDBA has a known password.
  const std::string installed = InstalledRoot();
  const fs::path root = dir_ + "/root";
  fs::create_directories(root);
  fs::create_directories(dir_ + "/lock");
  for (const auto& entry : fs::directory_iterator(installed)) {
    const std::string name = entry.path().filename().string();
    if (name != "firebird.conf" && name != "databases.conf") fs::create_symlink(entry.path(), root / name);
  }
  const std::string security = dir_ + "/security3.fdb";
  fs::copy_file(InstalledSecurityDatabase(installed), security);
  std::ofstream(root / "databases.conf") << "security.db = " << security << "\n";
  // Even embedded, the engine opens the configured security database: the
  // installed one would be locked by the engine of another test program.
  std::ofstream(root / "firebird.conf") << Configuration();

  // Embedded access to the security database needs no password.
  const std::string setPassword = dir_ + "/password.sql";
  std::ofstream(setPassword) << "create or alter user " << kUser << " password '" << kPassword
                             << "' using plugin Srp;\ncommit;\n";
  SpawnOptions options;
  options.env = Environment();
  options.output = LogPath();
  if (RunToEnd(isql_, {"-q", "-b", "-user", kUser, "-i", setPassword, security}, options) != 0)
    Fail("cannot set the password of " + std::string(kUser));

  StartOnFreePort();

  const std::string create = dir_ + "/create.sql";
  std::ofstream(create) << "create database '" << DatabaseUrl() << "' user '" << kUser << "' password '" << kPassword
                        << "' default character set UTF8;\n";
  if (RunToEnd(isql_, {"-q", "-b", "-i", create}, options) != 0) Fail("cannot create " + DatabaseUrl());
}

FirebirdServer::~FirebirdServer() = default;

std::map<std::string, std::string> FirebirdServer::Environment() const {
  return {{"FIREBIRD", dir_ + "/root"}, {"FIREBIRD_LOCK", dir_ + "/lock"}};
}

std::string FirebirdServer::Configuration() const { return "SecurityDatabase = " + dir_ + "/security3.fdb\n"; }

std::string FirebirdServer::DatabaseUrl() const {
  return "inet://127.0.0.1:" + std::to_string(port_) + "/" + dir_ + "/" + kDatabase + ".fdb";
}

DatabaseServer::Command FirebirdServer::ServerCommand() const {
  // The port is the configuration's: the command line's would listen on
  // every interface.
  std::ofstream(dir_ + "/root/firebird.conf")
      << Configuration() << "RemoteServicePort = " << port_ << "\nRemoteBindAddress = 127.0.0.1\n";
  Command command{server_, {}, {}};
  command.options.env = Environment();
  return command;
}

bool FirebirdServer::Ready() const { return Accepts(port_); }

DatabaseServer::Command FirebirdServer::ClientCommand(const std::string& scriptPath) const {
  return {isql_, {"-q", "-b", "-user", kUser, "-password", kPassword, "-i", scriptPath, DatabaseUrl()}, {}};
}

}  // namespace kv::test
