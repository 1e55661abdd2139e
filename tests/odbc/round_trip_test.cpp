// Rows, long binary data and transactions through the ODBC seam, on every
// database the store uses.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/odbc/database_test.h"
#include "tests/servers/odbc_config.h"

namespace kv::test {
namespace {

// Bytes that text handling would spoil: NULs, high bytes, every value.
std::vector<unsigned char> BinaryData(std::size_t size) {
  std::vector<unsigned char> data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<unsigned char>((i * 7 + i / 256) % 256);
  return data;
}

using RoundTripTest = DatabaseTest;

TEST_P(RoundTripTest, RowsComeBackAsWritten) {
  CreateTable("kv_rows", "id integer primary key, name varchar(40), note varchar(40)");
  ASSERT_TRUE(session().Execute("insert into kv_rows values (1, 'O''Brien', 'first')")) << session().Error();
  ASSERT_TRUE(session().Execute("insert into kv_rows values (2, 'plain', NULL)")) << session().Error();
  ASSERT_TRUE(session().Execute("insert into kv_rows values (3, '', 'empty name')")) << session().Error();

  const auto result = session().Query("select id, name, note from kv_rows order by id");
  ASSERT_TRUE(result) << session().Error();
  ASSERT_EQ(result->columns.size(), 3u);
  EXPECT_EQ(result->columns[0].name, "id");
  EXPECT_EQ(result->columns[1].name, "name");
  ASSERT_EQ(result->rows.size(), 3u);
  EXPECT_EQ(result->rows[0], (TextRow{"1", "O'Brien", "first"}));
  // A NULL is no value, not an empty text; an empty text is a value.
  EXPECT_EQ(result->rows[1], (TextRow{"2", "plain", std::nullopt}));
  EXPECT_EQ(result->rows[2], (TextRow{"3", "", "empty name"}));
}

// Sends data in pieces of 1000 bytes as parameter 1 of an insert;
// lengthToAnnounce is handed to SQL_LEN_DATA_AT_EXEC. The first diagnostic
// of a failure, empty on success.
std::string StreamIn(SQLHDBC connection, const std::string& insertText, const std::vector<unsigned char>& data,
                     SQLLEN lengthToAnnounce) {
  OdbcStatement insert(connection);
  if (!Succeeded(SQLPrepare(insert.get(), SqlText(insertText), SQL_NTS)))
    return "SQLPrepare: " + Diagnostic(SQL_HANDLE_STMT, insert.get());
  // The parameter's value pointer is only a token SQLParamData hands back.
  int token = 1;
  SQLLEN indicator = SQL_LEN_DATA_AT_EXEC(lengthToAnnounce);
  if (!Succeeded(SQLBindParameter(insert.get(), 1, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY, 0, 0, &token, 0,
                                  &indicator)))
    return "SQLBindParameter: " + Diagnostic(SQL_HANDLE_STMT, insert.get());
  if (SQLExecute(insert.get()) != SQL_NEED_DATA) return "SQLExecute: " + Diagnostic(SQL_HANDLE_STMT, insert.get());
  SQLPOINTER asked = nullptr;
  if (SQLParamData(insert.get(), &asked) != SQL_NEED_DATA || asked != &token)
    return "SQLParamData: " + Diagnostic(SQL_HANDLE_STMT, insert.get());
  for (std::size_t offset = 0; offset < data.size(); offset += 1000) {
    const SQLLEN piece = static_cast<SQLLEN>(std::min<std::size_t>(1000, data.size() - offset));
    if (!Succeeded(SQLPutData(insert.get(), const_cast<unsigned char*>(data.data() + offset), piece)))
      return "SQLPutData: " + Diagnostic(SQL_HANDLE_STMT, insert.get());
  }
  if (!Succeeded(SQLParamData(insert.get(), &asked)))
    return "SQLParamData: " + Diagnostic(SQL_HANDLE_STMT, insert.get());
  SQLLEN rows = 0;
  if (!Succeeded(SQLRowCount(insert.get(), &rows)) || rows != 1)
    return "SQLRowCount: " + Diagnostic(SQL_HANDLE_STMT, insert.get());
  return {};
}

// Reads column 1 of the single row of a query in pieces of 1024 bytes.
std::vector<unsigned char> StreamOut(SQLHDBC connection, const std::string& query) {
  OdbcStatement select(connection);
  std::vector<unsigned char> read;
  EXPECT_TRUE(Succeeded(SQLPrepare(select.get(), SqlText(query), SQL_NTS)));
  EXPECT_TRUE(Succeeded(SQLExecute(select.get())));
  EXPECT_TRUE(Succeeded(SQLFetch(select.get()))) << Diagnostic(SQL_HANDLE_STMT, select.get());
  unsigned char piece[1024];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN result = SQLGetData(select.get(), 1, SQL_C_BINARY, piece, sizeof piece, &indicator);
    if (result == SQL_NO_DATA) break;
    if (!Succeeded(result) || indicator == SQL_NULL_DATA) {
      ADD_FAILURE() << Diagnostic(SQL_HANDLE_STMT, select.get());
      break;
    }
    // A piece that fills the buffer may have more behind it (the indicator
    // then gives the bytes left, or SQL_NO_TOTAL).
    const std::size_t got =
        indicator < 0 || indicator > static_cast<SQLLEN>(sizeof piece) ? sizeof piece : std::size_t(indicator);
    read.insert(read.end(), piece, piece + got);
  }
  return read;
}

TEST_P(RoundTripTest, LongBinaryDataStreamsInAndOut) {
  CreateTable("kv_blobs", std::string("id integer, data ") + database().blobType);
  const std::vector<unsigned char> data = BinaryData(5500);
  EXPECT_EQ(StreamIn(session().connection(), "insert into kv_blobs (id, data) values (1, ?)", data,
                     static_cast<SQLLEN>(data.size())),
            "");
  EXPECT_EQ(StreamOut(session().connection(), "select data from kv_blobs where id = 1"), data);
}

// The servers' drivers take streamed data of a length they are not told; the
// SQLite driver refuses the first piece unless the total is announced.
TEST_P(RoundTripTest, StreamedDataOfUnannouncedLength) {
  CreateTable("kv_blobs", std::string("id integer, data ") + database().blobType);
  const std::vector<unsigned char> data = BinaryData(3000);
  const std::string failure =
      StreamIn(session().connection(), "insert into kv_blobs (id, data) values (2, ?)", data, 0);
  if (GetParam() == "SQLite") {
    EXPECT_EQ(failure.rfind("SQLPutData: HY010", 0), 0u) << failure;
  } else {
    EXPECT_EQ(failure, "");
    EXPECT_EQ(StreamOut(session().connection(), "select data from kv_blobs where id = 2"), data);
  }
}

TEST_P(RoundTripTest, RollbackForgetsAndCommitKeeps) {
  CreateTable("kv_ledger", "id integer");
  SQLHDBC connection = session().connection();
  ASSERT_TRUE(Succeeded(SQLSetConnectAttr(connection, SQL_ATTR_AUTOCOMMIT,
                                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER)));
  ASSERT_TRUE(session().Execute("insert into kv_ledger values (1)")) << session().Error();
  ASSERT_TRUE(Succeeded(SQLEndTran(SQL_HANDLE_DBC, connection, SQL_ROLLBACK)));
  ASSERT_TRUE(session().Execute("insert into kv_ledger values (2)")) << session().Error();
  ASSERT_TRUE(Succeeded(SQLEndTran(SQL_HANDLE_DBC, connection, SQL_COMMIT)));
  ASSERT_TRUE(Succeeded(SQLSetConnectAttr(connection, SQL_ATTR_AUTOCOMMIT,
                                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER)));

  // What another connection sees is what was committed.
  OdbcSession other;
  ASSERT_TRUE(other.Connect(database().ConnectionString())) << other.Error();
  const auto result = other.Query("select id from kv_ledger");
  ASSERT_TRUE(result) << other.Error();
  EXPECT_EQ(result->rows, (std::vector<TextRow>{{"2"}}));
}

TEST_P(RoundTripTest, FailedStatementLeavesItsDiagnostic) {
  EXPECT_FALSE(session().Execute("select * from kv_no_such_table"));
  // "select * from kv_no_such_table failed: 42S02 1146: ..." and the like.
  const std::string prefix = "select * from kv_no_such_table failed: ";
  ASSERT_EQ(session().Error().rfind(prefix, 0), 0u) << session().Error();
  const std::string state = session().Error().substr(prefix.size(), 5);
  EXPECT_EQ(state.size(), 5u);
  EXPECT_EQ(state.find(' '), std::string::npos) << session().Error();
  // The connection stays usable.
  EXPECT_TRUE(session().Query("select 1"));
}

// The store's connection strings end with "Driver={<provider name>}" after
// the data source. The driver manager takes the data source, which comes
// first, and the SQLite and PostgreSQL drivers read its keys; MariaDB's
// driver, told of a driver, reads none of them and goes to its defaults
// (localhost:3306), so that string never reaches the data source's server.
TEST_P(RoundTripTest, DataSourceBeforeADriverKeyword) {
  OdbcSession other;
  const bool connected = other.Connect(database().ConnectionString() + ";;Driver={ODBC}");
  if (GetParam() != "MariaDB") {
    ASSERT_TRUE(connected) << other.Error();
    EXPECT_TRUE(other.Query("select 1")) << other.Error();
    return;
  }
  if (!connected) return;
  const auto port = other.Query("select @@port");
  ASSERT_TRUE(port) << other.Error();
  EXPECT_NE(port->rows.at(0).at(0), std::to_string(database().server()->Port()));
}

INSTANTIATE_TEST_SUITE_P(Databases, RoundTripTest, ::testing::ValuesIn(TestDatabaseNames()), DatabaseName);

TEST(OdbcConnectTest, UnknownDataSourceIsRefused) {
  OdbcConfig::Get();
  OdbcSession session;
  EXPECT_FALSE(session.Connect("DSN=kv_no_such_source;"));
  // IM002: data source not found and no default driver.
  EXPECT_NE(session.Error().find("IM002"), std::string::npos) << session.Error();
}

}  // namespace
}  // namespace kv::test
