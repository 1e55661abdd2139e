// cfennel on the example data directory, run as a user runs it: SQLite
// through the ODBC configuration the directory carries.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <thread>

#include "tests/dbstore/store_fixture.h"
#include "tests/servers/odbc_config.h"
#include "tests/support/child_process.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class CfennelDatabaseTest : public ::testing::Test {
 protected:
  CfennelDatabaseTest() {
    if (!OdbcConfig::Get().HasDriver(kSqliteDriver)) return;
    for (const auto& entry : fs::directory_iterator(std::string(KV_SOURCE_DIR) + "/examples/store/data")) {
      const std::string name = entry.path().filename().string();
      if (!name.ends_with(".db")) image_.WriteFile("drive_c/store/data/" + name, ExampleDataFile(name));
    }
    image_.WriteMachineJson(R"({"environment": {"TEMP": "C:\\Temp"}})");
    image_.MakeDirectory("drive_c/Temp");
  }
  void SetUp() override {
    if (!OdbcConfig::Get().HasDriver(kSqliteDriver)) GTEST_SKIP() << OdbcConfig::Get().MissingDriver(kSqliteDriver);
  }

  RunResult Cfennel(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", "C:\\store"});
    return RunCfennel(image_, args);
  }
  bool TemporaryDirectoryEmpty() const { return fs::is_empty(image_.Path("drive_c/Temp")); }

  // cfennel on the data directory at a pseudo-terminal (script(1)), each
  // piece of input typed after a pause, as a person types: the terminal
  // takes an interrupt key at once and drops what was typed ahead of it.
  RunResult AtTerminal(const std::vector<std::string>& typed) {
    auto word = [](const std::string& text) {
      std::string quoted = "'";
      for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
      return quoted + "'";
    };
    std::string keys;
    for (const std::string& piece : typed) keys += "sleep 0.4; printf '%s' " + word(piece) + "; ";
    // script(1) runs the command through $SHELL; a shell that stays between
    // them (dash does) would be ended by the interrupt key itself.
    const std::string program = "exec " + word(BinPath("cfennel")) + " --root 'C:\\store'";
    return RunProgram("/bin/sh", {"-c", "(" + keys + "sleep 1) | script -qec " + word(program) + " /dev/null"},
                      {{"KV_MACHINE", image_.dir()}, {"HOME", Home()}});
  }
  std::string History() const { return ReadWholeFile(Home() + "/.cfennel_history"); }
  // The person's home, where the history is kept.
  std::string Home() const { return image_.dir() + "/home"; }

  TempMachine image_;
};

TEST_F(CfennelDatabaseTest, ASessionOnTheExampleDataDirectory) {
  const RunResult first =
      Cfennel({"select DEVICES RAM_GB>10", "insert DEVICES NAME=\"O'Brien's PC\" OS=Linux RAM_GB=4 MANAGED=false",
               "update DEVICES RAM_GB 32 NAME='WEB01'", "delete DEVICES NAME='PC-ANNA'", "save DEVICES"});
  EXPECT_EQ(first.err, "");
  EXPECT_EQ(first.exitCode, 0);
  EXPECT_EQ(Lines(first.out), (std::vector<std::string>{
                                  "DEVICE_ID\tNAME\tOS\tLAST_SEEN\tMANAGED\tRAM_GB",
                                  "1\tWEB01\tWindows Server 2016\t2024-05-02\t1\t16",
                                  "3\tDB01\tWindows Server 2019\t2024-04-28\t1\t64",
                                  "DEVICE_ID\tNAME\tOS\tLAST_SEEN\tMANAGED\tRAM_GB",
                                  "4\tO'Brien's PC\tLinux\t\\N\t0\t4",
                                  "1",
                                  "3",
                                  "1 inserted, 1 updated, 1 deleted",
                              }));
  // The database lies in the data directory, as its odbc.ini says.
  EXPECT_TRUE(image_.Exists("drive_c/store/data/store.db"));
  EXPECT_TRUE(TemporaryDirectoryEmpty());

  const RunResult second =
      Cfennel({"select DEVICES RAM_GB<=32", "sql select NAME, RAM_GB from DEVICES where NAME like 'O%'",
               "unload DEVICES", "loaddb DEVICES RAM_GB > 20", "count DEVICES", "saveall"});
  EXPECT_EQ(second.err, "");
  EXPECT_EQ(Lines(second.out), (std::vector<std::string>{
                                   "DEVICE_ID\tNAME\tOS\tLAST_SEEN\tMANAGED\tRAM_GB",
                                   "1\tWEB01\tWindows Server 2016\t2024-05-02\t1\t32",
                                   "4\tO'Brien's PC\tLinux\t\\N\t0\t4",
                                   "NAME\tRAM_GB",
                                   "O'Brien's PC\t4",
                                   "2",
                                   "2",
                                   "Agentparams: 0 inserted, 0 updated, 0 deleted",
                                   "PATCHES: 0 inserted, 0 updated, 0 deleted",
                                   "DEVICES: 0 inserted, 0 updated, 0 deleted",
                               }));
}

TEST_F(CfennelDatabaseTest, EveryFailureIsOneLineAndTheRunGoesOn) {
  const RunResult run =
      Cfennel({"loaddb DEVICES", "save NOPE", "unload NOPE", "insert DEVICES NOPE=1", "insert DEVICES RAM_GB=lots",
               "insert DEVICES NAME", "sql delete from DEVICES", "sql select * from NOWHERE", "count DEVICES"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{"3"}));
  const std::vector<std::string> errors = Lines(run.err);
  ASSERT_EQ(errors.size(), 8u) << run.err;
  EXPECT_EQ(errors[0], "cfennel: loaddb: DEVICES is in memory already (unload it first)");
  EXPECT_EQ(errors[1], "cfennel: save: no table NOPE in the dictionary");
  EXPECT_EQ(errors[3], "cfennel: insert: DEVICES has no column NOPE");
  EXPECT_EQ(errors[4], "cfennel: insert: lots is not a value for RAM_GB");
  EXPECT_EQ(errors[5], "cfennel: insert: expected COLUMN=VALUE");
  EXPECT_EQ(errors[6], "cfennel: sql: only a select can be run (changes go through the tables and save)");
  EXPECT_NE(errors[7].find("cfennel: sql: "), std::string::npos);
}

TEST_F(CfennelDatabaseTest, AStoreThatCannotStartRunsNoCommand) {
  std::filesystem::remove(image_.Path("drive_c/store/data/connparams.txt"));
  const RunResult run = Cfennel({"tables"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
  EXPECT_NE(run.err.find("cfennel: --root C:\\store: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Cannot open Connection Parameters File."), std::string::npos) << run.err;

  const RunResult without = RunCfennel(image_, {"save DEVICES"});
  EXPECT_EQ(without.err, "cfennel: save: no database (start cfennel with --root DIR)\n");
}

TEST_F(CfennelDatabaseTest, ErrorsNameWhatWasWrong) {
  // The database's own words, without the driver's framing.
  const RunResult sql = Cfennel({"sql select NOPE from DEVICES", "unload DEVICES", "loaddb DEVICES NOPE=1"});
  EXPECT_EQ(Lines(sql.err), (std::vector<std::string>{"cfennel: sql: no such column: NOPE",
                                                      "cfennel: loaddb: no such column: NOPE"}));

  // The file a data directory cannot lack.
  std::filesystem::remove(image_.Path("drive_c/store/data/datadictionary.txt"));
  const RunResult root = Cfennel({"tables"});
  EXPECT_EQ(root.exitCode, 1);
  EXPECT_EQ(root.err,
            "cfennel: --root C:\\store: no C:\\store\\data\\datadictionary.txt (a data directory lists its "
            "dictionaries there)\n");
}

TEST_F(CfennelDatabaseTest, AtATerminalLinesAreEditedRememberedAndCancelled) {
  fs::create_directories(Home());
  // A line cancelled with Ctrl-C is not run; the up arrow brings back the
  // last line; rows come as a table; "quit" leaves.
  const RunResult first =
      AtTerminal({"select DEVICES DEVICE_ID=1\r", "delete DEVICES RAM_GB>0", "\x03", "\x1b[A\r", "quit\r"});
  EXPECT_EQ(first.exitCode, 0) << first.out;
  EXPECT_EQ(first.out.find("delete"), first.out.rfind("delete")) << first.out;  // typed once, never run
  const std::size_t table = first.out.find("|         1 | WEB01 | Windows Server 2016 | 2024-05-02 | 1       |     16 |");
  ASSERT_NE(table, std::string::npos) << first.out;
  EXPECT_NE(first.out.find("|         1 | WEB01 |", table + 1), std::string::npos) << first.out;  // the recalled line
  // libedit's history file: one line per entry, blanks written as \040.
  const std::string history = History();
  EXPECT_EQ(history.find("delete"), std::string::npos) << history;
  EXPECT_NE(history.find("select\\040DEVICES\\040DEVICE_ID=1\nselect\\040DEVICES\\040DEVICE_ID=1\nquit\n"),
            std::string::npos)
      << history;

  // The history lasts to the next session; Ctrl-D leaves too.
  const RunResult second = AtTerminal({"\x1b[A\x1b[A\r", "\x04"});
  EXPECT_EQ(second.exitCode, 0) << second.out;
  EXPECT_NE(second.out.find("|         1 | WEB01 |"), std::string::npos) << second.out;
}

TEST_F(CfennelDatabaseTest, LeavingWithUnsavedRowsAsksAtATerminalAndSaysSoInAScript) {
  fs::create_directories(Home());
  const RunResult asked =
      AtTerminal({"insert DEVICES NAME=x\r", "exit\r", "n\r", "save DEVICES\r", "update DEVICES OS y NAME='x'\r",
                  "\\q\r", "y\r"});
  EXPECT_EQ(asked.exitCode, 0) << asked.out;
  // Asked twice: once before the save, once after the change that followed it.
  std::size_t questions = 0;
  for (std::size_t at = asked.out.find("DEVICES has unsaved rows"); at != std::string::npos;
       at = asked.out.find("DEVICES has unsaved rows", at + 1))
    ++questions;
  EXPECT_EQ(questions, 2u) << asked.out;
  EXPECT_NE(asked.out.find("1 inserted, 0 updated, 0 deleted"), std::string::npos) << asked.out;

  // The row saved before leaving is there; the change after it was left.
  const RunResult script = Cfennel({"count DEVICES NAME='x'", "update DEVICES OS z NAME='x'", "count DEVICES OS='y'"});
  EXPECT_EQ(script.out, "1\n1\n0\n");
  EXPECT_EQ(script.err, "cfennel: unsaved: DEVICES has unsaved rows\n");
}

TEST_F(CfennelDatabaseTest, ADefaultDocumentThatCannotBeSavedStopsTheStartAndIsNamed) {
  // devices.xml is neither the first nor the last document of the list.
  image_.WriteFile("drive_c/store/data/devices.xml", "<DEVICES><broken");
  const RunResult run = Cfennel({"count DEVICES"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("Cannot save default data from C:\\store/data/devices.xml."), std::string::npos) << run.err;
}

TEST_F(CfennelDatabaseTest, NumbersInCriteriaCompareByTheirValue) {
  // RAM_GB holds 16, 8 and 64.
  const RunResult deleted = Cfennel({"delete DEVICES RAM_GB>'32'", "count DEVICES RAM_GB<'32'"});
  EXPECT_EQ(deleted.err, "cfennel: unsaved: DEVICES has unsaved rows\n");
  EXPECT_EQ(Lines(deleted.out), (std::vector<std::string>{"2", "2"}));
  const RunResult run =
      Cfennel({"update DEVICES OS big RAM_GB>8.5", "count DEVICES OS='big'", "count DEVICES RAM_GB>=16.0",
               "count DEVICES RAM_GB=8.5", "delete DEVICES RAM_GB>'many'", "count DEVICES"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{"2", "2", "2", "0", "3"})) << run.err;
  EXPECT_EQ(run.err,
            "cfennel: delete: 'many' cannot be compared with RAM_GB, a column of numbers\n"
            "cfennel: unsaved: DEVICES has unsaved rows\n");
}

TEST_F(CfennelDatabaseTest, AValueWithANulByteIsRefusedNotCut) {
  // Commands on standard input, where a NUL byte can be.
  const std::string script = image_.Path("commands.txt");
  image_.WriteFile("commands.txt", std::string("insert DEVICES NAME=\"ab\0cd\"\ncount DEVICES\n", 42));
  const RunResult run = RunCfennel(image_, {"--root", "C:\\store"}, script);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{"3"}));
  EXPECT_EQ(run.err, "cfennel: insert: the value for NAME holds a NUL byte\n");
}

TEST_F(CfennelDatabaseTest, AnInterruptEndsTheRunInOrder) {
  const std::string fifo = image_.Path("commands");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Held open for writing (and reading, so that opening it does not wait),
  // the input stays open while the program runs.
  const int commands = ::open(fifo.c_str(), O_RDWR);
  ASSERT_GE(commands, 0);
  SpawnOptions options;
  options.env = {{"KV_MACHINE", image_.dir()}};
  options.input = fifo;
  options.output = image_.Path("out");
  options.errors = image_.Path("err");
  const pid_t pid = SpawnProgram(BinPath("cfennel"), {"--root", "C:\\store"}, options);
  ASSERT_GT(pid, 0);
  const std::string command = "count DEVICES\n";
  ASSERT_EQ(::write(commands, command.data(), command.size()), static_cast<ssize_t>(command.size()));
  // The answer shows the store is up and waiting for the next command.
  for (int i = 0; i < 300 && ReadWholeFile(options.output).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(ReadWholeFile(options.output), "3\n");
  ::kill(pid, SIGTERM);
  EXPECT_EQ(WaitProgram(pid), 1);
  ::close(commands);
  EXPECT_EQ(ReadWholeFile(options.errors), "cfennel: interrupted: the commands after the one under way were not run\n");
  EXPECT_TRUE(TemporaryDirectoryEmpty());
}

TEST(CfennelHelp, NamesTheDatabaseCommands) {
  const RunResult run = RunProgram(BinPath("cfennel"), {"--help"});
  EXPECT_EQ(run.exitCode, 0);
  for (const char* word : {"--root DIR", "loaddb TABLE", "save TABLE", "saveall", "insert TABLE COLUMN=VALUE",
                           "unload TABLE", "sql SELECT"})
    EXPECT_NE(run.out.find(word), std::string::npos) << word;
}

}  // namespace
}  // namespace kv::test
