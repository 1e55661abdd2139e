#pragma once
// Where the ODBC driver manager of this process finds its drivers and data
// sources.

#include <string_view>

namespace kv {

// Makes the driver manager read its data sources from "odbc.ini" in a
// directory (a path of the machine) instead of the system's configuration,
// and its drivers from "odbcinst.ini" there when the directory has one. To be called before the first
// ODBC call. False where the configuration cannot be changed so (Windows
// keeps it in the registry) or the directory does not exist.
[[nodiscard]] bool UseOdbcConfigurationDirectory(std::string_view directory);

}  // namespace kv
