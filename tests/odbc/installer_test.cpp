// The ODBC installer through the seam: a driver without a setup routine
// cannot add a data source through SQLConfigDataSource, and the installer's
// profile functions write one that works, into the test program's odbc.ini.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/odbc.h"
#include "tests/odbc/odbc_session.h"
#include "tests/servers/odbc_config.h"
#include "tests/support/child_process.h"

namespace kv::test {
namespace {

class OdbcInstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string missing = config_.MissingDriver(kSqliteDriver); !missing.empty()) GTEST_SKIP() << missing;
  }
  OdbcConfig& config_ = OdbcConfig::Get();
};

TEST_F(OdbcInstallerTest, ConfigDataSourceFailsWithoutTheDriversSetupRoutine) {
  const std::string database = config_.Directory() + "/configured.db";
  // "KEY=value" texts, each ended by a NUL, and a NUL after the last.
  const std::string attributes = "DSN=kv_configured" + std::string(1, '\0') + "Database=" + database + '\0';
  EXPECT_FALSE(SQLConfigDataSource(nullptr, ODBC_ADD_DSN, kSqliteDriver, attributes.c_str()));

  DWORD code = 0;
  char message[SQL_MAX_MESSAGE_LENGTH] = {};
  WORD length = 0;
  ASSERT_TRUE(Succeeded(SQLInstallerError(1, &code, message, sizeof message, &length)));
  EXPECT_NE(code, 0u) << message;
  EXPECT_EQ(ReadWholeFile(config_.OdbcIni()).find("[kv_configured]"), std::string::npos);
}

TEST_F(OdbcInstallerTest, ProfileFunctionsWriteAWorkingDataSource) {
  const std::string database = config_.Directory() + "/written.db";
  ASSERT_TRUE(SQLWriteDSNToIni("kv_written", kSqliteDriver));
  ASSERT_TRUE(SQLWritePrivateProfileString("kv_written", "Database", database.c_str(), "odbc.ini"));

  char read[512] = {};
  EXPECT_EQ(SQLGetPrivateProfileString("kv_written", "Database", "", read, sizeof read, "odbc.ini"),
            static_cast<int>(database.size()));
  EXPECT_EQ(std::string(read), database);
  // The entry is in the test program's own list, not the system's.
  const std::string list = ReadWholeFile(config_.OdbcIni());
  EXPECT_NE(list.find("[kv_written]"), std::string::npos) << list;
  EXPECT_NE(list.find(database), std::string::npos) << list;

  OdbcSession session;
  ASSERT_TRUE(session.Connect("DSN=kv_written;")) << session.Error();
  ASSERT_TRUE(session.Execute("create table kv_written_rows (id int)")) << session.Error();
  ASSERT_TRUE(session.Execute("insert into kv_written_rows values (7)")) << session.Error();
  const auto result = session.Query("select id from kv_written_rows");
  ASSERT_TRUE(result) << session.Error();
  EXPECT_EQ(result->rows, (std::vector<TextRow>{{"7"}}));
  EXPECT_TRUE(std::filesystem::exists(database));
}

TEST_F(OdbcInstallerTest, RemovingAKeyAndTheSection) {
  ASSERT_TRUE(SQLWriteDSNToIni("kv_removed", kSqliteDriver));
  ASSERT_TRUE(SQLWritePrivateProfileString("kv_removed", "Timeout", "100", "odbc.ini"));
  ASSERT_TRUE(SQLWritePrivateProfileString("kv_removed", "Timeout", nullptr, "odbc.ini"));
  char read[64] = {};
  SQLGetPrivateProfileString("kv_removed", "Timeout", "none", read, sizeof read, "odbc.ini");
  EXPECT_EQ(std::string(read), "none");
  ASSERT_TRUE(SQLWritePrivateProfileString("kv_removed", nullptr, nullptr, "odbc.ini"));
  EXPECT_EQ(ReadWholeFile(config_.OdbcIni()).find("[kv_removed]"), std::string::npos);
}

}  // namespace
}  // namespace kv::test
