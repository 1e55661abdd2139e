// The store's hot paths against what a user would otherwise reach for, both
// sides measured in the same run and their ratios printed at the end:
//   - building a table from a document of 100,000 and of 1,000,000 rows
//     (integer, text, date, Boolean and text columns), against libxml2
//     parsing the same document alone into its tree, as `xmllint --noout`
//     does (the store must take no longer), and the memory the reading
//     needs at its peak against what the table keeps (at most 1.5 times);
//   - selecting with "NAME='x500000' or VALUE>999990" over 1,000,000 rows,
//     against SQLite running the same SELECT on an in-memory database of the
//     same rows (the store must be faster).

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <sqlite3.h>

#include <malloc.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

#include "base/text_format.h"
#include "bench_machine.h"
#include "ratio_reporter.h"
#include "store/data_dictionary.h"
#include "store/result_data.h"
#include "store/table_data.h"
#include "store/xml_table_reader.h"

namespace kv {
namespace {

constexpr int kDocumentRows[] = {100000, 1000000};
constexpr int kSelectRows = 1000000;
constexpr const char* kCriteria = "NAME='x500000' or VALUE>999990";
constexpr const char* kSql = "SELECT NAME, VALUE FROM BENCH_ROWS WHERE NAME='x500000' OR VALUE>999990";
constexpr int kSelected = 10;

constexpr const char* kDictionary = R"(<data-dictionary>
  <table name="BENCH_DOC">
    <columns>
      <column name="ID"><data-type>INTEGER</data-type></column>
      <column name="NAME"><data-type>CHAR</data-type><max-size>32</max-size></column>
      <column name="SINCE"><data-type>DATE</data-type></column>
      <column name="ACTIVE"><data-type>BOOLEAN</data-type></column>
      <column name="NOTE"><data-type>CHAR</data-type><max-size>64</max-size></column>
    </columns>
    <primary-key><primary-key-column>ID</primary-key-column></primary-key>
  </table>
  <table name="BENCH_ROWS">
    <columns>
      <column name="NAME"><data-type>CHAR</data-type><max-size>32</max-size></column>
      <column name="VALUE"><data-type>INTEGER</data-type></column>
    </columns>
  </table>
</data-dictionary>
)";

void LoadDictionary() {
  static const bool loaded = [] {
    static const BenchMachine machine;
    LoadDataDictFromXMLFile(machine.Write("bench.xml", kDictionary).c_str());
    if (!GetTableDefn("BENCH_DOC") || !GetTableDefn("BENCH_ROWS")) throw std::runtime_error("no dictionary");
    return true;
  }();
  (void)loaded;
}

// The document of the given number of rows, made once.
const std::string& Document(int rows) {
  static std::map<int, std::string> documents;
  std::string& text = documents[rows];
  if (!text.empty()) return text;
  text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BENCH_DOCList>\n";
  for (int i = 0; i < rows; ++i) {
    text += Format("<BENCH_DOC ID=\"%d\" NAME=\"name%d\" SINCE=\"20%02d-%02d-%02d\" ACTIVE=\"%s\" NOTE=\"note %d\"/>\n", i,
                   i, i % 100, i % 12 + 1, i % 28 + 1, i % 3 ? "true" : "false", i * 7);
  }
  text += "</BENCH_DOCList>\n";
  return text;
}

void BM_LibXml2ParseMemory(benchmark::State& state, int rows) {
  const std::string& document = Document(rows);
  for (auto _ : state) {
    xmlDocPtr parsed = xmlParseMemory(document.data(), static_cast<int>(document.size()));
    if (!parsed) state.SkipWithError("libxml2 could not parse the document");
    xmlFreeDoc(parsed);
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK_CAPTURE(BM_LibXml2ParseMemory, 100000_rows, kDocumentRows[0])->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LibXml2ParseMemory, 1000000_rows, kDocumentRows[1])->Unit(benchmark::kMillisecond);

void BM_ConstructTableDataFromXMLBuffer(benchmark::State& state, int rows) {
  LoadDictionary();
  const std::string& document = Document(rows);
  for (auto _ : state) {
    if (!ConstructTableDataFromXMLBuffer(document.data(), document.size()))
      state.SkipWithError("the document was not read");
    state.PauseTiming();
    if (GetTableDataByName("BENCH_DOC")->rowCount != rows) state.SkipWithError("rows are missing");
    FreeTableData(GetTableDataByName("BENCH_DOC"));
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK_CAPTURE(BM_ConstructTableDataFromXMLBuffer, 100000_rows, kDocumentRows[0])->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConstructTableDataFromXMLBuffer, 1000000_rows, kDocumentRows[1])
    ->Unit(benchmark::kMillisecond);

// Resident memory of the process now and at its highest since the last
// ResetPeak, in bytes.
struct Resident {
  double now = 0;
  double peak = 0;
};

Resident ResidentMemory() {
  Resident resident;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmRSS:")) resident.now = std::stod(line.substr(6)) * 1024;
    if (line.starts_with("VmHWM:")) resident.peak = std::stod(line.substr(6)) * 1024;
  }
  return resident;
}

// Lowers the high-water mark of resident memory to what is resident now.
bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return clear.good();
}

// The memory reading each document needs at its peak, over what its table
// keeps once read: both as resident memory over the process's before the
// reading (the document's text was there before, as a file would be), the
// table's once the heap has given back what the reading freed.
void PrintMemoryRatios() {
  LoadDictionary();
  for (const int rows : kDocumentRows) {
    const std::string& document = Document(rows);
    malloc_trim(0);
    if (!ResetPeak()) {
      std::printf("BENCH_DOC from %d rows: the peak of resident memory cannot be measured here\n", rows);
      return;
    }
    const Resident before = ResidentMemory();
    if (!ConstructTableDataFromXMLBuffer(document.data(), document.size())) throw std::runtime_error("not read");
    // What the reading freed again is no part of the table.
    malloc_trim(0);
    const Resident after = ResidentMemory();
    const double table = (after.now - before.now) / 1e6, peak = (after.peak - before.now) / 1e6;
    std::printf("BENCH_DOC from %d rows, memory at the peak of the reading / the table's (at most 1.5):\n"
                "  %.1f MB / %.1f MB = %.2f\n",
                rows, peak, table, peak / table);
    FreeTableData(GetTableDataByName("BENCH_DOC"));
  }
}

// The rows both sides select from: NAME "x<i>", VALUE i.
void BuildStoreRows() {
  static const bool built = [] {
    LoadDictionary();
    if (!CreateTable("BENCH_ROWS")) throw std::runtime_error("no table");
    TableData* table = GetTableDataByName("BENCH_ROWS");
    char name[16];
    for (std::int32_t i = 0; i < kSelectRows; ++i) {
      const int length = std::snprintf(name, sizeof name, "x%d", i);
      const StoredValue values[] = {{name, length}, {reinterpret_cast<const char*>(&i), 4}};
      if (!AddNewRow(table, values)) throw std::runtime_error("no row");
    }
    return true;
  }();
  (void)built;
}

void BM_SelectRows(benchmark::State& state) {
  BuildStoreRows();
  for (auto _ : state) {
    ResultDataPtr result = SelectRows("BENCH_ROWS", kCriteria);
    if (!result || result->rowCount != kSelected) state.SkipWithError("wrong selection");
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations() * kSelectRows);
}
BENCHMARK(BM_SelectRows)->Unit(benchmark::kMillisecond);

sqlite3* SqliteRows() {
  static sqlite3* database = [] {
    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK) throw std::runtime_error("no database");
    sqlite3_exec(db, "CREATE TABLE BENCH_ROWS (NAME VARCHAR(32), VALUE INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO BENCH_ROWS VALUES (?, ?)", -1, &insert, nullptr);
    char name[16];
    for (int i = 0; i < kSelectRows; ++i) {
      const int length = std::snprintf(name, sizeof name, "x%d", i);
      sqlite3_bind_text(insert, 1, name, length, SQLITE_TRANSIENT);
      sqlite3_bind_int(insert, 2, i);
      if (sqlite3_step(insert) != SQLITE_DONE) throw std::runtime_error("no row");
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    return db;
  }();
  return database;
}

void BM_SqliteSelect(benchmark::State& state) {
  sqlite3* database = SqliteRows();
  for (auto _ : state) {
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(database, kSql, -1, &select, nullptr);
    int rows = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_text(select, 0));
      benchmark::DoNotOptimize(sqlite3_column_int(select, 1));
      ++rows;
    }
    sqlite3_finalize(select);
    if (rows != kSelected) state.SkipWithError("wrong selection");
  }
  state.SetItemsProcessed(state.iterations() * kSelectRows);
}
BENCHMARK(BM_SqliteSelect)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kv

int main(int argc, char** argv) {
  // Measured first, on a heap that no benchmark has used yet.
  kv::PrintMemoryRatios();
  return kv::RunBenchmarksWithRatios(
      argc, argv,
      {{"BM_ConstructTableDataFromXMLBuffer/100000_rows", "BM_LibXml2ParseMemory/100000_rows", "at most 1"},
       {"BM_ConstructTableDataFromXMLBuffer/1000000_rows", "BM_LibXml2ParseMemory/1000000_rows", "at most 1"},
       {"BM_SelectRows", "BM_SqliteSelect", "below 1"}});
}
