// Processes sharing one log: every entry reaches the file whole, however
// long, and a rotation in one process loses no entry another writes.

#include <gtest/gtest.h>
#include <sys/types.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

using test::TempMachine;

class LogProcessesTest : public ::testing::Test {
 protected:
  LogProcessesTest() { machine.MakeDirectory("drive_c/logs"); }

  int Start(const std::vector<std::string>& args) {
    test::SpawnOptions options;
    options.env = {{"KV_MACHINE", machine.dir()}};
    const int pid = test::SpawnProgram(test::BinPath("kv_log_writer"), args, options);
    EXPECT_GT(pid, 0);
    return pid;
  }

  // Entries per writing process found in the files, each checked whole: a
  // line that is neither an open, a close nor a complete entry fails.
  std::map<std::string, int> Entries(const std::vector<std::string>& files, std::size_t bytes) {
    const std::regex entry(
        "\\[ \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{3} \\] \\[ \\d+ \\] \\[INFO\\] P(\\d+) E(\\d+) ([a-z])\\3{" +
        std::to_string(bytes - 1) + "} END");
    std::map<std::string, int> entries;
    for (const auto& file : files) {
      std::istringstream lines(machine.ReadFile("drive_c/logs/" + file));
      std::string line;
      std::smatch match;
      while (std::getline(lines, line)) {
        if (line.starts_with("Log open time: ") || line.starts_with("Log close time: ")) continue;
        if (!std::regex_match(line, match, entry)) {
          ADD_FAILURE() << file << ": a torn line of " << line.size() << " bytes: " << line.substr(0, 80);
          continue;
        }
        ++entries[match[1].str() + " " + match[2].str()];
        ++entries[match[1].str()];
      }
    }
    return entries;
  }

  TempMachine machine;
};

TEST_F(LogProcessesTest, TwentyProcessesAppendTheirLongEntriesWhole) {
  constexpr int kWriters = 20, kEntries = 10;
  constexpr std::size_t kBytes = 24 * 1024;
  std::vector<int> pids;
  for (int i = 0; i < kWriters; ++i)
    pids.push_back(Start({"append", "shared.log", std::to_string(kEntries), std::to_string(kBytes)}));
  for (int pid : pids) EXPECT_EQ(test::WaitProgram(pid), 0);

  const auto entries = Entries({"shared.log"}, kBytes);
  for (int pid : pids) EXPECT_EQ(entries.count(std::to_string(pid)) ? entries.at(std::to_string(pid)) : 0, kEntries);
  const std::string log = machine.ReadFile("drive_c/logs/shared.log");
  std::size_t opens = 0;
  for (auto at = log.find("Log open time: "); at != std::string::npos; at = log.find("Log open time: ", at + 1))
    ++opens;
  EXPECT_EQ(opens, static_cast<std::size_t>(kWriters));
}

TEST_F(LogProcessesTest, ARotationInAnotherProcessLosesNoEntry) {
  constexpr int kWriters = 4, kEntries = 300, kRotations = 30;
  constexpr std::size_t kBytes = 200;
  std::vector<int> writers;
  for (int i = 0; i < kWriters; ++i)
    writers.push_back(Start({"append", "kvlog.log", std::to_string(kEntries), std::to_string(kBytes)}));
  const int rotator = Start({"rotate", "kvlog.log", std::to_string(kRotations), "100"});
  for (int pid : writers) EXPECT_EQ(test::WaitProgram(pid), 0);
  EXPECT_EQ(test::WaitProgram(rotator), 0);

  std::vector<std::string> files{"kvlog.log"};
  for (int i = 1; i <= kRotations; ++i) files.push_back("kvlog" + std::to_string(i) + ".log");
  const auto entries = Entries(files, kBytes);
  for (int pid : writers) {
    const std::string p = std::to_string(pid);
    EXPECT_EQ(entries.count(p) ? entries.at(p) : 0, kEntries) << "entries lost or doubled for " << p;
    for (int e = 0; e < kEntries; ++e) {
      const auto it = entries.find(p + " " + std::to_string(e));
      ASSERT_TRUE(it != entries.end() && it->second == 1) << p << " entry " << e;
    }
  }
  EXPECT_TRUE(machine.Exists("drive_c/logs/kvlog1.log"));  // the rotations did happen
}

}  // namespace
}  // namespace kv
