#include "tests/dbstore/store_fixture.h"

#include <filesystem>

#include "db/database_state.h"
#include "dbstore/store_init.h"
#include "platform/posix/machine.h"
#include "store/table_data.h"

namespace kv::test {
namespace {

// What a test may have left in a database, children before their parents.
constexpr const char* kTables[] = {"PATCHES",      "DEVICES",      "Agentparams",     "SeqGenState",   "KV_WIDE",
                                   "DEVICES_IDX",  "QueryDetails", "QueryvsColumns",  "ColumnDetails", "QueryvsTables",
                                   "TableDetails", "QueryvsJoins", "JoinDetails",     "QueryvsGB",     "GroupByDetails",
                                   "QueryvsSort",  "SortDetails",  "QueryvsCriteria", "BooleanExp",    "RelationalExp",
                                   "NOPK",         "EVIL"};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string ExampleDataFile(const std::string& name) { return SourceFile("examples/store/data/" + name); }

StoreDataDirectory::StoreDataDirectory(const TestDatabase& database) {
  namespace fs = std::filesystem;
  for (const auto& entry : fs::directory_iterator(std::string(KV_SOURCE_DIR) + "/examples/store/data")) {
    const std::string name = entry.path().filename().string();
    // The in-process tests use the process's ODBC configuration.
    if (name == "odbc.ini" || name == "odbcinst.ini" || name.ends_with(".db")) continue;
    Write(name, ExampleDataFile(name));
  }
  Write("connparams.txt", ConnParamsLine(database) + "\n");
  previous_ = posix::Machine().directory;
  machine.Use();
}

StoreDataDirectory::~StoreDataDirectory() { posix::UseMachine(previous_); }

void StoreDataDirectory::Write(const std::string& name, const std::string& text) const {
  machine.WriteFile("drive_c/store/data/" + name, text);
}

void StoreDataDirectory::AddTable(const std::string& fileName, const std::string& tableXml,
                                  const std::string& tableName) const {
  Write(fileName, "<?xml version=\"1.0\"?>\n<data-dictionary>\n" + tableXml + "\n</data-dictionary>\n");
  auto appended = [](std::string text, const std::string& line) {
    if (!text.empty() && text.back() != '\n') text += '\n';
    return text + line + "\n";
  };
  Write("datadictionary.txt", appended(ExampleDataFile("datadictionary.txt"), fileName));
  Write("dsn_table_map.txt", appended(ExampleDataFile("dsn_table_map.txt"), tableName + " store"));
}

void StoreDataDirectory::Remove(const std::string& name) const {
  std::filesystem::remove(machine.Path("drive_c/store/data/" + name));
}

std::string StoreDataDirectory::ConnParamsLine(const TestDatabase& database, const char* flag) {
  const ConnParamsEntry entry = MainConnParams(database);
  return "localhost 0 " + entry.dsn + " " + (entry.user.empty() ? "-" : entry.user) + " NULL - store ODBC " +
         database.dialect + " " + flag;
}

void DropStoreTables(const TestDatabase& database) {
  ResetDatabaseAccess();
  if (!InitDBProvider() || !AddConnParamsEntry(MainConnParams(database)) || !EstablishDBConnections())
    throw std::runtime_error("no connection to " + std::string(database.name));
  for (const char* table : kTables) {
    (void)ExecuteOn("main", std::string("drop table if exists ") + table);
    // PostgreSQL keeps unquoted names in lower case, MariaDB keeps them as written.
    (void)ExecuteOn("main", "drop table if exists " + Lower(table));
  }
  ResetDatabaseAccess();
}

void StoreFixture::SetUp() {
  if (const std::string missing = database().missing(); !missing.empty()) GTEST_SKIP() << missing;
  DropStoreTables(database());
  data_ = std::make_unique<StoreDataDirectory>(database());
}

void StoreFixture::TearDown() {
  DeInitCFennel();
  reset_();
  data_.reset();
}

bool StoreFixture::Init() { return InitCFennel("C:\\store"); }

bool StoreFixture::Logged(const std::string& text) const {
  const std::string storeLog = "drive_c/store/logs/cfennel.log";
  return log_.Contains(text) ||
         (data_->machine.Exists(storeLog) && data_->machine.ReadFile(storeLog).find(text) != std::string::npos);
}

TextRows TableRows(const char* tableName) {
  TextRows rows;
  const TableData* table = GetTableDataByName(tableName);
  if (!table) return rows;
  const std::vector<std::uint8_t> types = table->Columns().Types();
  for (const RowObject* row = table->firstRow; row; row = row->next) {
    rows.emplace_back();
    for (std::size_t column = 0; column < types.size(); ++column)
      rows.back().push_back(ValueText(row->values[column], types[column]));
  }
  return rows;
}

std::vector<int> RowStates(const char* tableName) {
  std::vector<int> states;
  if (const TableData* table = GetTableDataByName(tableName))
    for (const RowObject* row = table->firstRow; row; row = row->next) states.push_back(row->state);
  return states;
}

}  // namespace kv::test
