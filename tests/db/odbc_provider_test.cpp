// The ODBC provider on each database: column types as the store keeps
// them, streamed long binary data, transactions, data sources that do not
// exist and servers that go away.

#include "db/odbc_provider.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "db/database_state.h"
#include "db/db_statements.h"
#include "store/column_types.h"
#include "tests/db/database_fixture.h"

namespace kv::test {
namespace {

using Texts = std::vector<std::optional<std::string>>;

// How each database spells the types of the test table, and the types its
// driver reports for a char(3) and a decimal(6,2) column.
struct Spelling {
  const char* boolean;
  const char* floating;
  const char* blob;
  int fixedChar;
  int decimal;
};

Spelling SpellingOf(const std::string& database) {
  if (database == "PostgreSQL") return {"boolean", "double precision", "bytea", TARN_SQL_CHAR, TARN_SQL_NUMERIC};
  // MariaDB's DECIMAL is a type the store has none for.
  if (database == "MariaDB") return {"tinyint", "double", "longblob", TARN_SQL_CHAR, TARN_SQL_NOT_SUPPORTED_TYPE};
  return {"boolean", "double", "blob", TARN_SQL_VARCHAR, TARN_SQL_VARCHAR};
}

class OdbcProviderTest : public OnDatabaseTest {
 protected:
  DBConnection* Handle() { return GetConnectionHandle("main"); }
};

TEST_P(OdbcProviderTest, ValuesComeBackInTheStoresTypes) {
  const Spelling spelling = SpellingOf(GetParam());
  ASSERT_TRUE(Execute(std::string("create table KV_LEDGER (i integer, s smallint, b bigint, v varchar(20), c char(3), "
                                  "t text, d date, tm time, ts timestamp, flag ") +
                      spelling.boolean + ", dbl " + spelling.floating + ", amount decimal(6,2))"))
      << LogErrors(log_);
  const std::string truth = GetParam() == "PostgreSQL" ? "true" : "1";
  ASSERT_TRUE(
      Execute("insert into KV_LEDGER values (1, -2, 9000000000, 'O''Brien', 'abc', 'long text', '2018-01-19', "
              "'06:38:15', '2018-01-19 06:38:15', " +
              truth + ", 1e-20, 1234.5)"))
      << LogErrors(log_);
  ASSERT_TRUE(Execute("insert into KV_LEDGER (i) values (2)")) << LogErrors(log_);

  DBResultSetPtr result = Query("select * from KV_LEDGER order by i");
  ASSERT_NE(result, nullptr) << LogErrors(log_);
  std::vector<int> types;
  for (const DBColumnDescriptor& column : result->columns()) types.push_back(column.type);
  // PostgreSQL reports a boolean as text, MariaDB's tinyint and SQLite's
  // boolean are Booleans; ODBC's FLOAT and DOUBLE are doubles.
  const int flag = GetParam() == "PostgreSQL" ? TARN_SQL_VARCHAR : TARN_SQL_BOOLEAN;
  EXPECT_EQ(types[0], TARN_SQL_INT);
  EXPECT_EQ(types[1], TARN_SQL_SMALLINT);
  EXPECT_EQ(types[2], TARN_SQL_LONG_INT);
  EXPECT_EQ(types[3], TARN_SQL_VARCHAR);
  EXPECT_EQ(types[4], spelling.fixedChar);
  EXPECT_EQ(types[5], TARN_SQL_BLOB);  // long text
  EXPECT_EQ(types[6], TARN_SQL_DATE);
  EXPECT_EQ(types[7], TARN_SQL_TIME);
  EXPECT_EQ(types[8], TARN_SQL_DATETIME);
  EXPECT_EQ(types[9], flag);
  EXPECT_EQ(types[10], TARN_SQL_DOUBLE);
  EXPECT_EQ(types[11], spelling.decimal);
  EXPECT_EQ(result->columns()[3].name, "v");

  ASSERT_TRUE(GetNextResultRow(result.get()));
  Texts first;
  for (std::int32_t column = 0; column < result->columnCount(); ++column)
    first.push_back(ValueText(result->Value(0, column), result->columns()[static_cast<std::size_t>(column)].type));
  EXPECT_EQ(first[0], "1");
  EXPECT_EQ(first[1], "-2");
  EXPECT_EQ(first[2], "9000000000");
  EXPECT_EQ(first[3], "O'Brien");
  EXPECT_EQ(first[4].value_or("").substr(0, 3), "abc");
  EXPECT_EQ(first[5], "long text");
  EXPECT_EQ(first[6], "2018-01-19");
  EXPECT_EQ(first[7], "06:38:15");
  EXPECT_EQ(first[8], "2018-01-19 06:38:15");
  EXPECT_EQ(first[9], "1");
  // Written with an exponent by the driver, read in full.
  double dbl = 0;
  std::memcpy(&dbl, result->Value(0, 10).data, sizeof dbl);
  EXPECT_DOUBLE_EQ(dbl, 1e-20);
  // Whatever its type, a decimal keeps its digits.
  EXPECT_EQ(first[11].value_or("").substr(0, 6), "1234.5");
  // A NULL is no value, not an empty text.
  for (std::int32_t column = 1; column < result->columnCount(); ++column)
    EXPECT_TRUE(result->Value(1, column).IsNull()) << column;
  EXPECT_TRUE(log_.Contains("Inside ODBCExecuteQuery\n"));
}

// A piece of data at a time, with bytes that text handling would spoil.
struct Pieces {
  std::vector<std::string> produced;
  std::size_t next = 0;
  std::vector<std::string> consumed;
  int ends = 0;
};

int Produce(const void** data, std::size_t* length, void* context) {
  auto* pieces = static_cast<Pieces*>(context);
  if (pieces->next == pieces->produced.size()) return BLOB_NO_MORE_DATA;
  const std::string& piece = pieces->produced[pieces->next++];
  *data = piece.data();
  *length = piece.size();
  return 1;
}

void Consume(const void* piece, std::size_t length, void* context) {
  auto* pieces = static_cast<Pieces*>(context);
  if (!piece) {
    ++pieces->ends;
    return;
  }
  EXPECT_LE(length, 1024u);
  pieces->consumed.emplace_back(static_cast<const char*>(piece), length);
}

std::string Binary(std::size_t size, int seed) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7 + static_cast<std::size_t>(seed)) % 256);
  return data;
}

TEST_P(OdbcProviderTest, LongBinaryDataStreamsInAndOut) {
  ASSERT_TRUE(Execute(std::string("create table KV_STREAMS (id integer, data ") + SpellingOf(GetParam()).blob + ")"));
  Pieces in;
  in.produced = {Binary(1100, 1), Binary(1, 2), Binary(3000, 3), Binary(7, 4)};
  DBConnection* handle = Handle();
  ASSERT_TRUE(ExecuteUpdateBlob(handle, "insert into KV_STREAMS (id, data) values (1, ?)", Produce, &in))
      << LogErrors(log_);
  Pieces empty;
  ASSERT_TRUE(ExecuteUpdateBlob(handle, "insert into KV_STREAMS (id, data) values (2, ?)", Produce, &empty))
      << LogErrors(log_);
  ASSERT_TRUE(Execute("insert into KV_STREAMS (id) values (3)"));
  EXPECT_TRUE(log_.Contains("Inside ODBCExecuteUpdateBlob\n"));

  Pieces out;
  DBResultSetPtr result = ExecuteQueryBlob(handle, "select id, data from KV_STREAMS order by id", Consume, &out);
  ASSERT_NE(result, nullptr) << LogErrors(log_);
  // One end per row; the data of the rows is in the pieces, not the result.
  EXPECT_EQ(out.ends, 3);
  std::string joined;
  for (const std::string& piece : out.consumed) joined += piece;
  std::string sent;
  for (const std::string& piece : in.produced) sent += piece;
  EXPECT_EQ(joined.size(), sent.size());
  EXPECT_TRUE(joined == sent);
  ASSERT_EQ(result->rowCount(), 3);
  for (std::int32_t row = 0; row < 3; ++row) EXPECT_TRUE(result->Value(row, 1).IsNull());

  // Read whole, the column holds the bytes themselves.
  DBResultSetPtr whole = ExecuteQuery(handle, "select data from KV_STREAMS where id = 1");
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(whole->columns()[0].type, TARN_SQL_BLOB);
  EXPECT_TRUE(whole->Value(0, 0).Bytes() == sent);
  EXPECT_TRUE(ReleaseConnectionHandle("main"));
}

TEST_P(OdbcProviderTest, RollbackForgetsAndCommitKeeps) {
  ASSERT_TRUE(Execute("create table KV_LEDGER (id integer)"));
  DBConnection* handle = Handle();
  ASSERT_TRUE(BeginTransaction(handle)) << LogErrors(log_);
  ASSERT_TRUE(ExecuteUpdate(handle, "insert into KV_LEDGER values (1)"));
  ASSERT_TRUE(RollbackTransaction(handle)) << LogErrors(log_);
  ASSERT_TRUE(BeginTransaction(handle));
  ASSERT_TRUE(ExecuteUpdate(handle, "insert into KV_LEDGER values (2)"));
  ASSERT_TRUE(CommitTransaction(handle)) << LogErrors(log_);
  // Back to autocommit: this one stays without a commit.
  ASSERT_TRUE(ExecuteUpdate(handle, "insert into KV_LEDGER values (3)"));
  EXPECT_TRUE(ReleaseConnectionHandle("main"));
  EXPECT_TRUE(log_.Contains("\t@@@@@ ODBCBeginTransaction() @@@@@\n"));
  EXPECT_TRUE(log_.Contains("\t@@@@@ ODBCRollbackTransaction() @@@@@\n"));
  EXPECT_TRUE(log_.Contains("\t@@@@@ ODBCCommitTransaction() @@@@@\n"));

  // Another connection sees what was committed.
  std::unique_ptr<DBConnection> other = OpenDBConnection(&DatabaseAccess().connParams[0]);
  ASSERT_NE(other, nullptr);
  DBResultSetPtr result = ExecuteQuery(other.get(), "select id from KV_LEDGER order by id");
  ASSERT_NE(result, nullptr);
  ASSERT_EQ(result->rowCount(), 2);
  EXPECT_EQ(ValueText(result->Value(0, 0), result->columns()[0].type), "2");
  EXPECT_EQ(ValueText(result->Value(1, 0), result->columns()[0].type), "3");
  CloseDBConnection(std::move(other));
}

TEST_P(OdbcProviderTest, FailuresAreReportedAndLeaveNothingOpen) {
  const int open = OdbcOpenConnections();
  ConnParamsEntry missing = DatabaseAccess().connParams[0];
  missing.dsn = "kv_no_such_data_source";
  EXPECT_EQ(OpenDBConnection(&missing), nullptr);
  EXPECT_TRUE(log_.Contains("Connecting to driver failed\n"));
  EXPECT_TRUE(log_.Contains("STATE: IM002\n"));
  missing.dsn.clear();
  EXPECT_EQ(OpenDBConnection(&missing), nullptr);
  EXPECT_TRUE(log_.Contains("ODBC connection Parameter missing\n"));
  EXPECT_EQ(OdbcOpenConnections(), open);

  EXPECT_FALSE(Execute("insert into KV_NO_SUCH_TABLE values (1)"));
  EXPECT_TRUE(log_.Contains("SQLExecute failed\n") || log_.Contains("SQLPrepare failed\n"));
  EXPECT_EQ(Query("select * from KV_NO_SUCH_TABLE"), nullptr);
  EXPECT_TRUE(log_.Contains("SQLExecDirect failed\n"));
  // The connection itself is fine.
  EXPECT_FALSE(Handle()->connection->lost);
  EXPECT_TRUE(ReleaseConnectionHandle("main"));
  EXPECT_NE(Query("select 1"), nullptr);
  // With the pool's connections closed, no ODBC handle is left.
  FreeConnectionPool();
  EXPECT_EQ(OdbcOpenConnections(), 0);
}

INSTANTIATE_TEST_SUITE_P(Databases, OdbcProviderTest, ::testing::ValuesIn(StoreDatabaseNames()), DatabaseName);

// A server that is down when the pool opens its connections, or that goes
// away between two statements and comes back.
using ServerGoneTest = OdbcProviderTest;

TEST_P(ServerGoneTest, ThePoolRecoversWhenTheServerIsBack) {
  DatabaseServer& server = *database().server();
  ASSERT_TRUE(Execute("create table KV_LEDGER (id integer)"));
  DBConnection* handle = Handle();
  ASSERT_TRUE(ExecuteUpdate(handle, "insert into KV_LEDGER values (1)"));
  ASSERT_TRUE(BeginTransaction(handle));
  ASSERT_TRUE(ExecuteUpdate(handle, "insert into KV_LEDGER values (2)"));
  EXPECT_TRUE(ReleaseConnectionHandle("main"));

  server.Stop();
  // The transaction cannot end, and the statements after it fail.
  EXPECT_FALSE(CommitTransaction(handle));
  EXPECT_TRUE(log_.Contains("Error in starting transaction\n"));
  EXPECT_FALSE(ExecuteUpdate(handle, "insert into KV_LEDGER values (3)"));
  EXPECT_TRUE(handle->connection->lost) << LogErrors(log_);
  // A pool made now cannot open its connection.
  FreeConnectionPool();
  EXPECT_FALSE(EstablishDBConnections());
  EXPECT_EQ(GetConnectionHandle("main"), nullptr);
  server.Start();

  handle = Handle();
  ASSERT_NE(handle, nullptr) << LogErrors(log_);
  EXPECT_TRUE(ExecuteUpdate(handle, "insert into KV_LEDGER values (4)")) << LogErrors(log_);
  EXPECT_TRUE(ReleaseConnectionHandle("main"));
  const auto rows = Rows("select id from KV_LEDGER order by id");
  EXPECT_EQ(rows, (std::vector<Texts>{{"1"}, {"4"}}));
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerGoneTest, ::testing::Values("PostgreSQL", "MariaDB"), DatabaseName);

}  // namespace
}  // namespace kv::test
