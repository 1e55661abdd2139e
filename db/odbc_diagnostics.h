#pragma once
// What ODBC says about a failure: the first diagnostic record of a handle,
// logged as "STATE: ...", "NAT: ...", "MSG: ...", and whether it means that
// the database can no longer be reached through the connection.

#include <string>

#include "platform/odbc.h"

namespace kv {

[[nodiscard]] inline bool OdbcSucceeded(SQLRETURN result) { return result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO; }

struct OdbcDiagnostic {
  bool present = false;
  std::string state;
  long native = 0;
  std::string message;

  // A communication failure (SQLSTATE class 08), a server that shut down
  // (PostgreSQL's 57P01 to 57P03) or one that went away (MariaDB's 2006
  // and 2013).
  [[nodiscard]] bool ConnectionGone() const;
};

OdbcDiagnostic ReadOdbcDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle);
// Logs the diagnostic at ERROR, after heading when there is one.
void LogOdbcDiagnostic(const OdbcDiagnostic& diagnostic, const char* heading = nullptr);

}  // namespace kv
