#include "tests/servers/odbc_config.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace kv::test {
namespace {
namespace fs = std::filesystem;

struct DriverLibrary {
  const char* name;
  const char* file;
  const char* description;
};

constexpr DriverLibrary kDrivers[] = {
    {kSqliteDriver, "libsqlite3odbc.so", "SQLite3 ODBC Driver"},
    {kPostgresUnicodeDriver, "psqlodbcw.so", "PostgreSQL ODBC driver (Unicode version)"},
    {kPostgresAnsiDriver, "psqlodbca.so", "PostgreSQL ODBC driver (ANSI version)"},
    {kMariaDbDriver, "libmaodbc.so", "MariaDB Connector/ODBC (Unicode)"},
};

// Where the drivers of this process's architecture live: Debian puts them in
// the directory "odbc" beside the driver manager the process has loaded.
std::vector<fs::path> DriverDirectories() {
  std::vector<fs::path> directories;
  Dl_info info{};
  if (void* symbol = ::dlsym(RTLD_DEFAULT, "SQLAllocHandle"); symbol && ::dladdr(symbol, &info) && info.dli_fname)
    directories.push_back(fs::path(info.dli_fname).parent_path() / "odbc");
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator("/usr/lib", ignored))
    if (fs::is_directory(entry.path() / "odbc", ignored)) directories.push_back(entry.path() / "odbc");
  for (const char* other : {"/usr/lib/odbc", "/usr/lib64", "/usr/local/lib/odbc", "/usr/local/lib"})
    directories.emplace_back(other);
  return directories;
}

std::string FindDriverLibrary(const char* file) {
  for (const auto& directory : DriverDirectories()) {
    std::error_code ignored;
    if (fs::exists(directory / file, ignored)) return (directory / file).string();
  }
  return {};
}

}  // namespace

OdbcConfig& OdbcConfig::Get() {
  static OdbcConfig config;
  return config;
}

OdbcConfig::OdbcConfig() {
  std::string pattern = (fs::temp_directory_path() / "kv-odbc-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("ODBC configuration: no temporary directory");
  dir_ = pattern;
  std::ofstream drivers(dir_ + "/odbcinst.ini");
  for (const auto& driver : kDrivers) {
    const std::string library = FindDriverLibrary(driver.file);
    if (library.empty()) continue;
    drivers_.push_back(driver.name);
    drivers << "[" << driver.name << "]\nDescription=" << driver.description << "\nDriver=" << library
            << "\nUsageCount=1\n\n";
  }
  std::ofstream(OdbcIni()).flush();
  ::setenv("ODBCSYSINI", dir_.c_str(), 1);
  ::setenv("ODBCINSTINI", "odbcinst.ini", 1);
  ::setenv("ODBCINI", OdbcIni().c_str(), 1);
}

OdbcConfig::~OdbcConfig() {
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

bool OdbcConfig::HasDriver(const std::string& driver) const {
  for (const auto& installed : drivers_)
    if (installed == driver) return true;
  return false;
}

std::string OdbcConfig::MissingDriver(const std::string& driver) const {
  return HasDriver(driver) ? std::string() : "the ODBC driver \"" + driver + "\" is not installed";
}

void OdbcConfig::AddDataSource(const std::string& dsn, const std::string& driver, const OdbcKeys& keys) {
  std::ofstream list(OdbcIni(), std::ios::app);
  list << "[" << dsn << "]\nDriver=" << driver << "\n";
  for (const auto& [key, value] : keys) list << key << "=" << value << "\n";
  list << "\n";
}

std::string OdbcConfig::SqliteDataSource() {
  constexpr const char* kDsn = "kv_sqlite";
  if (!sqliteEntered_) {
    AddDataSource(kDsn, kSqliteDriver, {{"Database", dir_ + "/kvtest.db"}, {"Timeout", "5000"}});
    sqliteEntered_ = true;
  }
  return kDsn;
}

}  // namespace kv::test
