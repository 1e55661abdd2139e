#include "tests/servers/database_server.h"

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "tests/support/loopback_port.h"

namespace kv::test {
namespace {
namespace fs = std::filesystem;

constexpr auto kStartPatience = std::chrono::seconds(30);
constexpr auto kStopPatience = std::chrono::seconds(15);

// The last lines of a log, for a failure's message.
std::string Tail(const std::string& text) {
  constexpr std::size_t kShown = 2000;
  return text.size() <= kShown ? text : text.substr(text.size() - kShown);
}

}  // namespace

DatabaseServer::DatabaseServer(const std::string& name, const std::string& user, int stopSignal)
    : user_(::geteuid() == 0 ? user : std::string()), stopSignal_(stopSignal) {
  std::string pattern = (fs::temp_directory_path() / ("kv-" + name + "-XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error(name + ": no temporary directory");
  dir_ = pattern;
  GiveToServerUser(dir_);
}

DatabaseServer::~DatabaseServer() {
  if (Running()) Stop();
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

void DatabaseServer::Fail(const std::string& what) const {
  throw std::runtime_error(what + "\n" + Tail(ReadWholeFile(LogPath())));
}

void DatabaseServer::GiveToServerUser(const std::string& path) const {
  if (user_.empty()) return;
  const passwd* account = ::getpwnam(user_.c_str());
  if (!account || ::chown(path.c_str(), account->pw_uid, account->pw_gid) != 0)
    throw std::runtime_error("cannot give " + path + " to " + user_);
}

void DatabaseServer::RunSetUp(const std::string& program, const std::vector<std::string>& args,
                              const std::string& input) const {
  SpawnOptions options;
  options.input = input;
  options.output = LogPath();
  options.user = user_;
  if (RunToEnd(program, args, options) != 0) Fail(program + " failed");
}

std::string DatabaseServer::TemplateKey(const std::string& kind, const std::string& program,
                                        const std::vector<std::string>& args, const std::string& sql) {
  std::string setUp = sql;
  for (const auto& arg : args) setUp += "\n" + arg;
  std::error_code ignored;
  const auto built = fs::last_write_time(program, ignored).time_since_epoch().count();
  return kind + "-" + std::to_string(built) + "-" + std::to_string(std::hash<std::string>{}(setUp));
}

void DatabaseServer::CopyFromTemplate(const std::string& key, const std::string& destination,
                                      const std::function<void(const std::string&)>& make) const {
  const fs::path cache = fs::temp_directory_path() / "kv-db-templates";
  const fs::path ready = cache / key;
  std::error_code ignored;
  if (!fs::exists(ready, ignored)) {
    fs::create_directories(cache);
    std::string staging = (cache / (key + ".XXXXXX")).string();
    if (!::mkdtemp(staging.data())) throw std::runtime_error("no directory for " + key);
    GiveToServerUser(staging);
    try {
      make(staging);
    } catch (...) {
      fs::remove_all(staging, ignored);
      throw;
    }
    // Another test program may have made the same template meanwhile.
    fs::rename(staging, ready, ignored);
    if (ignored) fs::remove_all(staging, ignored);
  }
  SpawnOptions options;
  options.output = LogPath();
  if (RunToEnd(FindProgram({"cp"}), {"-a", (ready / ".").string(), destination}, options) != 0)
    Fail("cannot copy " + ready.string());
}

void DatabaseServer::StartOnFreePort() {
  // Another process may take the free port first.
  for (int attempt = 0; attempt < 5; ++attempt) {
    port_ = FreePort();
    if (TryStart()) return;
  }
  Fail(dir_ + ": the server did not start");
}

void DatabaseServer::Start() {
  if (Running()) return;
  if (!TryStart()) Fail(dir_ + ": the server did not start again on port " + std::to_string(port_));
}

bool DatabaseServer::TryStart() {
  Command command = ServerCommand();
  command.options.output = LogPath();
  command.options.user = user_;
  command.options.server = true;
  pid_ = SpawnProgram(command.program, command.args, command.options);
  if (pid_ < 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + kStartPatience;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Ready()) return true;
    if (ProgramEnded(pid_)) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  StopProgram(pid_, SIGKILL, kStopPatience);
  pid_ = -1;
  return false;
}

void DatabaseServer::Stop() {
  if (!Running()) return;
  StopProgram(pid_, stopSignal_, kStopPatience);
  pid_ = -1;
}

ScriptResult DatabaseServer::RunScript(const std::string& sql) const {
  const std::string base = dir_ + "/script-" + std::to_string(++scripts_);
  std::ofstream(base + ".sql") << sql << "\n";
  Command command = ClientCommand(base + ".sql");
  command.options.output = base + ".out";
  ScriptResult result;
  result.exitCode = RunToEnd(command.program, command.args, command.options);
  result.output = ReadWholeFile(command.options.output);
  return result;
}

}  // namespace kv::test
