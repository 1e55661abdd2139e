// What the ODBC provider makes of its inputs without a database: the
// connection string of a parameter entry and the store type of each ODBC
// type a driver reports.

#include <gtest/gtest.h>

#include <utility>

#include "db/odbc_provider.h"
#include "store/column_types.h"

namespace kv::test {
namespace {

TEST(OdbcConnectionStringTest, FromTheEntry) {
  ConnParamsEntry entry;
  entry.dsn = "sales";
  entry.user = "sa";
  entry.providerName = "ODBC";
  // No Driver keyword: the data source names its driver.
  EXPECT_EQ(OdbcConnectionString(entry), "DSN=sales;UID=sa;;");
  entry.password = "se;cr}et";
  EXPECT_EQ(OdbcConnectionString(entry), "DSN=sales;UID=sa;PWD={se;cr}}et};");
  entry.user.clear();
  entry.password = "";
  EXPECT_EQ(OdbcConnectionString(entry), "DSN=sales;;PWD=;");
  entry.explicitString = 1;
  entry.connectionString = "DSN=sales;Driver={X};Anything=as is";
  EXPECT_EQ(OdbcConnectionString(entry), "DSN=sales;Driver={X};Anything=as is");
}

// The store's type of each ODBC type a driver reports; the Unicode drivers'
// wide character types are their narrow twins, FLOAT is ODBC's double.
TEST(OdbcTypeMapTest, StoreTypesOfOdbcTypes) {
  const std::pair<SQLSMALLINT, int> map[] = {
      {SQL_BIGINT, TARN_SQL_LONG_INT},
      {SQL_SMALLINT, TARN_SQL_SMALLINT},
      {SQL_INTEGER, TARN_SQL_INT},
      {SQL_FLOAT, TARN_SQL_DOUBLE},
      {SQL_DOUBLE, TARN_SQL_DOUBLE},
      {SQL_NUMERIC, TARN_SQL_NUMERIC},
      {SQL_CHAR, TARN_SQL_CHAR},
      {SQL_WCHAR, TARN_SQL_CHAR},
      {SQL_VARCHAR, TARN_SQL_VARCHAR},
      {SQL_WVARCHAR, TARN_SQL_VARCHAR},
      {SQL_LONGVARCHAR, TARN_SQL_BLOB},
      {SQL_WLONGVARCHAR, TARN_SQL_BLOB},
      {SQL_BINARY, TARN_SQL_BLOB},
      {SQL_VARBINARY, TARN_SQL_BLOB},
      {SQL_LONGVARBINARY, TARN_SQL_BLOB},
      {SQL_DATE, TARN_SQL_DATE},
      {SQL_TYPE_DATE, TARN_SQL_DATE},
      {SQL_TIME, TARN_SQL_TIME},
      {SQL_TYPE_TIME, TARN_SQL_TIME},
      {SQL_TIMESTAMP, TARN_SQL_DATETIME},
      {SQL_TYPE_TIMESTAMP, TARN_SQL_DATETIME},
      {SQL_TINYINT, TARN_SQL_BOOLEAN},
      {SQL_BIT, TARN_SQL_BOOLEAN},
      {SQL_REAL, 0},
      {SQL_DECIMAL, 0},
      {SQL_GUID, 0},
      {SQL_UNKNOWN_TYPE, 0},
      {SQL_INTERVAL_YEAR, 0},
      {SQL_INTERVAL_MINUTE_TO_SECOND, 0},
      {1234, 0},
  };
  for (const auto& [odbc, store] : map) EXPECT_EQ(StoreTypeOfSqlType(odbc), store) << odbc;
}

}  // namespace
}  // namespace kv::test
