// Saving a table of 100,000 new rows into SQLite through ODBC (SaveTable:
// the rows in one transaction, a batch of them in a savepoint),
// against the floor of what SQLite can take: its C API inserting the same
// rows with one prepared statement in one transaction. Both write a
// database file in the same directory, in the same run; the ratio of their
// times is printed at the end (goal: at most 4, a quarter of the floor's
// throughput). For scale, the rows inserted one statement at a time, each
// committed by itself.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "bench_machine.h"
#include "db/connection_params.h"
#include "db/connection_pool.h"
#include "db/database_state.h"
#include "db/db_reset.h"
#include "db/db_statements.h"
#include "db/sql_dialect.h"
#include "db/sql_front.h"
#include "dbstore/table_save.h"
#include "ratio_reporter.h"
#include "store/data_dictionary.h"
#include "store/date_time.h"
#include "store/table_data.h"
#include "tests/servers/odbc_config.h"

namespace kv {
namespace {

constexpr int kRows = 100000;
constexpr const char* kTable = "BENCH_SAVE";

constexpr const char* kDictionary = R"(<data-dictionary>
  <table name="BENCH_SAVE">
    <columns>
      <column name="ID"><data-type>INTEGER</data-type></column>
      <column name="NAME"><data-type>CHAR</data-type><max-size>32</max-size></column>
      <column name="OS"><data-type>CHAR</data-type><max-size>64</max-size></column>
      <column name="SEEN"><data-type>DATE</data-type></column>
      <column name="MANAGED"><data-type>BOOLEAN</data-type></column>
      <column name="RAM_GB"><data-type>INTEGER</data-type></column>
    </columns>
    <primary-key><primary-key-column>ID</primary-key-column></primary-key>
  </table>
</data-dictionary>
)";

// The same values on both sides: row i.
struct BenchRow {
  std::int32_t id;
  char name[16];
  int nameLength;
  const char* os;
  TarnDate seen;
  char managed;
  std::int32_t ram;

  explicit BenchRow(int i)
      : id(i + 1),
        nameLength(std::snprintf(name, sizeof name, "host%06d", i)),
        os(i % 3 ? "Windows Server 2019" : "Windows 10 Pro"),
        seen(static_cast<std::uint16_t>(2020 + i % 5), static_cast<std::uint8_t>(i % 12 + 1),
             static_cast<std::uint8_t>(i % 28 + 1)),
        managed(static_cast<char>(i % 2)),
        ram(8 << (i % 4)) {}
};

// Database access on the SQLite data source of the benchmark's own ODBC
// configuration, as the store's start-up leaves it.
void StartDatabaseAccess() {
  static const bool started = [] {
    static const BenchMachine machine;
    LoadDataDictFromXMLFile(machine.Write("bench.xml", kDictionary).c_str());
    ConnParamsEntry entry;
    entry.dsn = test::OdbcConfig::Get().SqliteDataSource();
    entry.connectionName = "bench";
    entry.providerName = "ODBC";
    entry.databaseType = "SQLITE";
    if (!GetTableDefn(kTable) || !InitDBProvider() || !AddConnParamsEntry(entry) ||
        !CreateDataSourceMapEntry(kTable, "bench"))
      throw std::runtime_error("no database access");
    RegisterSQLDialects();
    SetDSNMapValid(1, 0);
    if (!EstablishDBConnections()) throw std::runtime_error("no connection to SQLite");
    return true;
  }();
  (void)started;
}

bool Execute(const std::string& sql) {
  const PooledConnection connection("bench");
  return connection && ExecuteUpdate(connection.get(), sql.c_str());
}

// An empty database table and the rows, new, in memory.
void PrepareSave() {
  (void)Execute(std::string("drop table if exists ") + kTable);
  const std::optional<std::string> create = GenerateCreateTableQuery(kTable);
  if (!create || !Execute(*create)) throw std::runtime_error("no table in SQLite");
  if (TableData* old = GetTableDataByName(kTable)) FreeTableData(old);
  if (!CreateTable(kTable)) throw std::runtime_error("no table in memory");
  TableData* table = GetTableDataByName(kTable);
  for (int i = 0; i < kRows; ++i) {
    const BenchRow row(i);
    const StoredValue values[] = {{reinterpret_cast<const char*>(&row.id), 4},
                                  {row.name, row.nameLength},
                                  {row.os, static_cast<std::int32_t>(std::char_traits<char>::length(row.os))},
                                  {reinterpret_cast<const char*>(&row.seen), TARN_DATE_LENGTH},
                                  {&row.managed, 1},
                                  {reinterpret_cast<const char*>(&row.ram), 4}};
    if (!AddNewRow(table, values)) throw std::runtime_error("no row");
  }
}

void BM_SaveTable(benchmark::State& state) {
  StartDatabaseAccess();
  for (auto _ : state) {
    state.PauseTiming();
    PrepareSave();
    state.ResumeTiming();
    SaveCounts counts;
    if (SaveTable(kTable, &counts) != 1 || counts.inserted != kRows) state.SkipWithError("rows were not saved");
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SaveTable)->Unit(benchmark::kMillisecond)->Iterations(3);

// The save as one statement per row, each committed by itself: what a
// save costs without a transaction around the table (fewer rows: each
// waits for its commit to reach the disk).
constexpr int kRowByRowRows = 1000;

void BM_InsertRowByRowAutocommit(benchmark::State& state) {
  StartDatabaseAccess();
  for (auto _ : state) {
    state.PauseTiming();
    PrepareSave();
    TableData* table = GetTableDataByName(kTable);
    state.ResumeTiming();
    int row = 0;
    for (RowObject* next = table->firstRow; next && row < kRowByRowRows; next = next->next, ++row) {
      const std::optional<std::string> sql =
          GenerateInsertQuery(kTable, std::span<const StoredValue>(next->values, table->columnCount));
      if (!sql || !Execute(*sql)) state.SkipWithError("a row was not inserted");
    }
  }
  state.SetItemsProcessed(state.iterations() * kRowByRowRows);
}
BENCHMARK(BM_InsertRowByRowAutocommit)->Unit(benchmark::kMillisecond)->Iterations(1);

void Check(int result, int expected, const char* what) {
  if (result != expected) throw std::runtime_error(what);
}

void BM_SqlitePreparedInsert(benchmark::State& state) {
  const std::string path = test::OdbcConfig::Get().Directory() + "/floor.db";
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(path);
    sqlite3* database = nullptr;
    Check(sqlite3_open(path.c_str(), &database), SQLITE_OK, "no database");
    Check(sqlite3_exec(database,
                       "CREATE TABLE BENCH_SAVE (ID int, NAME varchar(32), OS varchar(64), SEEN varchar(30), "
                       "MANAGED boolean, RAM_GB int, PRIMARY KEY(ID))",
                       nullptr, nullptr, nullptr),
          SQLITE_OK, "no table");
    state.ResumeTiming();
    Check(sqlite3_exec(database, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK, "no transaction");
    sqlite3_stmt* insert = nullptr;
    Check(sqlite3_prepare_v2(database, "INSERT INTO BENCH_SAVE VALUES (?, ?, ?, ?, ?, ?)", -1, &insert, nullptr),
          SQLITE_OK, "no statement");
    char seen[16];
    for (int i = 0; i < kRows; ++i) {
      const BenchRow row(i);
      const int seenLength =
          std::snprintf(seen, sizeof seen, "%04d-%02d-%02d", row.seen.year(), row.seen.month, row.seen.day);
      sqlite3_bind_int(insert, 1, row.id);
      sqlite3_bind_text(insert, 2, row.name, row.nameLength, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 3, row.os, -1, SQLITE_STATIC);
      sqlite3_bind_text(insert, 4, seen, seenLength, SQLITE_TRANSIENT);
      sqlite3_bind_int(insert, 5, row.managed);
      sqlite3_bind_int(insert, 6, row.ram);
      Check(sqlite3_step(insert), SQLITE_DONE, "no row");
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    Check(sqlite3_exec(database, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK, "no commit");
    state.PauseTiming();
    sqlite3_close(database);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SqlitePreparedInsert)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace kv

int main(int argc, char** argv) {
  const int status =
      kv::RunBenchmarksWithRatios(argc, argv, {{"BM_SaveTable", "BM_SqlitePreparedInsert", "at most 4"}});
  kv::ResetDbState();
  return status;
}
