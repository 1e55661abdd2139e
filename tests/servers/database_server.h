#pragma once
// Real database servers for the tests. Each runs on a free loopback port with
// its data in a temporary directory (removed when the object goes), under
// the account the database wants when the tests run as root, and holds an
// empty test database "kvtest". A test program shares one server of each kind
// (Shared()), started when a test first asks for it and stopped when the
// program ends. A test may stop the server and start it again (same port,
// same data) to see what happens to a client whose server went away.
//
// A server whose programs are not installed cannot be had: Missing() gives
// the reason to skip its tests. One that is installed but does not come up
// throws std::runtime_error with the end of its log.

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace kv::test {

struct ScriptResult {
  int exitCode = -1;
  // What the client wrote, standard output and error together.
  std::string output;
  bool Succeeded() const { return exitCode == 0; }
};

class DatabaseServer {
 public:
  static constexpr const char* kDatabase = "kvtest";

  virtual ~DatabaseServer();
  DatabaseServer(const DatabaseServer&) = delete;
  DatabaseServer& operator=(const DatabaseServer&) = delete;

  unsigned Port() const { return port_; }
  const std::string& Directory() const { return dir_; }
  bool Running() const { return pid_ > 0; }

  // Stops the server the way its administrator would (Firebird's is killed:
  // its own shutdown can hang); its data stays.
  void Stop();
  // Starts a stopped server again on the same port and data.
  void Start();

  // Runs SQL statements through the server's own command-line client in the
  // test database, stopping at the first error.
  ScriptResult RunScript(const std::string& sql) const;

 protected:
  // name names the temporary directory; user is the account the server and
  // its set-up run as when the tests run as root (empty: root itself);
  // stopSignal stops the server.
  DatabaseServer(const std::string& name, const std::string& user, int stopSignal);

  // The first start, on a free port; tries a few ports when one is taken.
  void StartOnFreePort();

  struct Command {
    std::string program;
    std::vector<std::string> args;
    SpawnOptions options;
  };
  virtual Command ServerCommand() const = 0;
  // Whether the started server accepts clients.
  virtual bool Ready() const = 0;
  // The client command that runs the script file.
  virtual Command ClientCommand(const std::string& scriptPath) const = 0;

  // Runs a set-up program as the server's account, its output into the log
  // and its input from a file; throws std::runtime_error when it fails.
  void RunSetUp(const std::string& program, const std::vector<std::string>& args,
                const std::string& input = "/dev/null") const;
  // Makes path belong to the server's account.
  void GiveToServerUser(const std::string& path) const;
  // Copies the cached result of an expensive set-up (initialising a data
  // directory) to destination, making it first when the cache has none.
  // key names the set-up (TemplateKey); make fills an empty directory.
  void CopyFromTemplate(const std::string& key, const std::string& destination,
                        const std::function<void(const std::string&)>& make) const;
  // A template's name: the kind of server, the build of its program and the
  // set-up (its program's arguments and the SQL it runs), so that a changed
  // set-up makes a new template.
  static std::string TemplateKey(const std::string& kind, const std::string& program,
                                 const std::vector<std::string>& args, const std::string& sql);
  // The log of set-up and server output.
  std::string LogPath() const { return dir_ + "/server.log"; }
  [[noreturn]] void Fail(const std::string& what) const;

  std::string dir_;
  std::string user_;
  unsigned port_ = 0;

 private:
  bool TryStart();
  int stopSignal_;
  pid_t pid_ = -1;
  mutable unsigned scripts_ = 0;
};

}  // namespace kv::test
