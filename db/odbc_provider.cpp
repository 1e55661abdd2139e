#include "db/odbc_provider.h"

#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <vector>

#include "base/log_writer.h"
#include "base/object_locks.h"
#include "db/odbc_diagnostics.h"
#include "db/value_reading.h"
#include "store/column_types.h"

namespace kv {
namespace {

// ODBC's indicator of a piece whose total length the driver does not know.
constexpr SQLLEN kNoTotal = -4;
// Column names are read into this many bytes, more when a name is longer.
constexpr SQLSMALLINT kColumnNameBuffer = 99;
// Long binary columns stream to their consumer in pieces of this size.
constexpr std::size_t kStreamPiece = 1024;

// One environment for every connection: made by the first connect, freed
// by the last disconnect (freeing it under open connections would fail and
// leak it).
struct OdbcEnvironment {
  std::mutex lock;
  SQLHENV handle = SQL_NULL_HENV;
  int connections = 0;
};

OdbcEnvironment& Environment() {
  static OdbcEnvironment environment;
  return environment;
}

// A connection's share of the environment: the first share makes it, the
// last one gone frees it.
class EnvironmentShare {
 public:
  EnvironmentShare() {
    OdbcEnvironment& environment = Environment();
    std::lock_guard<std::mutex> lock(environment.lock);
    if (environment.connections == 0) {
      if (!OdbcSucceeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment.handle))) {
        environment.handle = SQL_NULL_HENV;
        LogError("Allocating Env Handle failed\n");
        return;
      }
      // ODBC 3: statements that change no rows answer SQL_NO_DATA, dates are
      // the SQL_TYPE_ codes.
      (void)SQLSetEnvAttr(environment.handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    }
    ++environment.connections;
    handle_ = environment.handle;
  }
  ~EnvironmentShare() {
    if (handle_ == SQL_NULL_HENV) return;
    OdbcEnvironment& environment = Environment();
    std::lock_guard<std::mutex> lock(environment.lock);
    if (--environment.connections == 0) {
      (void)SQLFreeHandle(SQL_HANDLE_ENV, environment.handle);
      environment.handle = SQL_NULL_HENV;
    }
  }
  EnvironmentShare(const EnvironmentShare&) = delete;
  EnvironmentShare& operator=(const EnvironmentShare&) = delete;

  SQLHENV handle() const { return handle_; }

 private:
  SQLHENV handle_ = SQL_NULL_HENV;
};

// A connection handle, disconnected (once connected) and freed when it goes.
class ConnectionHandle {
 public:
  // Without an environment (its failure logged) there is no handle.
  explicit ConnectionHandle(SQLHENV environment) {
    if (environment == SQL_NULL_HENV) return;
    if (!OdbcSucceeded(SQLAllocHandle(SQL_HANDLE_DBC, environment, &handle_))) {
      handle_ = SQL_NULL_HDBC;
      LogError("Allocating connection Handle failed\n");
    }
  }
  ~ConnectionHandle() { Close(); }
  ConnectionHandle(const ConnectionHandle&) = delete;
  ConnectionHandle& operator=(const ConnectionHandle&) = delete;

  SQLHDBC get() const { return handle_; }
  void MarkConnected() { connected_ = true; }
  void Close() {
    if (handle_ == SQL_NULL_HDBC) return;
    if (connected_) (void)SQLDisconnect(handle_);
    (void)SQLFreeHandle(SQL_HANDLE_DBC, handle_);
    handle_ = SQL_NULL_HDBC;
  }

 private:
  SQLHDBC handle_ = SQL_NULL_HDBC;
  bool connected_ = false;
};

// The handles are given up in the reverse of their making: the connection's,
// then its share of the environment.
struct OdbcConnection : ProviderConnection {
  explicit OdbcConnection(std::string connectionName)
      : name(std::move(connectionName)), dbc(environment.handle()), handle(dbc.get()) {}
  std::string name;
  EnvironmentShare environment;
  ConnectionHandle dbc;
  SQLHDBC handle;
};

OdbcConnection* Odbc(ProviderConnection* connection) { return static_cast<OdbcConnection*>(connection); }

// Logs the first diagnostic of a handle and marks the connection lost when
// it says the database is gone.
void NoteFailure(OdbcConnection& connection, SQLSMALLINT handleType, SQLHANDLE handle, const char* heading = nullptr) {
  const OdbcDiagnostic diagnostic = ReadOdbcDiagnostic(handleType, handle);
  LogOdbcDiagnostic(diagnostic, heading);
  if (diagnostic.ConnectionGone()) connection.lost = true;
}

// A statement of a connection, closed and freed when it goes.
class Statement {
 public:
  explicit Statement(OdbcConnection& connection) : connection_(connection) {
    if (!OdbcSucceeded(SQLAllocHandle(SQL_HANDLE_STMT, connection.handle, &handle_))) {
      handle_ = SQL_NULL_HSTMT;
      LogError("Allocating Statement Handle failed\n");
      NoteFailure(connection, SQL_HANDLE_DBC, connection.handle);
    }
  }
  ~Statement() {
    if (handle_ == SQL_NULL_HSTMT) return;
    SQLFreeStmt(handle_, SQL_CLOSE);
    SQLFreeHandle(SQL_HANDLE_STMT, handle_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  explicit operator bool() const { return handle_ != SQL_NULL_HSTMT; }
  SQLHSTMT get() const { return handle_; }

  // false after logging message and the statement's diagnostic when result
  // is a failure (SQL_NO_DATA is none: a statement that found no rows).
  bool Check(SQLRETURN result, const char* message) {
    if (OdbcSucceeded(result) || result == SQL_NO_DATA) return true;
    LogError("%s", message);
    NoteFailure(connection_, SQL_HANDLE_STMT, handle_);
    return false;
  }

 private:
  OdbcConnection& connection_;
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

SQLCHAR* SqlText(const char* sql) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)); }

bool IsBinarySqlType(SQLSMALLINT type) {
  return type == SQL_BINARY || type == SQL_VARBINARY || type == SQL_LONGVARBINARY;
}

// A value keyword of a connection string: braced when a ';' or a brace in
// it would otherwise end it or start another keyword.
std::string ConnectionValue(std::string_view value) {
  if (value.find_first_of(";{}") == std::string_view::npos && (value.empty() || value.front() != ' ')) {
    return std::string(value);
  }
  std::string braced = "{";
  for (const char c : value) {
    if (c == '}') braced.push_back('}');
    braced.push_back(c);
  }
  return braced + "}";
}

enum class ReadResult { kValue, kNull, kFailed };

// The whole value of a column of the current row, read in pieces.
ReadResult ReadColumn(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType, std::string* value) {
  value->clear();
  char buffer[4096];
  // Text pieces end with a NUL the driver adds; binary pieces fill the buffer.
  const SQLLEN room = cType == SQL_C_CHAR ? sizeof buffer - 1 : sizeof buffer;
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN result = SQLGetData(statement, column, cType, buffer, sizeof buffer, &indicator);
    if (result == SQL_NO_DATA) return ReadResult::kValue;
    if (!OdbcSucceeded(result)) return ReadResult::kFailed;
    if (indicator == SQL_NULL_DATA) return ReadResult::kNull;
    const SQLLEN piece = indicator == kNoTotal || indicator > room || indicator < 0 ? room : indicator;
    value->append(buffer, static_cast<std::size_t>(piece));
    if (result == SQL_SUCCESS) return ReadResult::kValue;
  }
}

// Streams a long binary column of the current row to the consumer, ending
// with a call without data. False when the driver fails.
bool StreamColumn(SQLHSTMT statement, SQLUSMALLINT column, BlobConsumer consumer, void* context) {
  char piece[kStreamPiece];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN result = SQLGetData(statement, column, SQL_C_BINARY, piece, sizeof piece, &indicator);
    if (!OdbcSucceeded(result) || indicator == SQL_NULL_DATA) {
      if (consumer) consumer(nullptr, 0, context);
      return OdbcSucceeded(result) || result == SQL_NO_DATA;
    }
    const SQLLEN size =
        indicator == kNoTotal || indicator < 0 || indicator > SQLLEN(sizeof piece) ? sizeof piece : indicator;
    if (consumer) consumer(piece, static_cast<std::size_t>(size), context);
  }
}

struct ColumnInfo {
  SQLSMALLINT sqlType = 0;
  std::uint8_t storeType = 0;
};

// The columns of an executed statement.
bool DescribeColumns(Statement& statement, SQLSMALLINT count, std::vector<DBColumnDescriptor>* descriptors,
                     std::vector<ColumnInfo>* columns) {
  for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(count); ++column) {
    std::vector<SQLCHAR> name(kColumnNameBuffer);
    SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLRETURN result = SQLDescribeCol(statement.get(), column, name.data(), static_cast<SQLSMALLINT>(name.size()),
                                      &nameLength, &sqlType, &size, &digits, &nullable);
    if (OdbcSucceeded(result) && nameLength >= static_cast<SQLSMALLINT>(name.size())) {
      name.resize(static_cast<std::size_t>(nameLength) + 1);
      result = SQLDescribeCol(statement.get(), column, name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLength,
                              &sqlType, &size, &digits, &nullable);
    }
    if (!statement.Check(result, "SQLDescribeCol failed\n")) return false;
    const std::uint8_t storeType = StoreTypeOfSqlType(sqlType);
    descriptors->push_back({reinterpret_cast<const char*>(name.data()), storeType});
    columns->push_back({sqlType, storeType});
  }
  return true;
}

// Reads every row into a result set; long binary columns go to the
// consumer when there is one.
DBResultSetPtr FetchRows(Statement& statement, SQLSMALLINT count, BlobConsumer consumer, void* context, bool streamed) {
  std::vector<DBColumnDescriptor> descriptors;
  std::vector<ColumnInfo> columns;
  if (!DescribeColumns(statement, count, &descriptors, &columns)) return nullptr;
  auto result = std::make_unique<DBResultSet>(std::move(descriptors));
  if (count == 0) return result;
  std::string text;
  for (;;) {
    const SQLRETURN fetched = SQLFetch(statement.get());
    if (fetched == SQL_NO_DATA) break;
    if (!statement.Check(fetched, "SQLFetch failed\n")) return nullptr;
    if (!result->AddRow()) return nullptr;
    for (SQLSMALLINT i = 0; i < count; ++i) {
      const ColumnInfo& column = columns[static_cast<std::size_t>(i)];
      const auto number = static_cast<SQLUSMALLINT>(i + 1);
      if (streamed && column.storeType == TARN_SQL_BLOB) {
        if (!statement.Check(StreamColumn(statement.get(), number, consumer, context) ? SQL_SUCCESS : SQL_ERROR,
                             "SQLGetData failed\n"))
          return nullptr;
        continue;
      }
      const ReadResult read =
          ReadColumn(statement.get(), number, IsBinarySqlType(column.sqlType) ? SQL_C_BINARY : SQL_C_CHAR, &text);
      if (read == ReadResult::kFailed) {
        statement.Check(SQL_ERROR, "SQLGetData failed\n");
        return nullptr;
      }
      if (read == ReadResult::kNull) continue;
      TypedValueBuffer value;
      if (!ParseDatabaseValue(text, column.storeType, value)) {
        LogError("Cannot convert the value of column %s\n",
                 result->columns()[static_cast<std::size_t>(i)].name.c_str());
        return nullptr;
      }
      if (!result->SetValue(i, value.value().Bytes())) return nullptr;
    }
  }
  return result;
}

// A query, executed directly or prepared and executed (the streamed form).
DBResultSetPtr RunQuery(ProviderConnection* provider, const char* sql, bool streamed, BlobConsumer consumer,
                        void* context) {
  if (!provider || !sql) return nullptr;
  OdbcConnection& connection = *Odbc(provider);
  ObjectLockGuard lock(&connection);
  Statement statement(connection);
  if (!statement) return nullptr;
  if (streamed) {
    if (!statement.Check(SQLPrepare(statement.get(), SqlText(sql), SQL_NTS), "SQLPrepare failed\n") ||
        !statement.Check(SQLExecute(statement.get()), "SQLExecute failed\n"))
      return nullptr;
  } else if (!statement.Check(SQLExecDirect(statement.get(), SqlText(sql), SQL_NTS), "SQLExecDirect failed\n")) {
    return nullptr;
  }
  SQLLEN rows = 0;
  if (!statement.Check(SQLRowCount(statement.get(), &rows), "No Rows Affected\n")) return nullptr;
  SQLSMALLINT count = 0;
  if (!statement.Check(SQLNumResultCols(statement.get(), &count), "SQLNumResultCols Failed\n")) return nullptr;
  try {
    return FetchRows(statement, count, consumer, context, streamed);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

constexpr const char* kTransactionFailure = "Error in starting transaction\n";

// A transaction's end: commit or roll back, then back to autocommit.
bool EndTransaction(ProviderConnection* provider, SQLSMALLINT completion, const char* failure) {
  if (!provider) return false;
  OdbcConnection& connection = *Odbc(provider);
  ObjectLockGuard lock(&connection);
  bool ended = OdbcSucceeded(SQLEndTran(SQL_HANDLE_DBC, connection.handle, completion));
  if (!ended) {
    LogError("%s", failure);
    NoteFailure(connection, SQL_HANDLE_DBC, connection.handle, kTransactionFailure);
    // What could not be committed must not be committed by turning
    // autocommit on below.
    if (completion == SQL_COMMIT) (void)SQLEndTran(SQL_HANDLE_DBC, connection.handle, SQL_ROLLBACK);
  }
  if (!OdbcSucceeded(SQLSetConnectAttr(connection.handle, SQL_ATTR_AUTOCOMMIT,
                                       reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER))) {
    LogError("Error in setting SQL_AUTOCOMMIT_ON\n");
    NoteFailure(connection, SQL_HANDLE_DBC, connection.handle, kTransactionFailure);
    return false;
  }
  return ended;
}

}  // namespace

std::string OdbcConnectionString(const ConnParamsEntry& parameters) {
  if (parameters.explicitString) return parameters.connectionString;
  // The data source holds the driver: a Driver keyword beside it would make
  // some drivers (MariaDB's) ignore the data source's own settings.
  std::string text = "DSN=" + ConnectionValue(parameters.dsn) + ";";
  if (!parameters.user.empty()) text += "UID=" + ConnectionValue(parameters.user);
  text += ";";
  if (parameters.password) text += "PWD=" + ConnectionValue(*parameters.password);
  text += ";";
  return text;
}

std::uint8_t StoreTypeOfSqlType(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_BIGINT: return TARN_SQL_LONG_INT;
    case SQL_SMALLINT: return TARN_SQL_SMALLINT;
    case SQL_INTEGER: return TARN_SQL_INT;
    // ODBC's FLOAT is double precision (PostgreSQL reports its doubles so).
    case SQL_FLOAT:
    case SQL_DOUBLE: return TARN_SQL_DOUBLE;
    case SQL_CHAR:
    case SQL_WCHAR: return TARN_SQL_CHAR;
    case SQL_VARCHAR:
    case SQL_WVARCHAR: return TARN_SQL_VARCHAR;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: return TARN_SQL_BLOB;
    case SQL_DATE:
    case SQL_TYPE_DATE: return TARN_SQL_DATE;
    case SQL_TIME:
    case SQL_TYPE_TIME: return TARN_SQL_TIME;
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP: return TARN_SQL_DATETIME;
    // SQLite reports its Booleans as BIT, MariaDB as TINYINT.
    case SQL_BIT:
    case SQL_TINYINT: return TARN_SQL_BOOLEAN;
    case SQL_NUMERIC: return TARN_SQL_NUMERIC;
    default: return TARN_SQL_NOT_SUPPORTED_TYPE;  // REAL, DECIMAL, GUID, intervals and the unknown
  }
}

int OdbcOpenConnections() {
  OdbcEnvironment& environment = Environment();
  std::lock_guard<std::mutex> lock(environment.lock);
  return environment.connections;
}

ProviderConnectionPtr ODBCConnect(const ConnParamsEntry* parameters) {
  if (!parameters || parameters->dsn.empty()) {
    LogError("ODBC connection Parameter missing\n");
    return nullptr;
  }
  std::unique_ptr<OdbcConnection> connection;
  std::string text;
  try {
    connection = std::make_unique<OdbcConnection>(parameters->connectionName);
    text = OdbcConnectionString(*parameters);
  } catch (const std::bad_alloc&) {
    LogError("Unable to allocate memory\n");
    return nullptr;
  }
  if (connection->handle == SQL_NULL_HDBC) return nullptr;
  SQLCHAR completed[1025] = {};
  SQLSMALLINT completedLength = 0;
  if (!OdbcSucceeded(SQLDriverConnect(connection->handle, nullptr, SqlText(text.c_str()), SQL_NTS, completed,
                                      sizeof completed, &completedLength, SQL_DRIVER_NOPROMPT))) {
    LogError("Connecting to driver failed\n");
    LogOdbcDiagnostic(ReadOdbcDiagnostic(SQL_HANDLE_DBC, connection->handle));
    return nullptr;
  }
  connection->dbc.MarkConnected();
  return ProviderConnectionPtr(connection.release());
}

bool ODBCDisconnect(ProviderConnectionPtr provider) {
  if (!provider) return false;
  OdbcConnection& connection = *Odbc(provider.get());
  {
    ObjectLockGuard lock(&connection);
    connection.dbc.Close();
  }
  return true;
}

bool ODBCExecuteUpdate(ProviderConnection* provider, const char* sql) {
  if (!provider || !sql) return false;
  OdbcConnection& connection = *Odbc(provider);
  ObjectLockGuard lock(&connection);
  Statement statement(connection);
  SQLLEN rows = 0;
  return statement && statement.Check(SQLPrepare(statement.get(), SqlText(sql), SQL_NTS), "SQLPrepare failed\n") &&
         statement.Check(SQLExecute(statement.get()), "SQLExecute failed\n") &&
         statement.Check(SQLRowCount(statement.get(), &rows), "No Rows Affected \n");
}

DBResultSetPtr ODBCExecuteQuery(ProviderConnection* connection, const char* sql) {
  LogTrace("Inside ODBCExecuteQuery\n");
  return RunQuery(connection, sql, false, nullptr, nullptr);
}

DBResultSetPtr ODBCExecuteQueryBlob(ProviderConnection* connection, const char* sql, BlobConsumer consumer,
                                    void* context) {
  LogTrace("Inside ODBCExecuteQueryBlob\n");
  return RunQuery(connection, sql, true, consumer, context);
}

bool ODBCExecuteUpdateBlob(ProviderConnection* provider, const char* sql, BlobProducer producer, void* context) {
  LogTrace("Inside ODBCExecuteUpdateBlob\n");
  if (!provider || !sql || !producer) return false;
  OdbcConnection& connection = *Odbc(provider);
  ObjectLockGuard lock(&connection);
  // The pieces are collected first: some drivers (SQLite's) take data at
  // execution only when its whole length is announced.
  std::string data;
  std::vector<std::size_t> pieces;
  try {
    for (;;) {
      const void* piece = nullptr;
      std::size_t length = 0;
      if (producer(&piece, &length, context) == BLOB_NO_MORE_DATA) break;
      if (!piece || length == 0) continue;
      data.append(static_cast<const char*>(piece), length);
      pieces.push_back(length);
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
  Statement statement(connection);
  if (!statement || !statement.Check(SQLPrepare(statement.get(), SqlText(sql), SQL_NTS), "SQLPrepare failed\n"))
    return false;
  // The bound value is only the token SQLParamData names the parameter by.
  int token = 1;
  SQLLEN indicator = SQL_LEN_DATA_AT_EXEC(static_cast<SQLLEN>(data.size()));
  if (!statement.Check(SQLBindParameter(statement.get(), 1, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY,
                                        data.size(), 0, &token, 0, &indicator),
                       "SQLBindParameter failed\n"))
    return false;
  SQLRETURN result = SQLExecute(statement.get());
  while (result == SQL_NEED_DATA) {
    SQLPOINTER asked = nullptr;
    result = SQLParamData(statement.get(), &asked);
    if (result != SQL_NEED_DATA) break;
    std::size_t offset = 0;
    for (const std::size_t length : pieces) {
      if (!statement.Check(SQLPutData(statement.get(), data.data() + offset, static_cast<SQLLEN>(length)),
                           "SQLPutData failed\n"))
        return false;
      offset += length;
    }
    if (pieces.empty() && !statement.Check(SQLPutData(statement.get(), data.data(), 0), "SQLPutData failed\n"))
      return false;
  }
  SQLLEN rows = 0;
  return statement.Check(result, "SQLExecute failed\n") &&
         statement.Check(SQLRowCount(statement.get(), &rows), "No Rows Affected \n");
}

bool ODBCBeginTransaction(ProviderConnection* provider) {
  LogTrace("\t@@@@@ ODBCBeginTransaction() @@@@@\n");
  if (!provider) return false;
  OdbcConnection& connection = *Odbc(provider);
  ObjectLockGuard lock(&connection);
  if (OdbcSucceeded(SQLSetConnectAttr(connection.handle, SQL_ATTR_AUTOCOMMIT,
                                      reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER)))
    return true;
  LogError("Error in setting SQL_AUTOCOMMIT_OFF\n");
  NoteFailure(connection, SQL_HANDLE_DBC, connection.handle, kTransactionFailure);
  return false;
}

bool ODBCCommitTransaction(ProviderConnection* connection) {
  LogTrace("\t@@@@@ ODBCCommitTransaction() @@@@@\n");
  return EndTransaction(connection, SQL_COMMIT, "Error in commiting transaction\n");
}

bool ODBCRollbackTransaction(ProviderConnection* connection) {
  LogTrace("\t@@@@@ ODBCRollbackTransaction() @@@@@\n");
  return EndTransaction(connection, SQL_ROLLBACK, "Error in rollbacking transaction\n");
}

const DBProvider& OdbcProvider() {
  static const DBProvider provider = {"ODBC",
                                      ODBCConnect,
                                      ODBCExecuteUpdate,
                                      ODBCExecuteQuery,
                                      ODBCDisconnect,
                                      ODBCBeginTransaction,
                                      ODBCCommitTransaction,
                                      ODBCRollbackTransaction,
                                      ODBCExecuteUpdateBlob,
                                      ODBCExecuteQueryBlob};
  return provider;
}

}  // namespace kv
