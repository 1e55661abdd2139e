// The data-source map and connection-parameter files: where they are read
// from, what each line becomes, and the lines that cannot become anything.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "db/connection_params.h"
#include "db/database_state.h"
#include "platform/files.h"
#include "store/store_root.h"
#include "tests/db/db_fixture.h"

namespace kv::test {
namespace {

class DataFilesTest : public DatabaseAccessTest {
 protected:
  // A root a test sets is reset with the rest of the store's state when
  // its database access goes.
  DataFilesTest() { EXPECT_EQ(CreateDirectoryTree(dir_ + "\\data"), 0u); }
  // Writes a file of the directory ("data/x.txt"); its Windows path.
  std::string Write(const std::string& name, const std::string& text) {
    return access_.directory().WriteFile(name, text);
  }
  const std::vector<ConnParamsEntry>& entries() const { return DatabaseAccess().connParams; }

  const std::string dir_ = access_.directory().Directory();
};

TEST_F(DataFilesTest, ConnectionParametersLineByLine) {
  const std::string path = Write("connparams.txt",
                                 "db1 5432 sales sa NULL - main ODBC PGSQL no ignored rest\r\n"
                                 "\n"
                                 "h 0 other u null - second ODBC MYSQL yes DSN=other;UID=u;OPTION=3\n"
                                 "h 0 third u pw - third ODBC SQLITE YES\n");
  ASSERT_TRUE(LoadConnParamsEntryFromFile(path.c_str()));
  ASSERT_EQ(entries().size(), 3u);
  const ConnParamsEntry& main = entries()[0];
  EXPECT_EQ(main.host, "db1");
  EXPECT_EQ(main.port, 5432);
  EXPECT_EQ(main.dsn, "sales");
  EXPECT_EQ(main.user, "sa");
  EXPECT_FALSE(main.password);  // the word NULL
  EXPECT_EQ(main.spare, 0);
  EXPECT_EQ(main.connectionName, "main");
  EXPECT_EQ(main.providerName, "ODBC");
  EXPECT_EQ(main.databaseType, "PGSQL");
  EXPECT_EQ(main.explicitString, 0);
  EXPECT_EQ(main.connectionString, "");
  // "null" in another case is a password; "yes" in any case takes the rest
  // of the line as the whole connection string.
  EXPECT_EQ(entries()[1].password, "null");
  EXPECT_EQ(entries()[1].explicitString, 1);
  EXPECT_EQ(entries()[1].connectionString, "DSN=other;UID=u;OPTION=3");
  EXPECT_EQ(entries()[2].explicitString, 1);
  EXPECT_EQ(entries()[2].connectionString, "");

  EXPECT_EQ(GetConnParamsEntry("second"), &entries()[1]);
  EXPECT_EQ(GetConnParamsEntry("Second"), nullptr);
  EXPECT_STREQ(GetDefaultConnectionName(), "main");
  EXPECT_TRUE(FreeConnParamsEntry("main"));
  EXPECT_FALSE(FreeConnParamsEntry("main"));
  EXPECT_STREQ(GetDefaultConnectionName(), "second");
  FreeAllConnParamsEntries();
  EXPECT_EQ(GetDefaultConnectionName(), nullptr);
  EXPECT_TRUE(log_.Contains("Connection Name IS NULL\n"));
}

TEST_F(DataFilesTest, LinesThatCannotBeEntries) {
  const std::string longWord(256, 'w');
  const std::string longString(255, 's');
  const std::string path = Write("connparams.txt",
                                 "h 0 d u p - first ODBC SQLITE no\n"
                                 "h 0 " +
                                     longWord +
                                     " u p - overlong ODBC SQLITE no\n"
                                     "h x d u p - noport ODBC SQLITE no\n"
                                     "h 0 d u p - longstring ODBC SQLITE YES " +
                                     longString +
                                     "\n"
                                     "h 0 d u p - fits ODBC SQLITE YES " +
                                     longString.substr(1) +
                                     "\n"
                                     "h 0 d u p - missing ODBC SQLITE\n"
                                     "h 0 d u p - after ODBC SQLITE no\n");
  ASSERT_TRUE(LoadConnParamsEntryFromFile(path.c_str()));
  // Skipped: the overlong word, the port that is no number and the string
  // that would be cut; reading stops at the line with too few words.
  ASSERT_EQ(entries().size(), 2u);
  EXPECT_EQ(entries()[0].connectionName, "first");
  EXPECT_EQ(entries()[1].connectionName, "fits");
  EXPECT_EQ(entries()[1].connectionString.size(), 254u);
  EXPECT_TRUE(log_.Contains("Connection Parameters line 2 skipped: a word is longer than 255 characters.\n"));
  EXPECT_TRUE(log_.Contains("Connection Parameters line 6 has 9 of 10 words: reading stops.\n"));
}

TEST_F(DataFilesTest, FilesFallBackToTheDataDirectoryOfTheRoot) {
  EXPECT_FALSE(LoadConnParamsEntryFromFile("C:\\no\\such\\connparams.txt"));
  EXPECT_TRUE(log_.Contains("Cannot open Connection Parameters File.\n"));
  EXPECT_FALSE(LoadDataSourceMapEntryFromFile(nullptr));
  EXPECT_TRUE(log_.Contains("Cannot open DataSourceMap Entry File.\n"));

  Write("data/connparams.txt", "h 0 d u p - fromroot ODBC SQLITE no\n");
  Write("data/dsn_table_map.txt", "KV_ITEMS fromroot\nKV_OWNERS\nKV_BIG fromroot\n");
  SetCFennelRoot(dir_.c_str());
  ASSERT_TRUE(LoadConnParamsEntryFromFile("C:\\no\\such\\connparams.txt"));
  ASSERT_EQ(entries().size(), 1u);
  EXPECT_EQ(entries()[0].connectionName, "fromroot");
  EXPECT_TRUE(log_.Contains("Opening " + dir_ + "/data/connparams.txt\n"));
  ASSERT_TRUE(LoadDataSourceMapEntryFromFile("C:\\no\\such\\map.txt"));
  EXPECT_TRUE(log_.Contains("@@@ Inside LoadDataSourceMapEntryFromFile @@@\n"));
  // The line without a data source ends the reading.
  ASSERT_EQ(DatabaseAccess().dataSourceMap.size(), 1u);
  EXPECT_TRUE(log_.Contains("DataSourceMap line 2 has no data source: reading stops.\n"));
}

TEST_F(DataFilesTest, TheDataSourceMap) {
  const std::string path = Write(
      "map.txt", "KV_ITEMS   main\n\n  Agent\tsecond  extra words\n" + std::string(256, 't') + " main\nLast main");
  ASSERT_TRUE(LoadDataSourceMapEntryFromFile(path.c_str()));
  ASSERT_EQ(DatabaseAccess().dataSourceMap.size(), 3u);
  ASSERT_NE(GetDataSourceMapEntry("kv_items"), nullptr);
  EXPECT_EQ(GetDataSourceMapEntry("kv_items")->dataSourceName, "main");
  EXPECT_EQ(GetDataSourceMapEntry("AGENT")->dataSourceName, "second");
  EXPECT_EQ(GetDataSourceMapEntry("Last")->dataSourceName, "main");
  EXPECT_TRUE(CreateDataSourceMapEntry("KV_OWNERS", "third"));
  EXPECT_TRUE(AddDataSourceMapEntry({"KV_BIG", "fourth"}));
  EXPECT_EQ(GetDataSourceMapEntry("kv_big")->dataSourceName, "fourth");
  EXPECT_TRUE(DeleteDataSourceMapEntry("agent"));
  EXPECT_FALSE(DeleteDataSourceMapEntry("agent"));
  EXPECT_EQ(GetDataSourceMapEntry("Agent"), nullptr);
  FreeAllDataSourceMapEntries();
  EXPECT_EQ(GetDataSourceMapEntry("KV_ITEMS"), nullptr);
}

}  // namespace
}  // namespace kv::test
