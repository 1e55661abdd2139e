#pragma once
// The ODBC API as the forwarding backend (odbc.cpp) sees it; no other file
// includes this header. It includes the platform's own ODBC headers first,
// then takes out of the way every macro whose name platform/odbc.h declares,
// so that after it such a name always means the seam's. The backend calls
// the driver manager by the :: prefix.
//
// Before a macro goes, its value is kept in kv::odbc_native (as name_), so
// that odbc.cpp can prove at compile time that the seam's values and types
// are the platform's own. A new constant in the seam breaks the build until
// it is added to both lists below.

#if defined(_WIN32)
// <sql.h> is written against <windows.h>, which the Windows backend brings in
// with its own colliding macros already taken out.
#include "platform/win32/windows_api.h"
#endif

// Only the narrow functions: the seam's names never turn into the W ones.
#ifndef SQL_NOUNICODEMAP
#define SQL_NOUNICODEMAP
#endif
// clang-format off: <sql.h> comes before its extensions
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>
// clang-format on

// Numeric macros whose names the seam also declares.
#define KV_ODBC_COLLIDING_CONSTANTS(X) \
  X(SQL_SUCCESS)                       \
  X(SQL_SUCCESS_WITH_INFO)             \
  X(SQL_STILL_EXECUTING)               \
  X(SQL_NEED_DATA)                     \
  X(SQL_NO_DATA)                       \
  X(SQL_ERROR)                         \
  X(SQL_INVALID_HANDLE)                \
  X(SQL_NULL_DATA)                     \
  X(SQL_DATA_AT_EXEC)                  \
  X(SQL_NTS)                           \
  X(SQL_LEN_DATA_AT_EXEC_OFFSET)       \
  X(SQL_MAX_MESSAGE_LENGTH)            \
  X(SQL_SQLSTATE_SIZE)                 \
  X(SQL_HANDLE_ENV)                    \
  X(SQL_HANDLE_DBC)                    \
  X(SQL_HANDLE_STMT)                   \
  X(SQL_HANDLE_DESC)                   \
  X(SQL_ATTR_ODBC_VERSION)             \
  X(SQL_OV_ODBC2)                      \
  X(SQL_OV_ODBC3)                      \
  X(SQL_ATTR_AUTOCOMMIT)               \
  X(SQL_AUTOCOMMIT_OFF)                \
  X(SQL_AUTOCOMMIT_ON)                 \
  X(SQL_IS_POINTER)                    \
  X(SQL_IS_UINTEGER)                   \
  X(SQL_IS_INTEGER)                    \
  X(SQL_DRIVER_NOPROMPT)               \
  X(SQL_DRIVER_COMPLETE)               \
  X(SQL_DRIVER_PROMPT)                 \
  X(SQL_DRIVER_COMPLETE_REQUIRED)      \
  X(SQL_COMMIT)                        \
  X(SQL_ROLLBACK)                      \
  X(SQL_CLOSE)                         \
  X(SQL_DROP)                          \
  X(SQL_UNBIND)                        \
  X(SQL_RESET_PARAMS)                  \
  X(SQL_NO_NULLS)                      \
  X(SQL_NULLABLE)                      \
  X(SQL_NULLABLE_UNKNOWN)              \
  X(SQL_UNKNOWN_TYPE)                  \
  X(SQL_CHAR)                          \
  X(SQL_NUMERIC)                       \
  X(SQL_DECIMAL)                       \
  X(SQL_INTEGER)                       \
  X(SQL_SMALLINT)                      \
  X(SQL_FLOAT)                         \
  X(SQL_REAL)                          \
  X(SQL_DOUBLE)                        \
  X(SQL_DATETIME)                      \
  X(SQL_DATE)                          \
  X(SQL_INTERVAL)                      \
  X(SQL_TIME)                          \
  X(SQL_TIMESTAMP)                     \
  X(SQL_VARCHAR)                       \
  X(SQL_TYPE_DATE)                     \
  X(SQL_TYPE_TIME)                     \
  X(SQL_TYPE_TIMESTAMP)                \
  X(SQL_LONGVARCHAR)                   \
  X(SQL_BINARY)                        \
  X(SQL_VARBINARY)                     \
  X(SQL_LONGVARBINARY)                 \
  X(SQL_BIGINT)                        \
  X(SQL_TINYINT)                       \
  X(SQL_BIT)                           \
  X(SQL_WCHAR)                         \
  X(SQL_WVARCHAR)                      \
  X(SQL_WLONGVARCHAR)                  \
  X(SQL_GUID)                          \
  X(SQL_INTERVAL_YEAR)                 \
  X(SQL_INTERVAL_MONTH)                \
  X(SQL_INTERVAL_DAY)                  \
  X(SQL_INTERVAL_HOUR)                 \
  X(SQL_INTERVAL_MINUTE)               \
  X(SQL_INTERVAL_SECOND)               \
  X(SQL_INTERVAL_YEAR_TO_MONTH)        \
  X(SQL_INTERVAL_DAY_TO_HOUR)          \
  X(SQL_INTERVAL_DAY_TO_MINUTE)        \
  X(SQL_INTERVAL_DAY_TO_SECOND)        \
  X(SQL_INTERVAL_HOUR_TO_MINUTE)       \
  X(SQL_INTERVAL_HOUR_TO_SECOND)       \
  X(SQL_INTERVAL_MINUTE_TO_SECOND)     \
  X(SQL_C_CHAR)                        \
  X(SQL_C_WCHAR)                       \
  X(SQL_C_BINARY)                      \
  X(SQL_C_DEFAULT)                     \
  X(SQL_PARAM_INPUT)                   \
  X(ODBC_ADD_DSN)                      \
  X(ODBC_CONFIG_DSN)                   \
  X(ODBC_REMOVE_DSN)                   \
  X(ODBC_ADD_SYS_DSN)                  \
  X(ODBC_CONFIG_SYS_DSN)               \
  X(ODBC_REMOVE_SYS_DSN)               \
  X(ODBC_BOTH_DSN)                     \
  X(ODBC_USER_DSN)                     \
  X(ODBC_SYSTEM_DSN)                   \
  X(ODBC_ERROR_GENERAL_ERR)            \
  X(ODBC_ERROR_COMPONENT_NOT_FOUND)    \
  X(ODBC_ERROR_INVALID_NAME)           \
  X(ODBC_ERROR_INVALID_KEYWORD_VALUE)  \
  X(ODBC_ERROR_INVALID_DSN)            \
  X(ODBC_ERROR_REQUEST_FAILED)         \
  X(ODBC_ERROR_LOAD_LIB_FAILED)        \
  X(ODBC_ERROR_CREATE_DSN_FAILED)

namespace kv::odbc_native {

#define KV_ODBC_KEEP(name) inline constexpr auto name##_ = name;
KV_ODBC_COLLIDING_CONSTANTS(KV_ODBC_KEEP)
#undef KV_ODBC_KEEP

constexpr long long SQL_LEN_DATA_AT_EXEC_(long long length) { return SQL_LEN_DATA_AT_EXEC(length); }

// The platform's types, some of which are macros on 32-bit platforms.
using SQLINTEGER_ = SQLINTEGER;
using SQLUINTEGER_ = SQLUINTEGER;
using SQLLEN_ = SQLLEN;
using SQLULEN_ = SQLULEN;
using SQLSMALLINT_ = SQLSMALLINT;
using SQLUSMALLINT_ = SQLUSMALLINT;
using SQLCHAR_ = SQLCHAR;
using SQLPOINTER_ = SQLPOINTER;
using SQLRETURN_ = SQLRETURN;
using SQLHANDLE_ = SQLHANDLE;
using SQLHWND_ = SQLHWND;

}  // namespace kv::odbc_native

#undef SQL_SUCCESS
#undef SQL_SUCCESS_WITH_INFO
#undef SQL_STILL_EXECUTING
#undef SQL_NEED_DATA
#undef SQL_NO_DATA
#undef SQL_ERROR
#undef SQL_INVALID_HANDLE
#undef SQL_NULL_DATA
#undef SQL_DATA_AT_EXEC
#undef SQL_NTS
#undef SQL_LEN_DATA_AT_EXEC_OFFSET
#undef SQL_MAX_MESSAGE_LENGTH
#undef SQL_SQLSTATE_SIZE
#undef SQL_HANDLE_ENV
#undef SQL_HANDLE_DBC
#undef SQL_HANDLE_STMT
#undef SQL_HANDLE_DESC
#undef SQL_ATTR_ODBC_VERSION
#undef SQL_OV_ODBC2
#undef SQL_OV_ODBC3
#undef SQL_ATTR_AUTOCOMMIT
#undef SQL_AUTOCOMMIT_OFF
#undef SQL_AUTOCOMMIT_ON
#undef SQL_IS_POINTER
#undef SQL_IS_UINTEGER
#undef SQL_IS_INTEGER
#undef SQL_DRIVER_NOPROMPT
#undef SQL_DRIVER_COMPLETE
#undef SQL_DRIVER_PROMPT
#undef SQL_DRIVER_COMPLETE_REQUIRED
#undef SQL_COMMIT
#undef SQL_ROLLBACK
#undef SQL_CLOSE
#undef SQL_DROP
#undef SQL_UNBIND
#undef SQL_RESET_PARAMS
#undef SQL_NO_NULLS
#undef SQL_NULLABLE
#undef SQL_NULLABLE_UNKNOWN
#undef SQL_UNKNOWN_TYPE
#undef SQL_CHAR
#undef SQL_NUMERIC
#undef SQL_DECIMAL
#undef SQL_INTEGER
#undef SQL_SMALLINT
#undef SQL_FLOAT
#undef SQL_REAL
#undef SQL_DOUBLE
#undef SQL_DATETIME
#undef SQL_DATE
#undef SQL_INTERVAL
#undef SQL_TIME
#undef SQL_TIMESTAMP
#undef SQL_VARCHAR
#undef SQL_TYPE_DATE
#undef SQL_TYPE_TIME
#undef SQL_TYPE_TIMESTAMP
#undef SQL_LONGVARCHAR
#undef SQL_BINARY
#undef SQL_VARBINARY
#undef SQL_LONGVARBINARY
#undef SQL_BIGINT
#undef SQL_TINYINT
#undef SQL_BIT
#undef SQL_WCHAR
#undef SQL_WVARCHAR
#undef SQL_WLONGVARCHAR
#undef SQL_GUID
#undef SQL_INTERVAL_YEAR
#undef SQL_INTERVAL_MONTH
#undef SQL_INTERVAL_DAY
#undef SQL_INTERVAL_HOUR
#undef SQL_INTERVAL_MINUTE
#undef SQL_INTERVAL_SECOND
#undef SQL_INTERVAL_YEAR_TO_MONTH
#undef SQL_INTERVAL_DAY_TO_HOUR
#undef SQL_INTERVAL_DAY_TO_MINUTE
#undef SQL_INTERVAL_DAY_TO_SECOND
#undef SQL_INTERVAL_HOUR_TO_MINUTE
#undef SQL_INTERVAL_HOUR_TO_SECOND
#undef SQL_INTERVAL_MINUTE_TO_SECOND
#undef SQL_C_CHAR
#undef SQL_C_WCHAR
#undef SQL_C_BINARY
#undef SQL_C_DEFAULT
#undef SQL_PARAM_INPUT
#undef ODBC_ADD_DSN
#undef ODBC_CONFIG_DSN
#undef ODBC_REMOVE_DSN
#undef ODBC_ADD_SYS_DSN
#undef ODBC_CONFIG_SYS_DSN
#undef ODBC_REMOVE_SYS_DSN
#undef ODBC_BOTH_DSN
#undef ODBC_USER_DSN
#undef ODBC_SYSTEM_DSN
#undef ODBC_ERROR_GENERAL_ERR
#undef ODBC_ERROR_COMPONENT_NOT_FOUND
#undef ODBC_ERROR_INVALID_NAME
#undef ODBC_ERROR_INVALID_KEYWORD_VALUE
#undef ODBC_ERROR_INVALID_DSN
#undef ODBC_ERROR_REQUEST_FAILED
#undef ODBC_ERROR_LOAD_LIB_FAILED
#undef ODBC_ERROR_CREATE_DSN_FAILED
#undef SQL_NULL_HANDLE
#undef SQL_NULL_HENV
#undef SQL_NULL_HDBC
#undef SQL_NULL_HSTMT
#undef SQL_LEN_DATA_AT_EXEC
#undef SQLLEN
#undef SQLULEN
