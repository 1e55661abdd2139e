#pragma once
// The ODBC driver manager and its installer, as the store's database provider
// calls them. The names, types and values are the published ODBC ones (the
// same on Windows' odbc32/odbccp32 and on unixODBC), declared here in
// namespace kv so that portable code reaches ODBC without including an
// operating-system header (<sql.h> needs <windows.h> on Windows). The
// functions forward unchanged to the driver manager; their results are ODBC's
// own (SQL_SUCCESS, SQL_ERROR, ... and the installer's TRUE/FALSE).
//
// The real headers define these names as macros, so a file never includes
// both this header and <sql.h>; only the forwarding backend sees both, through
// platform/odbc_api.h, which takes the macros out of its way and proves every
// value and type here against the real headers at compile time.

#include <cstdint>
#include <type_traits>

#include "platform/win_types.h"

namespace kv {

// Scalar types. SQLINTEGER is 32 bits; SQLLEN and SQLULEN are as wide as a
// pointer. Their C spellings differ between platforms (long on Windows and on
// 32-bit Linux, int and long on 64-bit Linux, long long on 64-bit Windows),
// and a pointer to one is handed through as it is, so the seam picks the same
// spelling as the platform's headers.
using SQLCHAR = unsigned char;
using SQLSMALLINT = short;
using SQLUSMALLINT = unsigned short;
using SQLINTEGER = std::conditional_t<sizeof(long) == 4, long, int>;
using SQLUINTEGER = std::make_unsigned_t<SQLINTEGER>;
using SQLLEN = std::conditional_t<sizeof(long) == sizeof(void*), long, long long>;
using SQLULEN = std::make_unsigned_t<SQLLEN>;
using SQLPOINTER = void*;
using SQLRETURN = SQLSMALLINT;
using SQLHANDLE = void*;
using SQLHENV = SQLHANDLE;
using SQLHDBC = SQLHANDLE;
using SQLHSTMT = SQLHANDLE;
using SQLHWND = void*;

inline constexpr SQLHANDLE SQL_NULL_HANDLE = nullptr;
inline constexpr SQLHENV SQL_NULL_HENV = nullptr;
inline constexpr SQLHDBC SQL_NULL_HDBC = nullptr;
inline constexpr SQLHSTMT SQL_NULL_HSTMT = nullptr;

// Results.
inline constexpr SQLRETURN SQL_SUCCESS = 0;
inline constexpr SQLRETURN SQL_SUCCESS_WITH_INFO = 1;
inline constexpr SQLRETURN SQL_STILL_EXECUTING = 2;
inline constexpr SQLRETURN SQL_NEED_DATA = 99;
inline constexpr SQLRETURN SQL_NO_DATA = 100;
inline constexpr SQLRETURN SQL_ERROR = -1;
inline constexpr SQLRETURN SQL_INVALID_HANDLE = -2;

// Lengths and indicators.
inline constexpr SQLLEN SQL_NULL_DATA = -1;
inline constexpr SQLLEN SQL_DATA_AT_EXEC = -2;
inline constexpr SQLINTEGER SQL_NTS = -3;
inline constexpr SQLLEN SQL_LEN_DATA_AT_EXEC_OFFSET = -100;
// The indicator of a parameter whose data (of the given total length, 0 when
// unknown) is sent at execution with SQLPutData.
constexpr SQLLEN SQL_LEN_DATA_AT_EXEC(SQLLEN length) { return -length + SQL_LEN_DATA_AT_EXEC_OFFSET; }
inline constexpr SQLSMALLINT SQL_MAX_MESSAGE_LENGTH = 512;
inline constexpr SQLSMALLINT SQL_SQLSTATE_SIZE = 5;

// Handle types.
inline constexpr SQLSMALLINT SQL_HANDLE_ENV = 1;
inline constexpr SQLSMALLINT SQL_HANDLE_DBC = 2;
inline constexpr SQLSMALLINT SQL_HANDLE_STMT = 3;
inline constexpr SQLSMALLINT SQL_HANDLE_DESC = 4;

// Environment, connection and statement attributes and their values (handed
// to the Set...Attr functions cast to SQLPOINTER).
inline constexpr SQLINTEGER SQL_ATTR_ODBC_VERSION = 200;
inline constexpr SQLULEN SQL_OV_ODBC2 = 2;
inline constexpr SQLULEN SQL_OV_ODBC3 = 3;
inline constexpr SQLINTEGER SQL_ATTR_AUTOCOMMIT = 102;
inline constexpr SQLULEN SQL_AUTOCOMMIT_OFF = 0;
inline constexpr SQLULEN SQL_AUTOCOMMIT_ON = 1;
inline constexpr SQLINTEGER SQL_IS_POINTER = -4;
inline constexpr SQLINTEGER SQL_IS_UINTEGER = -5;
inline constexpr SQLINTEGER SQL_IS_INTEGER = -6;

// SQLDriverConnect's completion modes.
inline constexpr SQLUSMALLINT SQL_DRIVER_NOPROMPT = 0;
inline constexpr SQLUSMALLINT SQL_DRIVER_COMPLETE = 1;
inline constexpr SQLUSMALLINT SQL_DRIVER_PROMPT = 2;
inline constexpr SQLUSMALLINT SQL_DRIVER_COMPLETE_REQUIRED = 3;

// SQLEndTran's completions and SQLFreeStmt's options.
inline constexpr SQLSMALLINT SQL_COMMIT = 0;
inline constexpr SQLSMALLINT SQL_ROLLBACK = 1;
inline constexpr SQLUSMALLINT SQL_CLOSE = 0;
inline constexpr SQLUSMALLINT SQL_DROP = 1;
inline constexpr SQLUSMALLINT SQL_UNBIND = 2;
inline constexpr SQLUSMALLINT SQL_RESET_PARAMS = 3;

// Nullability that SQLDescribeCol reports.
inline constexpr SQLSMALLINT SQL_NO_NULLS = 0;
inline constexpr SQLSMALLINT SQL_NULLABLE = 1;
inline constexpr SQLSMALLINT SQL_NULLABLE_UNKNOWN = 2;

// SQL data types, as SQLDescribeCol reports a column's. An environment set
// to ODBC 3 reports dates and times as the SQL_TYPE_ codes; one left at
// ODBC 2 reports SQL_DATE, SQL_TIME and SQL_TIMESTAMP.
inline constexpr SQLSMALLINT SQL_UNKNOWN_TYPE = 0;
inline constexpr SQLSMALLINT SQL_CHAR = 1;
inline constexpr SQLSMALLINT SQL_NUMERIC = 2;
inline constexpr SQLSMALLINT SQL_DECIMAL = 3;
inline constexpr SQLSMALLINT SQL_INTEGER = 4;
inline constexpr SQLSMALLINT SQL_SMALLINT = 5;
inline constexpr SQLSMALLINT SQL_FLOAT = 6;
inline constexpr SQLSMALLINT SQL_REAL = 7;
inline constexpr SQLSMALLINT SQL_DOUBLE = 8;
inline constexpr SQLSMALLINT SQL_DATETIME = 9;
inline constexpr SQLSMALLINT SQL_DATE = 9;
inline constexpr SQLSMALLINT SQL_INTERVAL = 10;
inline constexpr SQLSMALLINT SQL_TIME = 10;
inline constexpr SQLSMALLINT SQL_TIMESTAMP = 11;
inline constexpr SQLSMALLINT SQL_VARCHAR = 12;
inline constexpr SQLSMALLINT SQL_TYPE_DATE = 91;
inline constexpr SQLSMALLINT SQL_TYPE_TIME = 92;
inline constexpr SQLSMALLINT SQL_TYPE_TIMESTAMP = 93;
inline constexpr SQLSMALLINT SQL_LONGVARCHAR = -1;
inline constexpr SQLSMALLINT SQL_BINARY = -2;
inline constexpr SQLSMALLINT SQL_VARBINARY = -3;
inline constexpr SQLSMALLINT SQL_LONGVARBINARY = -4;
inline constexpr SQLSMALLINT SQL_BIGINT = -5;
inline constexpr SQLSMALLINT SQL_TINYINT = -6;
inline constexpr SQLSMALLINT SQL_BIT = -7;
inline constexpr SQLSMALLINT SQL_WCHAR = -8;
inline constexpr SQLSMALLINT SQL_WVARCHAR = -9;
inline constexpr SQLSMALLINT SQL_WLONGVARCHAR = -10;
inline constexpr SQLSMALLINT SQL_GUID = -11;
// The thirteen interval types.
inline constexpr SQLSMALLINT SQL_INTERVAL_YEAR = 101;
inline constexpr SQLSMALLINT SQL_INTERVAL_MONTH = 102;
inline constexpr SQLSMALLINT SQL_INTERVAL_DAY = 103;
inline constexpr SQLSMALLINT SQL_INTERVAL_HOUR = 104;
inline constexpr SQLSMALLINT SQL_INTERVAL_MINUTE = 105;
inline constexpr SQLSMALLINT SQL_INTERVAL_SECOND = 106;
inline constexpr SQLSMALLINT SQL_INTERVAL_YEAR_TO_MONTH = 107;
inline constexpr SQLSMALLINT SQL_INTERVAL_DAY_TO_HOUR = 108;
inline constexpr SQLSMALLINT SQL_INTERVAL_DAY_TO_MINUTE = 109;
inline constexpr SQLSMALLINT SQL_INTERVAL_DAY_TO_SECOND = 110;
inline constexpr SQLSMALLINT SQL_INTERVAL_HOUR_TO_MINUTE = 111;
inline constexpr SQLSMALLINT SQL_INTERVAL_HOUR_TO_SECOND = 112;
inline constexpr SQLSMALLINT SQL_INTERVAL_MINUTE_TO_SECOND = 113;

// C data types: what a bound buffer holds.
inline constexpr SQLSMALLINT SQL_C_CHAR = SQL_CHAR;
inline constexpr SQLSMALLINT SQL_C_WCHAR = SQL_WCHAR;
inline constexpr SQLSMALLINT SQL_C_BINARY = SQL_BINARY;
inline constexpr SQLSMALLINT SQL_C_DEFAULT = 99;

// Parameter directions.
inline constexpr SQLSMALLINT SQL_PARAM_INPUT = 1;

// Environments, connections and statements.
[[nodiscard]] SQLRETURN SQLAllocHandle(SQLSMALLINT handleType, SQLHANDLE inputHandle, SQLHANDLE* outputHandle);
[[nodiscard]] SQLRETURN SQLAllocEnv(SQLHENV* environment);
[[nodiscard]] SQLRETURN SQLAllocConnect(SQLHENV environment, SQLHDBC* connection);
[[nodiscard]] SQLRETURN SQLAllocStmt(SQLHDBC connection, SQLHSTMT* statement);
SQLRETURN SQLFreeHandle(SQLSMALLINT handleType, SQLHANDLE handle);
SQLRETURN SQLFreeStmt(SQLHSTMT statement, SQLUSMALLINT option);
[[nodiscard]] SQLRETURN SQLSetEnvAttr(SQLHENV environment, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
[[nodiscard]] SQLRETURN SQLSetConnectAttr(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);

// Connecting.
[[nodiscard]] SQLRETURN SQLDriverConnect(SQLHDBC connection, SQLHWND window, SQLCHAR* inConnectionString,
                                         SQLSMALLINT inLength, SQLCHAR* outConnectionString, SQLSMALLINT outCapacity,
                                         SQLSMALLINT* outLength, SQLUSMALLINT completion);
SQLRETURN SQLDisconnect(SQLHDBC connection);

// Statements.
[[nodiscard]] SQLRETURN SQLPrepare(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length);
[[nodiscard]] SQLRETURN SQLExecute(SQLHSTMT statement);
[[nodiscard]] SQLRETURN SQLExecDirect(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length);
[[nodiscard]] SQLRETURN SQLRowCount(SQLHSTMT statement, SQLLEN* rowCount);
[[nodiscard]] SQLRETURN SQLNumResultCols(SQLHSTMT statement, SQLSMALLINT* columnCount);
[[nodiscard]] SQLRETURN SQLDescribeCol(SQLHSTMT statement, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT nameCapacity,
                                       SQLSMALLINT* nameLength, SQLSMALLINT* dataType, SQLULEN* columnSize,
                                       SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable);
// The buffer and the indicator stay in use until the column is unbound
// (SQLFreeStmt with SQL_UNBIND) or the statement is freed.
[[nodiscard]] SQLRETURN SQLBindCol(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT targetType, SQLPOINTER target,
                                   SQLLEN targetCapacity, SQLLEN* indicator);
[[nodiscard]] SQLRETURN SQLFetch(SQLHSTMT statement);
[[nodiscard]] SQLRETURN SQLGetData(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT targetType, SQLPOINTER target,
                                   SQLLEN targetCapacity, SQLLEN* indicator);
SQLRETURN SQLCloseCursor(SQLHSTMT statement);

// Parameters, and their data sent at execution: SQLExecute answers
// SQL_NEED_DATA, then SQLParamData names the parameter (its bound value
// pointer) and SQLPutData sends its pieces until SQLParamData answers
// otherwise.
[[nodiscard]] SQLRETURN SQLBindParameter(SQLHSTMT statement, SQLUSMALLINT parameter, SQLSMALLINT direction,
                                         SQLSMALLINT valueType, SQLSMALLINT parameterType, SQLULEN columnSize,
                                         SQLSMALLINT decimalDigits, SQLPOINTER value, SQLLEN valueCapacity,
                                         SQLLEN* indicator);
[[nodiscard]] SQLRETURN SQLParamData(SQLHSTMT statement, SQLPOINTER* value);
[[nodiscard]] SQLRETURN SQLPutData(SQLHSTMT statement, SQLPOINTER data, SQLLEN length);

// Transactions and diagnostics.
[[nodiscard]] SQLRETURN SQLEndTran(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT completion);
// record counts from 1; state receives five characters and a NUL.
[[nodiscard]] SQLRETURN SQLGetDiagRec(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state,
                        SQLINTEGER* nativeError, SQLCHAR* message, SQLSMALLINT messageCapacity,
                        SQLSMALLINT* messageLength);

// The installer (odbccp32 on Windows, odbcinst on unixODBC). Its functions
// answer TRUE (nonzero) or FALSE; SQLInstallerError then tells why.

// SQLConfigDataSource's requests.
inline constexpr WORD ODBC_ADD_DSN = 1;
inline constexpr WORD ODBC_CONFIG_DSN = 2;
inline constexpr WORD ODBC_REMOVE_DSN = 3;
inline constexpr WORD ODBC_ADD_SYS_DSN = 4;
inline constexpr WORD ODBC_CONFIG_SYS_DSN = 5;
inline constexpr WORD ODBC_REMOVE_SYS_DSN = 6;

// Which data sources the profile functions read and write.
inline constexpr WORD ODBC_BOTH_DSN = 0;
inline constexpr WORD ODBC_USER_DSN = 1;
inline constexpr WORD ODBC_SYSTEM_DSN = 2;

// Installer error codes.
inline constexpr DWORD ODBC_ERROR_GENERAL_ERR = 1;
inline constexpr DWORD ODBC_ERROR_COMPONENT_NOT_FOUND = 6;
inline constexpr DWORD ODBC_ERROR_INVALID_NAME = 7;
inline constexpr DWORD ODBC_ERROR_INVALID_KEYWORD_VALUE = 8;
inline constexpr DWORD ODBC_ERROR_INVALID_DSN = 9;
inline constexpr DWORD ODBC_ERROR_REQUEST_FAILED = 11;
inline constexpr DWORD ODBC_ERROR_LOAD_LIB_FAILED = 13;
inline constexpr DWORD ODBC_ERROR_CREATE_DSN_FAILED = 18;

// Adds, changes or removes a data source through the driver's own setup
// routine. attributes is a list of "KEY=value" texts, each ended by a NUL,
// with one more NUL at its end. Fails (ODBC_ERROR_LOAD_LIB_FAILED and the
// like) when the driver has no setup routine, as no driver of unixODBC's
// Debian packages has.
[[nodiscard]] int SQLConfigDataSource(SQLHWND window, WORD request, const char* driver, const char* attributes);
// Enters data source dsn with its driver in the data-source list ("odbc.ini"),
// replacing one of that name.
[[nodiscard]] int SQLWriteDSNToIni(const char* dsn, const char* driver);
// Sets key to value in a section of a profile; the file "odbc.ini" is the
// data-source list (the user's or the system's, after SQLSetConfigMode). A
// null key removes the section, a null value the key.
[[nodiscard]] int SQLWritePrivateProfileString(const char* section, const char* key, const char* value,
                                               const char* file);
// Reads a key of a profile section into buffer (NUL-terminated, cut to fit);
// the number of characters read. A null section or key lists the names.
int SQLGetPrivateProfileString(const char* section, const char* key, const char* fallback, char* buffer, int capacity,
                               const char* file);
[[nodiscard]] int SQLSetConfigMode(WORD mode);
// The code and message of error record index (1 to 8) of the last installer
// call.
SQLRETURN SQLInstallerError(WORD index, DWORD* errorCode, char* message, WORD messageCapacity, WORD* messageLength);

}  // namespace kv
