#include "tests/support/test_machine.h"

#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/posix/machine.h"
#include "tests/support/child_process.h"
#include "tests/support/wine.h"

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
  std::string text = ReadWholeFile(Path(relative));
  // A Windows program writes its text-mode streams (the log among them) with
  // CR LF line ends; the tests compare lines.
  if (WineMode())
    for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
  return text;
}

bool TempMachine::Exists(const std::string& relative) const { return fs::exists(Path(relative)); }

void TempMachine::Use() const { kv::posix::UseMachine(dir_); }

StartedProgram::StartedProgram(const std::string& path, const std::vector<std::string>& args,
                               const std::map<std::string, std::string>& env, const std::string& input) {
  std::string pattern = (fs::temp_directory_path() / "kvrun-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  SpawnOptions options;
  options.env = env;
  options.input = input;
  options.output = dir_ + "/out";
  options.errors = dir_ + "/err";
  pid_ = SpawnProgram(path, args, options);
}

StartedProgram::~StartedProgram() {
  if (pid_ > 0) {
    Kill(SIGKILL);
    Wait();
  }
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

void StartedProgram::Kill(int signal) const {
  if (pid_ > 0) ::kill(pid_, signal);
}

RunResult StartedProgram::Wait() {
  RunResult result;
  if (pid_ > 0) {
    result.exitCode = WaitProgram(pid_);
    pid_ = -1;
  }
  result.out = ReadWholeFile(dir_ + "/out");
  result.err = ReadWholeFile(dir_ + "/err");
  return result;
}

RunResult RunProgram(const std::string& path, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env, const std::string& input) {
  return StartedProgram(path, args, env, input).Wait();
}

RunResult RunCfennel(const TempMachine& image, const std::vector<std::string>& args, const std::string& input) {
  return RunProgram(BinPath("cfennel"), args, {{"KV_MACHINE", image.dir()}}, input);
}

std::vector<std::string> OutputLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string SourceFile(const std::string& relative) {
  return ReadWholeFile(std::string(KV_SOURCE_DIR) + "/" + relative);
}

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
