// The ODBC seam forwarded to the driver manager and its installer. ODBC is
// the same C API on Windows (odbc32, odbccp32) and on Linux (unixODBC's
// libodbc, libodbcinst), so both backends build this one file; only the
// headers odbc_api.h includes first and the libraries linked differ.
//
// The seam's types are the platform's own (checked below), so values and
// pointers pass through unchanged, including the buffers and indicators a
// driver keeps and writes later (SQLBindCol, SQLBindParameter).

#include "platform/odbc.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "platform/odbc_api.h"
#include "platform/odbc_faults.h"

namespace kv {
namespace odbc_native {

template <typename A, typename B>
constexpr bool SameValue(A seam, B native) {
  return static_cast<long long>(seam) == static_cast<long long>(native);
}

#define KV_ODBC_CHECK(name) static_assert(SameValue(kv::name, name##_), #name " differs from the platform's ODBC");
KV_ODBC_COLLIDING_CONSTANTS(KV_ODBC_CHECK)
#undef KV_ODBC_CHECK

static_assert(kv::SQL_LEN_DATA_AT_EXEC(0) == SQL_LEN_DATA_AT_EXEC_(0));
static_assert(kv::SQL_LEN_DATA_AT_EXEC(1024) == SQL_LEN_DATA_AT_EXEC_(1024));

static_assert(std::is_same_v<kv::SQLCHAR, SQLCHAR_>);
static_assert(std::is_same_v<kv::SQLSMALLINT, SQLSMALLINT_>);
static_assert(std::is_same_v<kv::SQLUSMALLINT, SQLUSMALLINT_>);
static_assert(std::is_same_v<kv::SQLINTEGER, SQLINTEGER_>);
static_assert(std::is_same_v<kv::SQLUINTEGER, SQLUINTEGER_>);
static_assert(std::is_same_v<kv::SQLLEN, SQLLEN_>);
static_assert(std::is_same_v<kv::SQLULEN, SQLULEN_>);
static_assert(std::is_same_v<kv::SQLPOINTER, SQLPOINTER_>);
static_assert(std::is_same_v<kv::SQLRETURN, SQLRETURN_>);
static_assert(std::is_same_v<kv::SQLHANDLE, SQLHANDLE_>);
// A window handle is a typed pointer on Windows; the seam only ever passes none.
static_assert(std::is_pointer_v<SQLHWND_> && sizeof(kv::SQLHWND) == sizeof(SQLHWND_));

}  // namespace odbc_native

namespace {
::SQLHWND Window(SQLHWND window) { return static_cast<::SQLHWND>(window); }

// The armed fault of this thread, and the handle it last failed.
struct ArmedFault {
  std::size_t remaining = 0;  // 0: none armed
  bool fired = false;
  SQLSMALLINT handleType = 0;
  SQLHANDLE handle = SQL_NULL_HANDLE;
  char state[6] = {};
};
thread_local ArmedFault fault;

// Whether this call is the one that fails; the failed handle is noted.
bool Fails(SQLSMALLINT handleType, SQLHANDLE handle) {
  if (fault.remaining == 0 || --fault.remaining > 0) return false;
  fault.fired = true;
  fault.handleType = handleType;
  fault.handle = handle;
  return true;
}

// The injected diagnostic of a handle, as the driver manager would give it.
bool InjectedDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state,
                        SQLINTEGER* nativeError, SQLCHAR* message, SQLSMALLINT messageCapacity,
                        SQLSMALLINT* messageLength, SQLRETURN& result) {
  if (!fault.fired || fault.handle != handle || fault.handleType != handleType) return false;
  if (record != 1) {
    result = SQL_NO_DATA;
    return true;
  }
  static constexpr char kText[] = "injected failure";
  if (state) std::memcpy(state, fault.state, sizeof fault.state);
  if (nativeError) *nativeError = 0;
  if (message && messageCapacity > 0) {
    const std::size_t room = static_cast<std::size_t>(messageCapacity) - 1;
    const std::size_t length = std::min(room, sizeof kText - 1);
    std::memcpy(message, kText, length);
    message[length] = '\0';
  }
  if (messageLength) *messageLength = static_cast<SQLSMALLINT>(sizeof kText - 1);
  result = SQL_SUCCESS;
  return true;
}
}  // namespace

void ArmOdbcFault(std::size_t n, const char* sqlState) {
  fault = ArmedFault{};
  fault.remaining = n;
  const char* state = sqlState ? sqlState : "HY000";
  std::memcpy(fault.state, state, std::min<std::size_t>(std::strlen(state), 5));
}

bool DisarmOdbcFault() {
  const bool fired = fault.fired;
  fault.remaining = 0;
  return fired;
}

// A call that does work on a handle: failed when the armed fault says so.
#define KV_ODBC_FAULT(handleType, handle) \
  if (Fails(handleType, handle)) return SQL_ERROR

SQLRETURN SQLAllocHandle(SQLSMALLINT handleType, SQLHANDLE inputHandle, SQLHANDLE* outputHandle) {
  KV_ODBC_FAULT(handleType, inputHandle);
  return ::SQLAllocHandle(handleType, inputHandle, outputHandle);
}
SQLRETURN SQLAllocEnv(SQLHENV* environment) { return ::SQLAllocEnv(environment); }
SQLRETURN SQLAllocConnect(SQLHENV environment, SQLHDBC* connection) {
  return ::SQLAllocConnect(environment, connection);
}
SQLRETURN SQLAllocStmt(SQLHDBC connection, SQLHSTMT* statement) { return ::SQLAllocStmt(connection, statement); }
SQLRETURN SQLFreeHandle(SQLSMALLINT handleType, SQLHANDLE handle) { return ::SQLFreeHandle(handleType, handle); }
SQLRETURN SQLFreeStmt(SQLHSTMT statement, SQLUSMALLINT option) { return ::SQLFreeStmt(statement, option); }
SQLRETURN SQLSetEnvAttr(SQLHENV environment, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  return ::SQLSetEnvAttr(environment, attribute, value, length);
}
SQLRETURN SQLSetConnectAttr(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  return ::SQLSetConnectAttr(connection, attribute, value, length);
}

SQLRETURN SQLDriverConnect(SQLHDBC connection, SQLHWND window, SQLCHAR* inConnectionString, SQLSMALLINT inLength,
                           SQLCHAR* outConnectionString, SQLSMALLINT outCapacity, SQLSMALLINT* outLength,
                           SQLUSMALLINT completion) {
  KV_ODBC_FAULT(SQL_HANDLE_DBC, connection);
  return ::SQLDriverConnect(connection, Window(window), inConnectionString, inLength, outConnectionString, outCapacity,
                            outLength, completion);
}
SQLRETURN SQLDisconnect(SQLHDBC connection) { return ::SQLDisconnect(connection); }

SQLRETURN SQLPrepare(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
  KV_ODBC_FAULT(SQL_HANDLE_STMT, statement);
  return ::SQLPrepare(statement, text, length);
}
SQLRETURN SQLExecute(SQLHSTMT statement) {
  KV_ODBC_FAULT(SQL_HANDLE_STMT, statement);
  return ::SQLExecute(statement);
}
SQLRETURN SQLExecDirect(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
  KV_ODBC_FAULT(SQL_HANDLE_STMT, statement);
  return ::SQLExecDirect(statement, text, length);
}
SQLRETURN SQLRowCount(SQLHSTMT statement, SQLLEN* rowCount) { return ::SQLRowCount(statement, rowCount); }
SQLRETURN SQLNumResultCols(SQLHSTMT statement, SQLSMALLINT* columnCount) {
  KV_ODBC_FAULT(SQL_HANDLE_STMT, statement);
  return ::SQLNumResultCols(statement, columnCount);
}
SQLRETURN SQLDescribeCol(SQLHSTMT statement, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT nameCapacity,
                         SQLSMALLINT* nameLength, SQLSMALLINT* dataType, SQLULEN* columnSize,
                         SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) {
  return ::SQLDescribeCol(statement, column, name, nameCapacity, nameLength, dataType, columnSize, decimalDigits,
                          nullable);
}
SQLRETURN SQLBindCol(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT targetType, SQLPOINTER target,
                     SQLLEN targetCapacity, SQLLEN* indicator) {
  return ::SQLBindCol(statement, column, targetType, target, targetCapacity, indicator);
}
SQLRETURN SQLFetch(SQLHSTMT statement) {
  KV_ODBC_FAULT(SQL_HANDLE_STMT, statement);
  return ::SQLFetch(statement);
}
SQLRETURN SQLGetData(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT targetType, SQLPOINTER target,
                     SQLLEN targetCapacity, SQLLEN* indicator) {
  KV_ODBC_FAULT(SQL_HANDLE_STMT, statement);
  return ::SQLGetData(statement, column, targetType, target, targetCapacity, indicator);
}
SQLRETURN SQLCloseCursor(SQLHSTMT statement) { return ::SQLCloseCursor(statement); }

SQLRETURN SQLBindParameter(SQLHSTMT statement, SQLUSMALLINT parameter, SQLSMALLINT direction, SQLSMALLINT valueType,
                           SQLSMALLINT parameterType, SQLULEN columnSize, SQLSMALLINT decimalDigits, SQLPOINTER value,
                           SQLLEN valueCapacity, SQLLEN* indicator) {
  return ::SQLBindParameter(statement, parameter, direction, valueType, parameterType, columnSize, decimalDigits, value,
                            valueCapacity, indicator);
}
SQLRETURN SQLParamData(SQLHSTMT statement, SQLPOINTER* value) {
  KV_ODBC_FAULT(SQL_HANDLE_STMT, statement);
  return ::SQLParamData(statement, value);
}
SQLRETURN SQLPutData(SQLHSTMT statement, SQLPOINTER data, SQLLEN length) {
  KV_ODBC_FAULT(SQL_HANDLE_STMT, statement);
  return ::SQLPutData(statement, data, length);
}

SQLRETURN SQLEndTran(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT completion) {
  KV_ODBC_FAULT(handleType, handle);
  return ::SQLEndTran(handleType, handle, completion);
}
SQLRETURN SQLGetDiagRec(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state,
                        SQLINTEGER* nativeError, SQLCHAR* message, SQLSMALLINT messageCapacity,
                        SQLSMALLINT* messageLength) {
  SQLRETURN injected = SQL_NO_DATA;
  if (InjectedDiagnostic(handleType, handle, record, state, nativeError, message, messageCapacity, messageLength,
                         injected))
    return injected;
  return ::SQLGetDiagRec(handleType, handle, record, state, nativeError, message, messageCapacity, messageLength);
}

int SQLConfigDataSource(SQLHWND window, WORD request, const char* driver, const char* attributes) {
  return ::SQLConfigDataSource(Window(window), request, driver, attributes);
}
int SQLWriteDSNToIni(const char* dsn, const char* driver) { return ::SQLWriteDSNToIni(dsn, driver); }
int SQLWritePrivateProfileString(const char* section, const char* key, const char* value, const char* file) {
  return ::SQLWritePrivateProfileString(section, key, value, file);
}
int SQLGetPrivateProfileString(const char* section, const char* key, const char* fallback, char* buffer, int capacity,
                               const char* file) {
  return ::SQLGetPrivateProfileString(section, key, fallback, buffer, capacity, file);
}
int SQLSetConfigMode(WORD mode) { return ::SQLSetConfigMode(mode); }
SQLRETURN SQLInstallerError(WORD index, DWORD* errorCode, char* message, WORD messageCapacity, WORD* messageLength) {
  // Windows' DWORD is an unsigned long, the seam's a 32-bit unsigned int.
  ::DWORD code = 0;
  const SQLRETURN result = ::SQLInstallerError(index, &code, message, messageCapacity, messageLength);
  if (errorCode) *errorCode = static_cast<DWORD>(code);
  return result;
}

}  // namespace kv
