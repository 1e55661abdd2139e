#include "tests/support/test_machine.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/posix/machine.h"
#include "tests/support/wine.h"

extern char** environ;

namespace kv::test {
namespace fs = std::filesystem;

TempMachine::TempMachine() {
  std::string pattern = (fs::temp_directory_path() / "kvmachine-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  WriteRegistry("");
  WriteMachineJson("{}");
}

TempMachine::~TempMachine() {
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

void TempMachine::WriteRegistry(const std::string& body) const {
  WriteFile("registry.reg", std::string(kRegHeader) + body);
}

void TempMachine::WriteMachineJson(const std::string& json) const { WriteFile("machine.json", json); }

void TempMachine::WriteFile(const std::string& relative, const std::string& content) const {
  const fs::path path = Path(relative);
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

void TempMachine::MakeDirectory(const std::string& relative) const { fs::create_directories(Path(relative)); }

std::string TempMachine::ReadFile(const std::string& relative) const {
  std::ifstream in(Path(relative), std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string text = buffer.str();
  // A Windows program writes its text-mode streams (the log among them) with
  // CR LF line ends; the tests compare lines.
  if (WineMode())
    for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
  return text;
}

bool TempMachine::Exists(const std::string& relative) const { return fs::exists(Path(relative)); }

void TempMachine::Use() const { kv::posix::UseMachine(dir_); }

namespace {
std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

// The environment of this process with env's entries added or replaced, and
// argv with the program first, as exec wants them.
struct Exec {
  std::vector<std::string> argStore, envStore;
  std::vector<char*> argv, envp;

  Exec(const std::string& path, const std::vector<std::string>& args, const std::map<std::string, std::string>& env) {
    argStore.push_back(path);
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e; ++e) {
      std::string entry(*e);
      const auto eq = entry.find('=');
      if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [k, v] : env) merged[k] = v;
    for (const auto& [k, v] : merged) envStore.push_back(k + "=" + v);
    for (auto& a : argStore) argv.push_back(a.data());
    for (auto& e : envStore) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
  }
};

pid_t Spawn(const std::string& path, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& env, const std::string& outPath, const std::string& errPath) {
  Exec exec(path, args, env);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, exec.argv.data(), exec.envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

}  // namespace

RunResult RunProgram(const std::string& path, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env) {
  std::string pattern = (fs::temp_directory_path() / "kvrun-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  const std::string outPath = pattern + "/out", errPath = pattern + "/err";
  RunResult result;
  const pid_t pid = Spawn(path, args, env, outPath, errPath);
  if (pid > 0) {
    const int code = WaitProgram(pid);
    if (code >= 0) result.exitCode = code;
  }
  result.out = Slurp(outPath);
  result.err = Slurp(errPath);
  std::error_code ec;
  fs::remove_all(pattern, ec);
  return result;
}

int StartProgram(const std::string& path, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env) {
  return Spawn(path, args, env, "/dev/null", "/dev/null");
}

int WaitProgram(int pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

std::string SourceFile(const std::string& relative) { return Slurp(std::string(KV_SOURCE_DIR) + "/" + relative); }

std::string BinPath(const std::string& name) {
  return WineMode() ? WineBin() + "/" + name + ".exe" : std::string(KV_BIN_DIR) + "/" + name;
}

// The Windows build keeps its libraries beside its programs.
std::string LibPath(const std::string& name) { return (WineMode() ? WineBin() : std::string(KV_LIB_DIR)) + "/" + name; }

void InstallLibrary(const TempMachine& machine, const std::string& library, const std::string& windowsPath) {
  // "C:" -> drive_c/a/b
  std::string relative = "drive_" + std::string(1, static_cast<char>(std::tolower(windowsPath.at(0))));
  for (char c : windowsPath.substr(2)) relative += c == '\\' ? '/' : c;
  const fs::path target = machine.Path(relative);
  fs::create_directories(target.parent_path());
  fs::copy_file(LibPath(library), target, fs::copy_options::overwrite_existing);
}

}  // namespace kv::test
