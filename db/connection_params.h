#pragma once
// The two data files of database access: "dsn_table_map.txt" says which data
// source each table lives in, "connparams.txt" how to connect to each data
// source. Both are read once at start into process-wide lists in file order.
//
// A line of "dsn_table_map.txt": table name, data-source name.
// A line of "connparams.txt", words separated by blanks:
//   1 host  2 port  3 DSN  4 user  5 password ("NULL": none)  6 (spare)
//   7 connection name  8 provider  9 database type  10 "YES" (any case) when
//   the rest of the line is the whole connection string
// Words are at most 255 characters and the connection string at most 254.

#include <cstdint>
#include <optional>
#include <string>

namespace kv {

constexpr std::size_t DATA_FILE_WORD_MAX = 255;
constexpr std::size_t CONNECTION_STRING_MAX = 254;

struct DataSourceMapEntry {
  std::string tableName;
  std::string dataSourceName;
};

struct ConnParamsEntry {
  // Words 1 and 2, kept for a provider that wants them (ODBC does not).
  std::string host;
  std::uint16_t port = 0;
  std::string dsn;
  std::string user;
  std::optional<std::string> password;
  std::int32_t spare = 0;
  std::string connectionName;
  std::uint8_t explicitString = 0;
  // The rest of the line when explicitString is 1.
  std::string connectionString;
  std::string providerName;  // "ODBC"
  std::string databaseType;  // "MYSQL", "PGSQL", "FIREBIRD" or "SQLITE"
};

// Reads the map from path, else from "<root>/data/dsn_table_map.txt". False
// with "Cannot open DataSourceMap Entry File.\n" when neither opens.
[[nodiscard]] bool LoadDataSourceMapEntryFromFile(const char* path);
// The entry of a table (any case), or null.
const DataSourceMapEntry* GetDataSourceMapEntry(const char* tableName);
[[nodiscard]] bool CreateDataSourceMapEntry(const char* tableName, const char* dataSourceName);
[[nodiscard]] bool AddDataSourceMapEntry(DataSourceMapEntry entry);
// Removes the first entry of the table (any case); false when there is none.
[[nodiscard]] bool DeleteDataSourceMapEntry(const char* tableName);
void FreeAllDataSourceMapEntries();

// Reads the parameters from path, else from "<root>/data/connparams.txt".
// False with "Cannot open Connection Parameters File.\n" when neither opens.
[[nodiscard]] bool LoadConnParamsEntryFromFile(const char* path);
[[nodiscard]] bool AddConnParamsEntry(ConnParamsEntry entry);
// The entry of a connection name (exactly), or null.
const ConnParamsEntry* GetConnParamsEntry(const char* connectionName);
// The connection name of the first entry; null ("Connection Name IS
// NULL\n") when there is none or it has no name.
const char* GetDefaultConnectionName();
[[nodiscard]] bool FreeConnParamsEntry(const char* connectionName);
void FreeAllConnParamsEntries();

}  // namespace kv
