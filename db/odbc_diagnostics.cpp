#include "db/odbc_diagnostics.h"

#include "base/log_writer.h"

namespace kv {

bool OdbcDiagnostic::ConnectionGone() const {
  if (!present) return false;
  return state.rfind("08", 0) == 0 || state == "57P01" || state == "57P02" || state == "57P03" || native == 2006 ||
         native == 2013;
}

OdbcDiagnostic ReadOdbcDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle) {
  OdbcDiagnostic diagnostic;
  SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
  SQLCHAR message[255] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  if (handle == SQL_NULL_HANDLE ||
      !OdbcSucceeded(SQLGetDiagRec(handleType, handle, 1, state, &native, message, sizeof message, &length)))
    return diagnostic;
  diagnostic.present = true;
  diagnostic.state = reinterpret_cast<const char*>(state);
  diagnostic.native = static_cast<long>(native);
  diagnostic.message = reinterpret_cast<const char*>(message);
  return diagnostic;
}

void LogOdbcDiagnostic(const OdbcDiagnostic& diagnostic, const char* heading) {
  if (heading) LogError("%s", heading);
  if (!diagnostic.present) return;
  LogError("STATE: %s\n", diagnostic.state.c_str());
  LogError("NAT: %ld\n", diagnostic.native);
  LogError("MSG: %s\n", diagnostic.message.c_str());
}

}  // namespace kv
