#include "base/log_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>
#include <string>

#include "platform/last_error.h"
#include "platform/system.h"
#include "tests/support/log_fixture.h"

namespace kv {
namespace {

constexpr const char* kLogDir = "C:\\Kelvane\\logs";
constexpr const char* kLogFile = "drive_c/Kelvane/logs/agent.log";

class LogWriterTest : public test::LoggedMachineTest {
 protected:
  LogWriterTest() { machine.MakeDirectory("drive_c/Kelvane/logs"); }

  bool Open(DWORD level, bool truncate = true) { return OpenLog("agent.log", kLogDir, level, truncate); }

  void WriteAllLevels() {
    LogInfo("info line\n");
    LogError("error line\n");
    LogDebug("debug line\n");
    LogTrace("trace line\n");
  }

  std::string Contents() const { return machine.ReadFile(kLogFile); }
};

TEST_F(LogWriterTest, LevelsDecideWhichEntriesAreWritten) {
  const struct {
    DWORD level;
    bool info, error, debug, trace;
  } cases[] = {{1, true, false, false, false},
               {2, true, true, false, false},
               {3, true, true, true, false},
               {4, true, true, true, true},
               {200, true, true, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    ASSERT_TRUE(Open(c.level));
    WriteAllLevels();
    CloseLogFile();
    const std::string log = Contents();
    EXPECT_EQ(log.find("[INFO] info line\n") != std::string::npos, c.info);
    EXPECT_EQ(log.find("[ERROR] error line\n") != std::string::npos, c.error);
    EXPECT_EQ(log.find("[DEBUG] debug line\n") != std::string::npos, c.debug);
    EXPECT_EQ(log.find("[TRACE] trace line\n") != std::string::npos, c.trace);
  }
}

// On a disk that fills up, an entry that did not fit is taken back: the log
// keeps only whole entries.
TEST_F(LogWriterTest, AFullDiskLeavesNoTornEntry) {
  machine.WriteMachineJson(R"({"disk":{"write_faults":[{"file":"agent.log","after":300}]}})");
  machine.Use();
  ASSERT_TRUE(Open(4));
  for (int i = 0; i < 20; ++i) LogInfo("entry number %d of a log on a disk that fills up\n", i);
  CloseLogFile();
  const std::string log = Contents();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), '\n');
  EXPECT_LE(log.size(), 300u);
  std::size_t entries = 0;
  for (std::size_t at = log.find("[INFO] entry number "); at != std::string::npos;
       at = log.find("[INFO] entry number ", at + 1)) {
    EXPECT_NE(log.find(" of a log on a disk that fills up\n", at), std::string::npos);
    ++entries;
  }
  EXPECT_GE(entries, 1u);
}

TEST_F(LogWriterTest, LevelZeroWritesOnlyOpenAndClose) {
  ASSERT_TRUE(Open(256));  // only the low 8 bits count
  EXPECT_EQ(Logger().logLevel.load(), 0);
  WriteAllLevels();
  CloseLogFile();
  EXPECT_TRUE(std::regex_match(Contents(), std::regex("Log open time: [^\n]+\nLog close time: [^\n]+\n")));
}

TEST_F(LogWriterTest, EntryFormat) {
  ASSERT_TRUE(Open(4));
  LogInfo("value %d of %s\n", 7, "seven");
  LogError("no line end, ");
  LogDebug("continued\n");
  CloseLogFile();
  const std::string log = Contents();
  const std::string stamp = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3})";
  const std::string tid = std::to_string(GetCurrentThreadId());
  const std::regex expected("Log open time: " + stamp + "\n" +                                                   //
                            R"(\[ )" + stamp + R"( \] \[ )" + tid + R"( \] \[INFO\] value 7 of seven)" + "\n" +  //
                            R"(\[ )" + stamp + R"( \] \[ )" + tid + R"( \] \[ERROR\] no line end, )" +           //
                            R"(\[ )" + stamp + R"( \] \[ )" + tid + R"( \] \[DEBUG\] continued)" + "\n" +        //
                            "Log close time: " + stamp + "\n");
  EXPECT_TRUE(std::regex_match(log, expected)) << log;
  EXPECT_TRUE(std::regex_match(GetLogTimestamp(), std::regex(stamp)));
}

TEST_F(LogWriterTest, NothingIsWrittenWhileClosedOrFreed) {
  LogInfo("before anything\n");
  ASSERT_TRUE(Open(4));
  CloseLogFile();
  LogInfo("after close\n");
  ASSERT_TRUE(OpenLogFile());
  FreeLoggerParams();  // drops the lock key: entries are lost without notice
  LogInfo("after free\n");
  CloseLogFile();
  const std::string log = Contents();
  EXPECT_EQ(log.find("before anything"), std::string::npos);
  EXPECT_EQ(log.find("after close"), std::string::npos);
  EXPECT_EQ(log.find("after free"), std::string::npos);
}

TEST_F(LogWriterTest, OpeningTwiceKeepsTheFirstFile) {
  ASSERT_TRUE(Open(4));
  machine.MakeDirectory("drive_c/Other");
  ASSERT_TRUE(SetLoggerParams("other.log", "C:\\Other", 4));
  EXPECT_TRUE(OpenLogFile());
  LogInfo("still here\n");
  CloseLogFile();
  EXPECT_NE(Contents().find("[TRACE] gv_logFilePtr already Set\n"), std::string::npos);
  EXPECT_NE(Contents().find("still here"), std::string::npos);
  EXPECT_FALSE(machine.Exists("drive_c/Other/other.log"));
}

TEST_F(LogWriterTest, DefaultsAndTheirEffectOnAnOpenLog) {
  ASSERT_TRUE(InitLoggerDefaults());
  EXPECT_EQ(Logger().logFileName, "cfennel.log");
  EXPECT_EQ(Logger().logLevel.load(), 3);
  EXPECT_NE(LogLockKey(), nullptr);
  // A name is set and no log is open: nothing changes.
  ASSERT_TRUE(SetLoggerParams("agent.log", kLogDir, 1));
  ASSERT_TRUE(InitLoggerDefaults());
  EXPECT_EQ(Logger().logFileName, "agent.log");
  EXPECT_EQ(Logger().logLevel.load(), 1);
  // On an open log only the level goes back to 3.
  ASSERT_TRUE(CreateLogFile());
  ASSERT_TRUE(InitLoggerDefaults());
  EXPECT_EQ(Logger().logLevel.load(), 3);
  EXPECT_EQ(Logger().logFileName, "agent.log");
}

TEST_F(LogWriterTest, RootDirectoryGivesTheDefaultDirectory) {
  machine.MakeDirectory("drive_c/Store");
  SetLogRootDirectory("C:\\Store");
  ASSERT_TRUE(InitLoggerDefaults());
  ASSERT_TRUE(CreateLogFile());
  EXPECT_EQ(Logger().logFilePath, "C:\\Store/logs/cfennel.log");
  CloseLogFile();
  EXPECT_TRUE(machine.Exists("drive_c/Store/logs/cfennel.log"));
}

TEST_F(LogWriterTest, FailedOpenLeavesTheLogClosed) {
  machine.WriteFile("drive_c/Kelvane/blocker", "a file, not a directory");
  ASSERT_TRUE(InitLoggerDefaults());
  ASSERT_TRUE(SetLoggerParams("agent.log", "C:\\Kelvane\\blocker", 4));
  EXPECT_FALSE(CreateLogFile());
  EXPECT_FALSE(IsLogOpen());
  LogInfo("dropped\n");  // must not crash
}

TEST_F(LogWriterTest, AFifoOrADeviceAtTheLogsPathIsNotOpened) {
  ASSERT_EQ(::mkfifo(machine.Path(kLogFile).c_str(), 0644), 0);
  EXPECT_FALSE(Open(4, false));  // would wait for a reader, or for room in the pipe
  EXPECT_FALSE(Open(4, true));
  EXPECT_FALSE(IsLogOpen());
  LogInfo("dropped\n");

  std::filesystem::remove(machine.Path(kLogFile));
  std::filesystem::create_symlink("/dev/zero", machine.Path(kLogFile));
  EXPECT_FALSE(Open(4, false));
  EXPECT_FALSE(IsLogOpen());
}

TEST_F(LogWriterTest, EveryEntryIsOneAppendWhateverItsLength) {
  ASSERT_TRUE(Open(4));
  const std::string longText(100000, 'x');
  LogInfo("%s\n", longText.c_str());
  // Another writer of the file moved its end: entries still go to the end.
  std::filesystem::resize_file(machine.Path(kLogFile), 10);
  LogInfo("after\n");
  CloseLogFile();
  const std::string log = Contents();
  EXPECT_TRUE(std::regex_search(log.substr(10), std::regex("^\\[ [^\\]]+ \\] \\[ \\d+ \\] \\[INFO\\] after\n")))
      << log.substr(0, 200);
  EXPECT_EQ(log.find('\0'), std::string::npos);
}

TEST_F(LogWriterTest, LoggingLeavesTheLastErrorAsItWas) {
  ASSERT_TRUE(Open(4));
  SetLastError(1234);
  LogInfo("an entry\n");
  EXPECT_EQ(GetLastError(), 1234u);
}

TEST_F(LogWriterTest, TimeStampsAreTheMachinesLocalTime) {
  machine.WriteMachineJson(R"({"time_zone_bias": -330})");  // five and a half hours east of UTC
  machine.Use();
  ASSERT_TRUE(Open(4));
  const SystemTime local = GetLocalTime();
  LogInfo("stamped\n");
  CloseLogFile();
  char hour[32];
  std::snprintf(hour, sizeof hour, "%d-%02d-%02d %02d:%02d", local.year, local.month, local.day, local.hour,
                local.minute);
  // (a minute may turn between the two readings)
  const std::string log = Contents();
  const auto entry = log.find("] [INFO] stamped");
  ASSERT_NE(entry, std::string::npos);
  EXPECT_NE(log.rfind(hour, entry), std::string::npos) << log << " has no " << hour;
}

TEST_F(LogWriterTest, MakeDirectoryTreeResults) {
  const std::string root = "C:/tree";
  EXPECT_EQ(MakeDirectoryTree((root + "/a/b/c/").c_str()), 0);
  EXPECT_TRUE(machine.Exists("drive_c/tree/a/b/c"));
  EXPECT_EQ(MakeDirectoryTree((root + "/a/b").c_str()), 1);
  EXPECT_EQ(MakeDirectoryTree((root + "/a/b/c/d").c_str()), 0);
  // Backslashes do not separate levels here: no parent is made.
  EXPECT_EQ(MakeDirectoryTree("C:\\Missing\\logs"), KV_ENOENT);
  EXPECT_FALSE(machine.Exists("drive_c/Missing"));
  machine.WriteFile("drive_c/tree/file", "x");
  EXPECT_NE(MakeDirectoryTree((root + "/file/sub").c_str()), 0);
}

}  // namespace
}  // namespace kv
