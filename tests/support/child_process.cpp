#include "tests/support/child_process.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace kv::test {
namespace {

std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& extra) {
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text(*entry);
    const auto equals = text.find('=');
    if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [name, value] : extra) merged[name] = value;
  std::vector<std::string> environment;
  for (const auto& [name, value] : merged) environment.push_back(name + "=" + value);
  return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// The command line with setpriv in front when the program changes user or
// must end with its starter; setpriv replaces itself with the program, so
// the process id stays the program's.
std::vector<std::string> CommandLine(const std::string& path, const std::vector<std::string>& args,
                                     const SpawnOptions& options) {
  std::vector<std::string> command;
  const bool switchUser = !options.user.empty() && ::geteuid() == 0;
  if (switchUser || options.server) {
    command.push_back(FindProgram({"setpriv"}));
    if (switchUser) {
      const passwd* account = ::getpwnam(options.user.c_str());
      if (!account) return {};
      command.push_back("--reuid=" + std::to_string(account->pw_uid));
      command.push_back("--regid=" + std::to_string(account->pw_gid));
      command.push_back("--init-groups");
    }
    if (options.server) command.push_back("--pdeathsig=KILL");
    command.push_back("--");
  }
  command.push_back(path);
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

}  // namespace

pid_t SpawnProgram(const std::string& path, const std::vector<std::string>& args, const SpawnOptions& options) {
  std::vector<std::string> command = CommandLine(path, args, options);
  if (command.empty() || command.front().empty()) return -1;
  std::vector<std::string> environment = MergedEnvironment(options.env);
  std::vector<char*> argv = Pointers(command);
  std::vector<char*> envp = Pointers(environment);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, options.input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, options.output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (options.errors.empty())
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  else
    posix_spawn_file_actions_addopen(&actions, 2, options.errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  pid_t pid = -1;
  const int failure = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return failure == 0 ? pid : -1;
}

int WaitProgram(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool ProgramEnded(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, WNOHANG) != 0;
}

void StopProgram(pid_t pid, int signal, std::chrono::milliseconds patience) {
  ::kill(pid, signal);
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (std::chrono::steady_clock::now() < deadline) {
    if (ProgramEnded(pid)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  WaitProgram(pid);
}

int RunToEnd(const std::string& path, const std::vector<std::string>& args, const SpawnOptions& options) {
  const pid_t pid = SpawnProgram(path, args, options);
  return pid < 0 ? -1 : WaitProgram(pid);
}

std::string FindProgram(const std::vector<std::string>& candidates) {
  const char* pathVariable = std::getenv("PATH");
  std::string directories = pathVariable ? pathVariable : "";
  directories += ":/usr/local/sbin:/usr/sbin:/sbin:/usr/local/bin:/usr/bin:/bin";
  for (const auto& candidate : candidates) {
    if (candidate.find('/') != std::string::npos) {
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
      continue;
    }
    std::stringstream list(directories);
    for (std::string directory; std::getline(list, directory, ':');) {
      const std::string path = directory + "/" + candidate;
      if (!directory.empty() && ::access(path.c_str(), X_OK) == 0) return path;
    }
  }
  return {};
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

}  // namespace kv::test
