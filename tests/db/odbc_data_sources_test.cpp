// ODBC data sources made by the store, in the test program's own list of
// data sources: SQLite's driver has no set-up routine, so the data source
// is written by the installer's profile functions, and it works.

#include "db/odbc_data_sources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "db/connection_pool.h"
#include "db/db_statements.h"
#include "tests/db/db_fixture.h"
#include "tests/servers/odbc_config.h"
#include "tests/support/child_process.h"

namespace kv::test {
namespace {

class OdbcDataSourcesTest : public DatabaseAccessTest {
 protected:
  void SetUp() override {
    if (const std::string missing = OdbcConfig::Get().MissingDriver(kSqliteDriver); !missing.empty())
      GTEST_SKIP() << missing;
  }
  // The section of a data source in the list, up to the next section.
  static std::string Section(const std::string& dsn) {
    const std::string list = ReadWholeFile(OdbcConfig::Get().OdbcIni());
    const std::size_t start = list.find("[" + dsn + "]");
    if (start == std::string::npos) return {};
    return list.substr(start, list.find("\n[", start + 1) - start);
  }
};

TEST_F(OdbcDataSourcesTest, DataSourcesFromAFileWork) {
  const std::string database = OdbcConfig::Get().Directory() + "/made.db";
  const std::string path =
      WriteDbTestFile("dsns.txt", "kv_made A-description NULL root NULL " + database + "   " + kSqliteDriver + "\n" +
                                      "kv_nodriver d s u p " + database + "\n" + "kv_short d s u p\n" +
                                      "kv_after d s u p " + database + " " + kSqliteDriver + "\n");
  ASSERT_TRUE(CreateDSNFromFile(path.c_str()));
  EXPECT_TRUE(log_.Contains("Creating DSN kv_nodriver Failed\n"));
  // Reading stops at the line that has too few words.
  EXPECT_EQ(Section("kv_after"), "");

  const std::string section = Section("kv_made");
  EXPECT_NE(section.find("DESCRIPTION=A-description"), std::string::npos) << section;
  EXPECT_NE(section.find("UID=root"), std::string::npos) << section;
  EXPECT_NE(section.find("DATABASE=" + database), std::string::npos) << section;
  // The word NULL leaves a key out.
  EXPECT_EQ(section.find("PWD"), std::string::npos) << section;
  EXPECT_EQ(section.find("SERVER"), std::string::npos) << section;

  ConnParamsEntry entry;
  entry.dsn = "kv_made";
  entry.connectionName = "made";
  entry.providerName = "ODBC";
  std::unique_ptr<DBConnection> connection = OpenDBConnection(&entry);
  ASSERT_NE(connection, nullptr) << LogErrors(log_);
  EXPECT_TRUE(ExecuteUpdate(connection.get(), "create table made (id integer)"));
  CloseDBConnection(std::move(connection));
  EXPECT_TRUE(std::filesystem::exists(database));
}

TEST_F(OdbcDataSourcesTest, WhatCannotBeADataSource) {
  EXPECT_FALSE(CreateDSN(nullptr, "d", "s", "u", "p", "db", kSqliteDriver));
  EXPECT_FALSE(CreateDSN("kv_x", "d", "s", "u", "p", "db", nullptr));
  EXPECT_TRUE(log_.Contains("DriverName or DSN name is NULL \n"));
  EXPECT_FALSE(CreateDSNFromFile("/no/such/dsns.txt"));
  EXPECT_TRUE(log_.Contains("Error opening File /no/such/dsns.txt \n"));
}

}  // namespace
}  // namespace kv::test
