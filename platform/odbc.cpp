// The ODBC seam forwarded to the driver manager and its installer. ODBC is
// the same C API on Windows (odbc32, odbccp32) and on Linux (unixODBC's
// libodbc, libodbcinst), so both backends build this one file; only the
// headers odbc_api.h includes first and the libraries linked differ.
//
// The seam's types are the platform's own (checked below), so values and
// pointers pass through unchanged, including the buffers and indicators a
// driver keeps and writes later (SQLBindCol, SQLBindParameter).

#include "platform/odbc.h"

#include <type_traits>

#include "platform/odbc_api.h"

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
}  // namespace

SQLRETURN SQLAllocHandle(SQLSMALLINT handleType, SQLHANDLE inputHandle, SQLHANDLE* outputHandle) {
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
  return ::SQLDriverConnect(connection, Window(window), inConnectionString, inLength, outConnectionString, outCapacity,
                            outLength, completion);
}
SQLRETURN SQLDisconnect(SQLHDBC connection) { return ::SQLDisconnect(connection); }

SQLRETURN SQLPrepare(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
  return ::SQLPrepare(statement, text, length);
}
SQLRETURN SQLExecute(SQLHSTMT statement) { return ::SQLExecute(statement); }
SQLRETURN SQLExecDirect(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
  return ::SQLExecDirect(statement, text, length);
}
SQLRETURN SQLRowCount(SQLHSTMT statement, SQLLEN* rowCount) { return ::SQLRowCount(statement, rowCount); }
SQLRETURN SQLNumResultCols(SQLHSTMT statement, SQLSMALLINT* columnCount) {
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
SQLRETURN SQLFetch(SQLHSTMT statement) { return ::SQLFetch(statement); }
SQLRETURN SQLGetData(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT targetType, SQLPOINTER target,
                     SQLLEN targetCapacity, SQLLEN* indicator) {
  return ::SQLGetData(statement, column, targetType, target, targetCapacity, indicator);
}
SQLRETURN SQLCloseCursor(SQLHSTMT statement) { return ::SQLCloseCursor(statement); }

SQLRETURN SQLBindParameter(SQLHSTMT statement, SQLUSMALLINT parameter, SQLSMALLINT direction, SQLSMALLINT valueType,
                           SQLSMALLINT parameterType, SQLULEN columnSize, SQLSMALLINT decimalDigits, SQLPOINTER value,
                           SQLLEN valueCapacity, SQLLEN* indicator) {
  return ::SQLBindParameter(statement, parameter, direction, valueType, parameterType, columnSize, decimalDigits, value,
                            valueCapacity, indicator);
}
SQLRETURN SQLParamData(SQLHSTMT statement, SQLPOINTER* value) { return ::SQLParamData(statement, value); }
SQLRETURN SQLPutData(SQLHSTMT statement, SQLPOINTER data, SQLLEN length) {
  return ::SQLPutData(statement, data, length);
}

SQLRETURN SQLEndTran(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT completion) {
  return ::SQLEndTran(handleType, handle, completion);
}
SQLRETURN SQLGetDiagRec(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state,
                        SQLINTEGER* nativeError, SQLCHAR* message, SQLSMALLINT messageCapacity,
                        SQLSMALLINT* messageLength) {
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
