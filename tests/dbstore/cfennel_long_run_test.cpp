// A long run, with KV_LONG_RUNS=1 (a test run skips it): eight cfennel
// processes insert and save rows into one PostgreSQL while the server is
// restarted three times. Every row a process added (an insert made while the
// server is away fails, having no identifier) must be in the database
// exactly once at the end, with an identifier of its own.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "db/database_state.h"
#include "tests/dbstore/store_fixture.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

constexpr int kProcesses = 8;
constexpr int kRestarts = 3;

// Rounds of each process, each an insert and a save (KV_LONG_ROUNDS; the
// default keeps eight processes busy for some minutes on two cores).
int Rounds() {
  const char* rounds = std::getenv("KV_LONG_ROUNDS");
  return rounds ? std::atoi(rounds) : 20000;
}

// The commands of one process: rows named after it and their number, each
// saved at once; saves at the end, after the last restart, bring in what a
// restart kept out.
std::string Commands(int process) {
  std::string script;
  for (int round = 1; round <= Rounds(); ++round) {
    script += "insert DEVICES NAME=P" + std::to_string(process) + "_" + std::to_string(round) + " RAM_GB=" +
              std::to_string(round) + "\n";
    script += "save DEVICES\n";
  }
  return script;
}

TEST(CfennelLongRun, EightProcessesSaveEveryRowOnceThroughServerRestarts) {
  if (!std::getenv("KV_LONG_RUNS")) GTEST_SKIP() << "a long run: KV_LONG_RUNS=1 runs it";
  const TestDatabase& database = FindTestDatabase("PostgreSQL");
  if (const std::string missing = database.missing(); !missing.empty()) GTEST_SKIP() << missing;
  DropStoreTables(database);
  DatabaseServer* server = database.server();
  ASSERT_NE(server, nullptr);

  TempMachine image;
  for (const auto& entry : fs::directory_iterator(std::string(KV_SOURCE_DIR) + "/examples/store/data")) {
    const std::string name = entry.path().filename().string();
    // The processes use the tests' ODBC configuration, where the server's
    // data source is.
    if (name == "odbc.ini" || name == "odbcinst.ini" || name.ends_with(".db")) continue;
    image.WriteFile("drive_c/store/data/" + name, ExampleDataFile(name));
  }
  image.WriteFile("drive_c/store/data/connparams.txt", StoreDataDirectory::ConnParamsLine(database) + "\n");
  image.WriteMachineJson(R"({"environment": {"TEMP": "C:\\Temp"}})");
  image.MakeDirectory("drive_c/Temp");
  // The first run makes the tables and the default rows.
  const RunResult first = RunCfennel(image, {"--root", "C:\\store", "count DEVICES"});
  ASSERT_EQ(first.exitCode, 0) << first.err;

  std::vector<std::unique_ptr<StartedProgram>> processes;
  for (int process = 1; process <= kProcesses; ++process) {
    const std::string script = "commands" + std::to_string(process) + ".txt";
    image.WriteFile(script, Commands(process) + "save DEVICES\nsave DEVICES\n");
    processes.push_back(std::make_unique<StartedProgram>(BinPath("cfennel"), std::vector<std::string>{"--root", "C:\\store"},
                                                         std::map<std::string, std::string>{{"KV_MACHINE", image.dir()}},
                                                         image.Path(script)));
  }
  // Restarts ten seconds apart while the processes work.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  for (int restart = 0; restart < kRestarts; ++restart) {
    std::this_thread::sleep_for(std::chrono::seconds(10));
    server->Stop();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    server->Start();
  }
  const Clock::time_point lastRestart = Clock::now();
  std::vector<RunResult> results;
  for (auto& process : processes) results.push_back(process->Wait());
  const auto seconds = [](Clock::duration d) { return std::chrono::duration_cast<std::chrono::seconds>(d).count(); };
  // Processes that were over before the last restart prove nothing of it.
  EXPECT_GT(seconds(Clock::now() - lastRestart), 5) << "the processes ended too early: raise KV_LONG_ROUNDS";

  // Each name once, and as many identifiers as rows.
  ResetDatabaseAccess();
  ASSERT_TRUE(InitDBProvider() && AddConnParamsEntry(MainConnParams(database)) && EstablishDBConnections());
  // The processes' rows only: a default row's name begins with P as well.
  const TextRows counts = RowsOn("main", "select count(*), count(distinct NAME), count(distinct DEVICE_ID) from DEVICES "
                                         "where NAME like 'P%' and NAME not like 'PC-%'",
                                 TestLog(4));
  // Per process: the rows it added (each printed by its insert) are its
  // rows in the database.
  long long added = 0;
  for (int process = 1; process <= kProcesses; ++process) {
    const TextRows mine =
        RowsOn("main", "select count(*) from DEVICES where NAME like 'P" + std::to_string(process) + "\\_%'", TestLog(4));
    const RunResult& result = results[static_cast<std::size_t>(process - 1)];
    const std::string tag = "\tP" + std::to_string(process) + "_";
    long long printed = 0;
    for (const std::string& line : OutputLines(result.out)) printed += line.find(tag) != std::string::npos;
    added += printed;
    EXPECT_EQ(mine, (TextRows{{std::to_string(printed)}})) << "process " << process;
    const std::size_t last = result.err.rfind('\n', result.err.size() > 1 ? result.err.size() - 2 : 0);
    std::printf("process %d: %s rows, exit %d, %s", process, mine.empty() ? "no" : mine[0][0]->c_str(), result.exitCode,
                result.err.empty() ? "no errors\n" : result.err.substr(last == std::string::npos ? 0 : last + 1).c_str());
  }
  ResetDatabaseAccess();
  const std::string expected = std::to_string(added);
  EXPECT_EQ(counts, (TextRows{{expected, expected, expected}}));
  std::printf("%d processes, %d inserts each, %lld rows added, %d restarts, %lld s: %s rows in the database\n",
              kProcesses, Rounds(), added, kRestarts, static_cast<long long>(seconds(Clock::now() - start)),
              counts.empty() ? "no" : counts[0][0]->c_str());
}

}  // namespace
}  // namespace kv::test
