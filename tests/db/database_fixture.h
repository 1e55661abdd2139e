#pragma once
// The test databases the store's tests run on as connection parameters, and
// a test with a pooled connection to one of them.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "db/connection_params.h"
#include "db/connection_pool.h"
#include "db/db_result_set.h"
#include "tests/db/db_fixture.h"
#include "tests/servers/test_databases.h"
#include "tests/support/test_log.h"

namespace kv::test {

// The connection parameters of a test database's data source under the
// connection name "main"; starts its server.
ConnParamsEntry MainConnParams(const TestDatabase& database);

// The ERROR entries of a log of the tests' support, for failure messages.
std::string LogErrors(const TestLog& log);

// A statement or query on a pooled connection of a data source, taken and
// given back around the call.
bool ExecuteOn(const char* connectionName, const std::string& sql);
DBResultSetPtr QueryOn(const char* connectionName, const std::string& sql);
// Every row of a query as texts per column (nullopt: NULL); a failed query
// fails the test with the errors of the log.
template <class Log>
std::vector<std::vector<std::optional<std::string>>> RowsOn(const char* connectionName, const std::string& sql,
                                                            const Log& log);

inline std::string DatabaseName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

// A test on each database with one pooled connection "main" in its dialect.
class OnDatabaseTest : public ::testing::TestWithParam<std::string> {
 protected:
  OnDatabaseTest() = default;
  // For the tests of a layer above database access: its reset.
  explicit OnDatabaseTest(StateReset reset) : access_(reset) {}
  void SetUp() override;

  const TestDatabase& database() const { return FindTestDatabase(GetParam()); }
  // The pooled connection, taken and given back around each call.
  bool Execute(const std::string& sql);
  DBResultSetPtr Query(const std::string& sql);
  // Drops the test dictionary's tables where an earlier test left them.
  void DropTables();
  // Every row of a query as texts per column (nullopt: NULL).
  std::vector<std::vector<std::optional<std::string>>> Rows(const std::string& sql);

  FreshDatabaseAccess access_;
  const DbTestLog& log_ = access_.log();
};

}  // namespace kv::test
