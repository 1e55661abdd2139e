#include "tests/db/database_fixture.h"

#include "db/db_statements.h"

namespace kv::test {

ConnParamsEntry MainConnParams(const TestDatabase& database) {
  ConnParamsEntry entry;
  entry.host = "localhost";
  entry.dsn = database.dataSource();
  entry.user = database.user;
  entry.connectionName = "main";
  entry.providerName = "ODBC";
  entry.databaseType = database.dialect;
  return entry;
}

void OnDatabaseTest::SetUp() {
  if (const std::string missing = database().missing(); !missing.empty()) GTEST_SKIP() << missing;
  ASSERT_TRUE(AddConnParamsEntry(MainConnParams(database())));
  SetDSNMapValid(0, database().dialectIndex);
  ASSERT_TRUE(EstablishDBConnections()) << LogErrors(log_);
  DropTables();
}

bool OnDatabaseTest::Execute(const std::string& sql) { return ExecuteOn("main", sql); }

DBResultSetPtr OnDatabaseTest::Query(const std::string& sql) { return QueryOn("main", sql); }

void OnDatabaseTest::DropTables() {
  // Items before the owners they reference.
  for (const char* table : {"KV_ITEMS", "KV_OWNERS", "KV_BLOBS", "KV_BIG", "SeqGenState", "KV_STREAMS", "KV_LEDGER"})
    (void)Execute(std::string("drop table if exists ") + table);
}

std::vector<std::vector<std::optional<std::string>>> OnDatabaseTest::Rows(const std::string& sql) {
  return RowsOn("main", sql, log_);
}

std::string LogErrors(const TestLog& log) { return ErrorEntries(log.Contents()); }

bool ExecuteOn(const char* connectionName, const std::string& sql) {
  const PooledConnection connection(connectionName);
  return connection && ExecuteUpdate(connection.get(), sql.c_str());
}

DBResultSetPtr QueryOn(const char* connectionName, const std::string& sql) {
  const PooledConnection connection(connectionName);
  return connection ? ExecuteQuery(connection.get(), sql.c_str()) : nullptr;
}

template <class Log>
std::vector<std::vector<std::optional<std::string>>> RowsOn(const char* connectionName, const std::string& sql,
                                                            const Log& log) {
  std::vector<std::vector<std::optional<std::string>>> rows;
  DBResultSetPtr result = QueryOn(connectionName, sql);
  if (!result) {
    ADD_FAILURE() << sql << " failed\n" << LogErrors(log);
    return rows;
  }
  while (GetNextResultRow(result.get())) {
    rows.emplace_back();
    for (std::int32_t column = 0; column < result->columnCount(); ++column)
      rows.back().push_back(
          ValueText(result->Value(result->cursor(), column), result->columns()[static_cast<std::size_t>(column)].type));
  }
  return rows;
}

template std::vector<std::vector<std::optional<std::string>>> RowsOn(const char*, const std::string&, const TestLog&);
template std::vector<std::vector<std::optional<std::string>>> RowsOn(const char*, const std::string&, const DbTestLog&);

}  // namespace kv::test
