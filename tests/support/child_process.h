#pragma once
// Programs the tests start: with this process's environment plus some
// entries, their standard streams on files, and, for a server that must not
// run as root, as another user.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace kv::test {

struct SpawnOptions {
  // Added to this process's environment, replacing entries of the same name.
  std::map<std::string, std::string> env;
  std::string input = "/dev/null";
  std::string output = "/dev/null";
  // Standard error; empty: the output file.
  std::string errors;
  // When this process runs as root, the program runs as this user.
  std::string user;
  // A server: asks the system to kill it when the thread that started it
  // ends, so that a test program that crashes leaves no server behind (where
  // the system honours the request; the normal road stops it explicitly).
  bool server = false;
};

// The process id, or -1 when the program could not be started.
pid_t SpawnProgram(const std::string& path, const std::vector<std::string>& args, const SpawnOptions& options);

// Waits for the program's end: its exit code, -1 when it did not exit normally.
int WaitProgram(pid_t pid);

// Whether the program has ended; an ended program is reaped, its id no
// longer valid.
bool ProgramEnded(pid_t pid);

// Sends signal and waits for the end; after patience the program is killed.
void StopProgram(pid_t pid, int signal, std::chrono::milliseconds patience);

// Runs a program to its end: its exit code, -1 when it did not exit normally
// or could not be started.
int RunToEnd(const std::string& path, const std::vector<std::string>& args, const SpawnOptions& options);

// The first candidate that is an executable file; a bare name is looked up
// in PATH and the system's sbin directories. Empty when there is none.
std::string FindProgram(const std::vector<std::string>& candidates);

// A file's whole content; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

}  // namespace kv::test
