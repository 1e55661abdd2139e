#pragma once
// Machine images made by tests, and programs run against them.

#include <map>
#include <string>
#include <vector>

namespace kv::test {

// A fresh machine image in a temporary directory, removed when the object
// goes. It starts with an empty registry and an empty machine.json.
class TempMachine {
 public:
  TempMachine();
  ~TempMachine();
  TempMachine(const TempMachine&) = delete;
  TempMachine& operator=(const TempMachine&) = delete;

  const std::string& dir() const { return dir_; }
  // Host path of a file of the image ("registry.reg", "drive_c/x").
  std::string Path(const std::string& relative) const { return dir_ + "/" + relative; }

  // registry.reg: the header line is added in front of the given keys.
  void WriteRegistry(const std::string& body) const;
  void WriteMachineJson(const std::string& json) const;
  void WriteFile(const std::string& relative, const std::string& content) const;
  void MakeDirectory(const std::string& relative) const;
  // In Wine mode with CR LF line ends read as LF.
  std::string ReadFile(const std::string& relative) const;
  bool Exists(const std::string& relative) const;

  // Makes this image the machine of the calling process.
  void Use() const;

 private:
  std::string dir_;
};

// The header every registry.reg starts with.
inline constexpr const char* kRegHeader = "Windows Registry Editor Version 5.00\n\n";

struct RunResult {
  int exitCode = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// A program started with env entries added to the environment, its output
// kept; killed and waited for when the object goes.
class StartedProgram {
 public:
  // input: the host file standard input reads.
  StartedProgram(const std::string& path, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env = {}, const std::string& input = "/dev/null");
  ~StartedProgram();
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  void Kill(int signal) const;
  // Waits for the end and hands over what the program wrote.
  RunResult Wait();

 private:
  std::string dir_;
  int pid_ = -1;
};

// Runs a program and waits for it; env entries are added to the environment.
RunResult RunProgram(const std::string& path, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env = {}, const std::string& input = "/dev/null");

// cfennel on the image, standard input read from the host file input.
RunResult RunCfennel(const TempMachine& image, const std::vector<std::string>& args,
                     const std::string& input = "/dev/null");

// The lines of a program's output, without their line ends.
std::vector<std::string> OutputLines(const std::string& text);

// The content of a file of the source tree ("tests/store/data/shop.xml").
std::string SourceFile(const std::string& relative);

// Path of a program the build made (in Wine mode, the Windows build's).
std::string BinPath(const std::string& name);
// Path of a library the build made ("MpClient.dll").
std::string LibPath(const std::string& name);

// Installs the stand-in Windows Defender client library (or another library
// of the build) into the image at a Windows path.
void InstallLibrary(const TempMachine& machine, const std::string& library, const std::string& windowsPath);

}  // namespace kv::test
