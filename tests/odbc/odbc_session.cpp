#include "tests/odbc/odbc_session.h"

#include <map>
#include <memory>

namespace kv::test {
namespace {

// Describes the columns of an executed statement.
bool DescribeColumns(OdbcSession& session, SQLHSTMT statement, std::vector<DescribedColumn>* columns) {
  SQLSMALLINT count = 0;
  if (!Succeeded(SQLNumResultCols(statement, &count)))
    return session.Fail(SQL_HANDLE_STMT, statement, "SQLNumResultCols");
  for (SQLUSMALLINT column = 1; column <= count; ++column) {
    SQLCHAR name[100] = {};
    SQLSMALLINT nameLength = 0, digits = 0, nullable = 0;
    DescribedColumn described;
    if (!Succeeded(SQLDescribeCol(statement, column, name, sizeof name, &nameLength, &described.type, &described.size,
                                  &digits, &nullable)))
      return session.Fail(SQL_HANDLE_STMT, statement, "SQLDescribeCol");
    described.name = reinterpret_cast<const char*>(name);
    columns->push_back(described);
  }
  return true;
}

}  // namespace

bool Succeeded(SQLRETURN result) { return result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO; }

OdbcStatement::OdbcStatement(SQLHDBC connection) {
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, connection, &handle_))) handle_ = SQL_NULL_HSTMT;
}

OdbcStatement::~OdbcStatement() {
  if (handle_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, handle_);
}

OdbcSession::OdbcSession(SQLULEN version) {
  // An environment without its version cannot connect: the session's
  // Connect then reports the driver manager's error.
  if (Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment_)))
    (void)SQLSetEnvAttr(environment_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(version), 0);
}

OdbcSession::~OdbcSession() {
  Disconnect();
  if (environment_ != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, environment_);
}

std::string Diagnostic(SQLSMALLINT handleType, SQLHANDLE handle) {
  SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
  SQLCHAR message[SQL_MAX_MESSAGE_LENGTH] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  if (!Succeeded(SQLGetDiagRec(handleType, handle, 1, state, &native, message, sizeof message, &length)))
    return "no diagnostic";
  return std::string(reinterpret_cast<const char*>(state)) + " " + std::to_string(native) + ": " +
         reinterpret_cast<const char*>(message);
}

bool OdbcSession::Fail(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& what) {
  error_ = what + " failed: " + Diagnostic(handleType, handle);
  return false;
}

bool OdbcSession::Connect(const std::string& connectionString) {
  Disconnect();
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, environment_, &connection_))) {
    connection_ = SQL_NULL_HDBC;
    return Fail(SQL_HANDLE_ENV, environment_, "SQLAllocHandle");
  }
  SQLCHAR completed[1025] = {};
  SQLSMALLINT completedLength = 0;
  if (!Succeeded(SQLDriverConnect(connection_, nullptr, SqlText(connectionString), SQL_NTS, completed, sizeof completed,
                                  &completedLength, SQL_DRIVER_NOPROMPT))) {
    Fail(SQL_HANDLE_DBC, connection_, "SQLDriverConnect");
    SQLFreeHandle(SQL_HANDLE_DBC, connection_);
    connection_ = SQL_NULL_HDBC;
    return false;
  }
  connected_ = true;
  return true;
}

void OdbcSession::Disconnect() {
  if (connection_ == SQL_NULL_HDBC) return;
  if (connected_) SQLDisconnect(connection_);
  SQLFreeHandle(SQL_HANDLE_DBC, connection_);
  connection_ = SQL_NULL_HDBC;
  connected_ = false;
}

bool OdbcSession::Execute(const std::string& sql) {
  OdbcStatement statement(connection_);
  if (statement.get() == SQL_NULL_HSTMT) return Fail(SQL_HANDLE_DBC, connection_, "SQLAllocHandle");
  const SQLRETURN result = SQLExecDirect(statement.get(), SqlText(sql), SQL_NTS);
  // A statement that changes no rows answers SQL_NO_DATA.
  if (!Succeeded(result) && result != SQL_NO_DATA) return Fail(SQL_HANDLE_STMT, statement.get(), sql);
  return true;
}

std::optional<std::vector<DescribedColumn>> OdbcSession::Describe(const std::string& sql) {
  OdbcStatement statement(connection_);
  std::vector<DescribedColumn> columns;
  if (!Succeeded(SQLExecDirect(statement.get(), SqlText(sql), SQL_NTS))) {
    Fail(SQL_HANDLE_STMT, statement.get(), sql);
    return std::nullopt;
  }
  if (!DescribeColumns(*this, statement.get(), &columns)) return std::nullopt;
  return columns;
}

std::optional<TextResult> OdbcSession::Query(const std::string& sql) {
  OdbcStatement statement(connection_);
  TextResult result;
  if (!Succeeded(SQLExecDirect(statement.get(), SqlText(sql), SQL_NTS))) {
    Fail(SQL_HANDLE_STMT, statement.get(), sql);
    return std::nullopt;
  }
  if (!DescribeColumns(*this, statement.get(), &result.columns)) return std::nullopt;

  // One text buffer per column, as wide as the column can be (a long column
  // reports a huge or no size: such values are cut, which these tests do
  // not meet).
  const std::size_t count = result.columns.size();
  std::vector<std::unique_ptr<char[]>> buffers(count);
  std::vector<SQLLEN> capacities(count), indicators(count);
  for (std::size_t i = 0; i < count; ++i) {
    const SQLULEN size = result.columns[i].size;
    capacities[i] = static_cast<SQLLEN>(size == 0 || size > 8000 ? 8001 : size * 4 + 1);
    buffers[i] = std::make_unique<char[]>(static_cast<std::size_t>(capacities[i]));
    if (!Succeeded(SQLBindCol(statement.get(), static_cast<SQLUSMALLINT>(i + 1), SQL_C_CHAR, buffers[i].get(),
                              capacities[i], &indicators[i]))) {
      Fail(SQL_HANDLE_STMT, statement.get(), "SQLBindCol");
      return std::nullopt;
    }
  }
  for (;;) {
    const SQLRETURN fetched = SQLFetch(statement.get());
    if (fetched == SQL_NO_DATA) break;
    if (!Succeeded(fetched)) {
      Fail(SQL_HANDLE_STMT, statement.get(), "SQLFetch");
      return std::nullopt;
    }
    TextRow row;
    for (std::size_t i = 0; i < count; ++i)
      row.push_back(indicators[i] == SQL_NULL_DATA ? std::nullopt : std::optional<std::string>(buffers[i].get()));
    result.rows.push_back(std::move(row));
  }
  SQLCloseCursor(statement.get());
  SQLFreeStmt(statement.get(), SQL_UNBIND);
  return result;
}

std::string SqlTypeName(SQLSMALLINT type) {
  static const std::map<SQLSMALLINT, const char*> kNames = {
      {SQL_CHAR, "SQL_CHAR"},
      {SQL_NUMERIC, "SQL_NUMERIC"},
      {SQL_DECIMAL, "SQL_DECIMAL"},
      {SQL_INTEGER, "SQL_INTEGER"},
      {SQL_SMALLINT, "SQL_SMALLINT"},
      {SQL_FLOAT, "SQL_FLOAT"},
      {SQL_REAL, "SQL_REAL"},
      {SQL_DOUBLE, "SQL_DOUBLE"},
      {SQL_DATE, "SQL_DATE"},
      {SQL_TIME, "SQL_TIME"},
      {SQL_TIMESTAMP, "SQL_TIMESTAMP"},
      {SQL_VARCHAR, "SQL_VARCHAR"},
      {SQL_TYPE_DATE, "SQL_TYPE_DATE"},
      {SQL_TYPE_TIME, "SQL_TYPE_TIME"},
      {SQL_TYPE_TIMESTAMP, "SQL_TYPE_TIMESTAMP"},
      {SQL_LONGVARCHAR, "SQL_LONGVARCHAR"},
      {SQL_BINARY, "SQL_BINARY"},
      {SQL_VARBINARY, "SQL_VARBINARY"},
      {SQL_LONGVARBINARY, "SQL_LONGVARBINARY"},
      {SQL_BIGINT, "SQL_BIGINT"},
      {SQL_TINYINT, "SQL_TINYINT"},
      {SQL_BIT, "SQL_BIT"},
      {SQL_WCHAR, "SQL_WCHAR"},
      {SQL_WVARCHAR, "SQL_WVARCHAR"},
      {SQL_WLONGVARCHAR, "SQL_WLONGVARCHAR"},
      {SQL_GUID, "SQL_GUID"},
  };
  const auto found = kNames.find(type);
  return found != kNames.end() ? found->second : std::to_string(type);
}

}  // namespace kv::test
