// Windows keeps the ODBC configuration in the registry, where the ODBC
// administrator (or SQLConfigDataSource) enters data sources.

#include "platform/odbc_configuration.h"

namespace kv {

bool UseOdbcConfigurationDirectory(std::string_view) { return false; }

}  // namespace kv
