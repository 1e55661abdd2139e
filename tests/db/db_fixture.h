#pragma once
// What the database tests share: a fresh database access state with the
// test dictionary, the databases the tests run on (SQLite always, the
// servers when they are installed) as connection parameters, and rows made
// from texts.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "db/connection_params.h"
#include "db/connection_pool.h"
#include "db/db_result_set.h"
#include "db/select_query.h"
#include "store/stored_value.h"
#include "tests/servers/database_server.h"
#include "tests/support/test_log.h"
#include "tests/support/test_machine.h"

namespace kv::test {

// The machine the database tests run on: an image of their own, made and
// used on first use, holding the files they hand the store (which reads
// files through the machine's paths).
TempMachine& DbTestMachine();
// A file written onto that machine as C:\dbdata\<name> (the machine is used
// again); its Windows path.
std::string WriteDbTestFile(const std::string& name, const std::string& text);
// A file of tests/db/data, written onto that machine; its Windows path.
std::string DbTestData(const char* name);

struct TestDatabase {
  const char* name;
  // The dialect's index among the default dialects (SetDSNMapValid).
  int dialectIndex;
  const char* dialect;
  // Why its tests are skipped (empty: they run).
  std::string (*missing)();
  // Its connection parameters under the connection name "main"; starts
  // the server.
  ConnParamsEntry (*parameters)();
  // Its server; null for SQLite.
  DatabaseServer* (*server)();
};

const std::vector<TestDatabase>& TestDatabases();
const TestDatabase& FindTestDatabase(const std::string& name);
std::vector<std::string> TestDatabaseNames();
inline std::string DatabaseName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

// The ERROR entries of a log, for failure messages.
std::string LogErrors(const TestLog& log);

// The inner join of KV_ITEMS as "i" with their KV_OWNERS as "o" over the
// two key columns; null when it cannot be made.
SelectJoin* ItemsToOwners(SelectQuery& query);

// A row of a table made from texts in its column order (nullopt: NULL),
// each converted to the column's stored form.
class TestRow {
 public:
  TestRow(const char* tableName, const std::vector<std::optional<std::string>>& texts);
  std::span<const StoredValue> values() const { return values_; }

 private:
  std::vector<OwnedValue> owned_;
  std::vector<StoredValue> values_;
};

// A stored value as a text to compare: integers in decimal, Booleans "1" or
// "0", dates and times in the form of the column's type, texts as they are.
std::optional<std::string> ValueText(const StoredValue& value, std::uint8_t type);

// A statement or query on a pooled connection of a data source, taken and
// given back around the call.
bool ExecuteOn(const char* connectionName, const std::string& sql);
DBResultSetPtr QueryOn(const char* connectionName, const std::string& sql);
// Every row of a query as texts per column (nullopt: NULL); a failed query
// fails the test with the log's errors.
std::vector<std::vector<std::optional<std::string>>> RowsOn(const char* connectionName, const std::string& sql,
                                                            const TestLog& log);

// Fresh database access (providers and dialects initialised, nothing
// else), the test dictionary and fresh sequences for as long as it lives.
class FreshDatabaseAccess {
 public:
  FreshDatabaseAccess();
  ~FreshDatabaseAccess();
  FreshDatabaseAccess(const FreshDatabaseAccess&) = delete;
  FreshDatabaseAccess& operator=(const FreshDatabaseAccess&) = delete;
};

class DatabaseAccessTest : public ::testing::Test {
 protected:
  TestLog log_{4};
  FreshDatabaseAccess access_;
};

// A test on each database with one pooled connection "main" in its dialect.
class OnDatabaseTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override;

  const TestDatabase& database() const { return FindTestDatabase(GetParam()); }
  // The pooled connection, taken and given back around each call.
  bool Execute(const std::string& sql);
  DBResultSetPtr Query(const std::string& sql);
  // Drops the test dictionary's tables where an earlier test left them.
  void DropTables();
  // Every row of a query as texts per column (nullopt: NULL).
  std::vector<std::vector<std::optional<std::string>>> Rows(const std::string& sql);

  TestLog log_{4};
  FreshDatabaseAccess access_;
};

}  // namespace kv::test
