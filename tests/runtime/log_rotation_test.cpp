#include "runtime/log_rotation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "agent/agent_settings.h"
#include "base/log_writer.h"
#include "tests/support/agent_image.h"
#include "tests/support/log_fixture.h"

namespace kv {
namespace {

constexpr const char* kFolder = "C:\\Kelvane\\logs\\";
constexpr const char* kName = "kvprereqhandler.log";

class LogRotationTest : public test::LoggedMachineTest {
 protected:
  LogRotationTest() {
    machine.MakeDirectory("drive_c/Kelvane/logs");
    machine.WriteRegistry(test::RegKeyBlock(test::kAgentKeyNative,
                                            "\"KVAgentInstallDir\"=\"C:\\\\Kelvane\\\\\"\n"
                                            "\"KVAgentLogLevel\"=dword:00000004\n"));
    ResetAgentSettings();
  }
  ~LogRotationTest() override { StopAgentLog(); }

  static std::string Logs(const std::string& name) { return "drive_c/Kelvane/logs/" + name; }
  std::string Read(const std::string& name) const { return machine.ReadFile(Logs(name)); }
  void Write(const std::string& name, const std::string& content) const { machine.WriteFile(Logs(name), content); }
  bool Exists(const std::string& name) const { return machine.Exists(Logs(name)); }

  void OpenAgentLog(DWORD level, bool truncate) { ASSERT_TRUE(OpenLog(kName, "C:\\Kelvane\\logs", level, truncate)); }
};

TEST_F(LogRotationTest, BackupsMoveUpAndTheOldestGoes) {
  Write(kName, "live");
  for (int i = 1; i <= 4; ++i) Write("kvprereqhandler" + std::to_string(i) + ".log", "backup " + std::to_string(i));
  EXPECT_EQ(RotateSpecificLogs(kFolder, kName, 5), 0);
  EXPECT_EQ(Read(kName), "");
  EXPECT_EQ(Read("kvprereqhandler1.log"), "live");
  EXPECT_EQ(Read("kvprereqhandler2.log"), "backup 1");
  EXPECT_EQ(Read("kvprereqhandler3.log"), "backup 2");
  EXPECT_EQ(Read("kvprereqhandler4.log"), "backup 3");
  EXPECT_FALSE(Exists("kvprereqhandler5.log"));
}

TEST_F(LogRotationTest, OnlyTheLiveLogMakesTheFirstBackup) {
  Write(kName, "live");
  EXPECT_EQ(RotateSpecificLogs(kFolder, kName, 5), 0);
  EXPECT_EQ(Read(kName), "");
  EXPECT_EQ(Read("kvprereqhandler1.log"), "live");
  EXPECT_FALSE(Exists("kvprereqhandler2.log"));
}

TEST_F(LogRotationTest, EveryEntryWithTheStemCounts) {
  Write(kName, "live");
  Write("kvprereqhandler1.log", "one");
  EXPECT_EQ(FindNoOfRepeatedFileNames("C:\\Kelvane\\logs\\", "kvprereqhandler"), 2);
  Write("KVPrereqHandler.txt", "other extension");
  machine.MakeDirectory(Logs("kvprereqhandler-old"));
  Write("unrelated.log", "");
  EXPECT_EQ(FindNoOfRepeatedFileNames("C:\\Kelvane\\logs\\", "kvprereqhandler"), 4);
  EXPECT_EQ(FindNoOfRepeatedFileNames("C:\\Kelvane\\missing\\", "kvprereqhandler"), -1);

  // Four entries: backup 3 would come from a backup 2 that is not there;
  // backup 1 and the live log still move on.
  EXPECT_EQ(RotateSpecificLogs(kFolder, kName, 5), 0);
  EXPECT_EQ(Read("kvprereqhandler2.log"), "one");
  EXPECT_EQ(Read("kvprereqhandler1.log"), "live");
  EXPECT_FALSE(Exists("kvprereqhandler3.log"));
}

TEST_F(LogRotationTest, SizeLimitIsReachedAtExactlyTheLimit) {
  Write(kName, std::string(1999999, 'x'));
  EXPECT_EQ(RotateLoggerForEverRunningProcess("C:\\Kelvane\\logs", kName, 5, 2000000), 0);
  EXPECT_FALSE(Exists("kvprereqhandler1.log"));
  EXPECT_EQ(Read(kName).size(), 1999999u);

  Write(kName, std::string(2000000, 'x'));
  EXPECT_EQ(RotateLoggerForEverRunningProcess("C:\\Kelvane\\logs", kName, 5, 2000000), 0);
  EXPECT_EQ(Read("kvprereqhandler1.log").size(), 2000000u);
  EXPECT_EQ(Read(kName), "");

  EXPECT_EQ(CheckLogSizeReached("C:\\Kelvane\\logs\\absent.log", 2000000), 0);
  EXPECT_EQ(CheckLogSizeReached("C:\\Kelvane\\logs\\kvprereqhandler1.log", 2000000), 1);
}

TEST_F(LogRotationTest, WriterContinuesAtTheStartOfTheEmptiedLog) {
  for (const bool truncate : {false, true}) {
    SCOPED_TRACE(truncate ? "created log" : "appended log");
    Write(kName, "");
    OpenAgentLog(1, truncate);
    LogInfo("before rotation\n");
    ASSERT_EQ(RotateSpecificLogs(kFolder, kName, 5), 0);
    LogInfo("after rotation\n");
    CloseLogFile();
    FreeLoggerParams();
    const std::string live = Read(kName);
    EXPECT_EQ(live.find('\0'), std::string::npos);
    EXPECT_EQ(live.rfind("[ ", 0), 0u) << live;
    EXPECT_NE(live.find("[INFO] after rotation\n"), std::string::npos);
    EXPECT_EQ(live.find("before rotation"), std::string::npos);
    EXPECT_NE(Read("kvprereqhandler1.log").find("[INFO] before rotation\n"), std::string::npos);
  }
}

TEST_F(LogRotationTest, BackupNames) {
  EXPECT_EQ(BuildBackupLogName(kFolder, kName, 3), "C:\\Kelvane\\logs\\\\kvprereqhandler3.log");
  EXPECT_EQ(BuildBackupLogName("C:\\x", "a.log.old", 1), "C:\\x\\a1.log");
  EXPECT_EQ(BuildBackupLogName("C:\\x", "plain.txt", 2), "C:\\x\\2.log");
}

TEST_F(LogRotationTest, DefaultFolderComesFromTheRegistry) {
  Write(kName, "live");
  EXPECT_EQ(RotateSpecificLogs(nullptr, kName, 5), 0);
  EXPECT_EQ(Read("kvprereqhandler1.log"), "live");

  machine.WriteRegistry("");
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(RotateSpecificLogs(nullptr, kName, 5), 2);
  std::fflush(stdout);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "RotateSpecificLogs : Unable to get the agent installed directory 2 \n");
}

TEST_F(LogRotationTest, AgentLogStartsRotatedAndStops) {
  Write(kName, std::string(2000000, 'o'));  // left by an earlier run
  ASSERT_EQ(StartAgentLog(kName), 0);
  EXPECT_EQ(Agent().gv_agentInstallDir, "C:\\Kelvane\\");
  EXPECT_EQ(Read("kvprereqhandler1.log"), std::string(2000000, 'o'));
  LogInfo("running\n");
  EXPECT_EQ(StopAgentLog(), 0);
  const std::string live = Read(kName);
  EXPECT_EQ(live.rfind("Log open time: ", 0), 0u);
  EXPECT_NE(live.find("[INFO] running\n"), std::string::npos);
  EXPECT_NE(live.find("Log close time: "), std::string::npos);
  LogInfo("after stop\n");
  EXPECT_EQ(Read(kName), live);
}

TEST_F(LogRotationTest, AgentLogNeedsTheInstallationDirectory) {
  machine.WriteRegistry("");
  EXPECT_EQ(StartAgentLog(kName), 2);
  EXPECT_FALSE(Exists(kName));
  EXPECT_FALSE(IsLogOpen());
}

TEST_F(LogRotationTest, TimerChecksAgainAndAgain) {
  Agent().gv_agentInstallDir = "C:\\Kelvane\\";
  LoggerConfig config;
  EXPECT_EQ(config.logDirectory, "C:\\Kelvane\\logs");
  EXPECT_EQ(config.backupCount, 5);
  EXPECT_EQ(config.maxFileSize, 2000000);
  EXPECT_EQ(config.timerPeriodMs, 900000);
  config.fileName = kName;
  config.timerPeriodMs = 5;
  config.maxFileSize = 1;
  config.backupCount = 3;
  ASSERT_EQ(StartLogger(config), 0);
  // Every check finds the log non-empty and rotates it; wait for a few.
  for (int i = 0; i < 20000 && !Exists("kvprereqhandler2.log"); ++i) {
    LogInfo("filling\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(Exists("kvprereqhandler2.log"));
  EXPECT_EQ(StopAgentLog(), 0);  // waits for a check in progress
  const std::string all = Read(kName) + Read("kvprereqhandler1.log") + Read("kvprereqhandler2.log");
  EXPECT_NE(all.find("LoggerTimerRoutine : Inside LoggerTimerRoutine Method\n"), std::string::npos);
}

// Eight threads log while the log is rotated every few milliseconds: each
// entry ends up, whole, in exactly one of the backups taken or the live log.
TEST_F(LogRotationTest, NoEntryIsLostOrTornWhileRotating) {
  constexpr int kThreads = 8, kEntries = 10000;
  OpenAgentLog(1, false);
  std::atomic<int> running{kThreads};
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t, &running] {
      for (int i = 0; i < kEntries; ++i) LogInfo("entry %d %d\n", t, i);
      --running;
    });
  }
  std::string collected;
  int rotations = 0;
  while (running > 0 || rotations == 0) {
    ASSERT_EQ(RotateSpecificLogs(kFolder, kName, 2), 0);
    ++rotations;
    collected += Read("kvprereqhandler1.log");  // the next rotation replaces it
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  for (auto& writer : writers) writer.join();
  CloseLogFile();
  collected += Read(kName);
  EXPECT_GT(rotations, 1);

  std::vector<std::vector<int>> seen(kThreads, std::vector<int>(kEntries, 0));
  const std::regex entry(R"(\[ \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} \] \[ \d+ \] \[INFO\] entry (\d) (\d+))");
  std::istringstream lines(collected);
  std::string line;
  int malformed = 0;
  while (std::getline(lines, line)) {
    if (line.find("entry ") == std::string::npos) continue;
    std::smatch match;
    if (!std::regex_match(line, match, entry)) {
      if (++malformed < 5) ADD_FAILURE() << "malformed line: " << line;
      continue;
    }
    const int t = std::stoi(match[1]), i = std::stoi(match[2]);
    ASSERT_LT(t, kThreads);
    ASSERT_LT(i, kEntries);
    ++seen[t][i];
  }
  EXPECT_EQ(malformed, 0);
  int missing = 0, doubled = 0;
  for (const auto& thread : seen)
    for (const int count : thread) {
      missing += count == 0;
      doubled += count > 1;
    }
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(doubled, 0);
}

}  // namespace
}  // namespace kv
