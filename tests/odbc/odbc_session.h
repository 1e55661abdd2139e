#pragma once
// An ODBC environment and connection for a test, made through the seam and
// freed when the object goes, with the few operations the tests repeat.

#include <optional>
#include <string>
#include <vector>

#include "platform/odbc.h"

namespace kv::test {

struct DescribedColumn {
  std::string name;
  SQLSMALLINT type = 0;
  SQLULEN size = 0;
};

// A query's rows as text; a NULL value is absent.
using TextRow = std::vector<std::optional<std::string>>;

struct TextResult {
  std::vector<DescribedColumn> columns;
  std::vector<TextRow> rows;
};

// A statement handle freed when the object goes.
class OdbcStatement {
 public:
  explicit OdbcStatement(SQLHDBC connection);
  ~OdbcStatement();
  OdbcStatement(const OdbcStatement&) = delete;
  OdbcStatement& operator=(const OdbcStatement&) = delete;
  SQLHSTMT get() const { return handle_; }

 private:
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

class OdbcSession {
 public:
  // version: the ODBC behaviour the environment asks for (SQL_OV_ODBC3 or
  // SQL_OV_ODBC2).
  explicit OdbcSession(SQLULEN version = SQL_OV_ODBC3);
  ~OdbcSession();
  OdbcSession(const OdbcSession&) = delete;
  OdbcSession& operator=(const OdbcSession&) = delete;

  // Connects with a connection string ("DSN=...;"); on failure Error() says why.
  [[nodiscard]] bool Connect(const std::string& connectionString);
  void Disconnect();
  SQLHDBC connection() const { return connection_; }

  // Runs a statement that returns no rows.
  [[nodiscard]] bool Execute(const std::string& sql);
  // Runs a query, binding every column as text; nullopt on failure.
  std::optional<TextResult> Query(const std::string& sql);
  // Describes the columns of a query without fetching.
  std::optional<std::vector<DescribedColumn>> Describe(const std::string& sql);

  // The first diagnostic of the last failure: "STATE native: message".
  const std::string& Error() const { return error_; }
  // Keeps the first diagnostic record of a handle as the error; false.
  bool Fail(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& what);

 private:
  SQLHENV environment_ = SQL_NULL_HENV;
  SQLHDBC connection_ = SQL_NULL_HDBC;
  bool connected_ = false;
  std::string error_;
};

bool Succeeded(SQLRETURN result);

// A statement's text as ODBC takes it (ODBC does not change it).
inline SQLCHAR* SqlText(const std::string& text) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())); }

// The first diagnostic record of a handle: "STATE native: message".
std::string Diagnostic(SQLSMALLINT handleType, SQLHANDLE handle);

// The name of an SQL type code ("SQL_WVARCHAR"), or its number.
std::string SqlTypeName(SQLSMALLINT type);

}  // namespace kv::test
