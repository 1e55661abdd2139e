#pragma once
// What the tests of the store on a database share: the example data
// directory on a machine image of the test's own, its one data source
// ("store") on one of the test databases, and the store started on it.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbstore/dbstore_reset.h"
#include "tests/db/database_fixture.h"
#include "tests/support/test_log.h"
#include "tests/support/test_machine.h"

namespace kv::test {

// Rows as texts per column (nullopt: NULL).
using TextRows = std::vector<std::vector<std::optional<std::string>>>;

// The example's data files, as they are in the source tree.
std::string ExampleDataFile(const std::string& name);

// The example data directory as C:\store\data of a machine image, with its
// connection entry naming the database's data source; the image is the
// process's machine while the object lives.
class StoreDataDirectory {
 public:
  explicit StoreDataDirectory(const TestDatabase& database);
  ~StoreDataDirectory();

  // Writes, or removes, a file of the data directory.
  void Write(const std::string& name, const std::string& text) const;
  // A dictionary file of one table (its <table> element), listed after the
  // example's files, and the table mapped to the data source "store".
  void AddTable(const std::string& fileName, const std::string& tableXml, const std::string& tableName) const;
  void Remove(const std::string& name) const;
  // "localhost 0 <dsn> <user> NULL - store ODBC <type> <flag>"
  static std::string ConnParamsLine(const TestDatabase& database, const char* flag = "NO");

  TempMachine machine;

 private:
  std::string previous_;
};

// Drops the example's tables (and the tests' own) from a database, through
// a pool of its own that is gone afterwards.
void DropStoreTables(const TestDatabase& database);

// A test on SQLite: fresh tables, the example data directory, and the store
// shut down and forgotten at the end (by the reset of the layer the test is
// of, ResetDbStoreState unless it says another).
class StoreFixture : public ::testing::Test {
 protected:
  explicit StoreFixture(StateReset reset = ResetDbStoreState) : reset_(reset) {}
  void SetUp() override;
  void TearDown() override;

  virtual const TestDatabase& database() const { return FindTestDatabase("SQLite"); }
  // InitCFennel on C:\store.
  bool Init();
  bool Execute(const std::string& sql) { return ExecuteOn("store", sql); }
  TextRows Rows(const std::string& sql) { return RowsOn("store", sql, log_); }
  // Whether the test's log holds the text, or the store's own log under
  // its root, where a start after a shut-down writes.
  bool Logged(const std::string& text) const;

  TestLog log_{4};
  std::unique_ptr<StoreDataDirectory> data_;

 private:
  StateReset reset_;
};

// The same on each test database.
class StoreTest : public StoreFixture, public ::testing::WithParamInterface<std::string> {
 protected:
  const TestDatabase& database() const override { return FindTestDatabase(GetParam()); }
};

// The values of the rows of a table in memory as texts, in table order.
TextRows TableRows(const char* tableName);
// The states of its rows, in table order.
std::vector<int> RowStates(const char* tableName);

}  // namespace kv::test
