// unixODBC reads its configuration from the files that ODBCSYSINI,
// ODBCINSTINI and ODBCINI name, once, at its first use.

#include "platform/odbc_configuration.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/files.h"

namespace kv {

bool UseOdbcConfigurationDirectory(std::string_view directory) {
  const std::string host = MapPath(directory);
  struct stat status {};
  if (host.empty() || ::stat(host.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return false;
  // Without drivers of its own the directory uses the system's.
  const std::string drivers = host + "/odbcinst.ini";
  if (::stat(drivers.c_str(), &status) == 0 &&
      (::setenv("ODBCSYSINI", host.c_str(), 1) != 0 || ::setenv("ODBCINSTINI", "odbcinst.ini", 1) != 0))
    return false;
  return ::setenv("ODBCINI", (host + "/odbc.ini").c_str(), 1) == 0;
}

}  // namespace kv
