// The store's start-up on its data directory and its shut-down.

#include "dbstore/store_init.h"

#include <gtest/gtest.h>

#include "base/log_writer.h"
#include "db/database_state.h"
#include "dbstore/table_load.h"
#include "store/data_dictionary.h"
#include "store/table_data.h"
#include "tests/dbstore/store_fixture.h"

namespace kv::test {
namespace {

const TextRows kDevices = {{"1", "WEB01", "Windows Server 2016", "2024-05-02", "1", "16"},
                           {"2", "PC-ANNA", "Windows 10 Pro", "2024-05-01", "0", "8"},
                           {"3", "DB01", "Windows Server 2019", "2024-04-28", "1", "64"}};
const TextRows kPatches = {{"1", "1", "KB4056892", "2024-04-30 22:15:00"},
                           {"2", "3", "KB4056898", "2024-04-29 03:00:00"}};

TEST_P(StoreTest, StartsOnAFreshDatabaseAndAgainOnTheTablesItMade) {
  ASSERT_TRUE(Init()) << LogErrors(log_);
  EXPECT_TRUE(CFennel().freshDatabase);
  EXPECT_EQ(DatabaseAccess().perTableDataSources, 1);
  // The default data: written to the database, in memory as saved rows.
  EXPECT_EQ(TableRows("DEVICES"), kDevices);
  EXPECT_EQ(TableRows("PATCHES"), kPatches);
  EXPECT_EQ(RowStates("DEVICES"), (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(Rows("select PARAM_NAME, PARAM_VALUE from Agentparams order by PARAM_NAME"),
            (TextRows{{"RESOURCE_ID", "1234"}, {"SERVER", "mgmt.example.com"}}));
  EXPECT_EQ(Rows("select SEQNAME, CURRENTBATCHEND from SeqGenState order by SEQNAME"),
            (TextRows{{"DEVICE_SEQ", "300"}, {"PATCH_SEQ", "300"}}));
  EXPECT_TRUE(log_.Contains("Welcome to CFennel.  You have successfully initialised"));

  DeInitCFennel();
  EXPECT_EQ(GetTableDataByName("DEVICES"), nullptr);
  EXPECT_EQ(GetTableDefn("DEVICES"), nullptr);
  EXPECT_EQ(CFennel().memoryPoolUsers, 0);
  EXPECT_FALSE(IsLogOpen());

  // The tables exist now: the first CREATE TABLE fails, nothing is written
  // again, and the tables load with their rows.
  ASSERT_TRUE(Init());
  EXPECT_FALSE(CFennel().freshDatabase);
  EXPECT_EQ(TableRows("DEVICES"), kDevices);
  EXPECT_EQ(TableRows("PATCHES"), kPatches);
  EXPECT_EQ(Rows("select count(*) from DEVICES"), (TextRows{{"3"}}));
  // The store's own log, under the root now that none was open.
  EXPECT_TRUE(data_->machine.Exists("drive_c/store/logs/cfennel.log"));
  // The generators go on after the batch the first run reserved.
  const RowObject* added = AddNewRow("DEVICES", {});
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(TableRows("DEVICES").back()[0], "301");
}

INSTANTIATE_TEST_SUITE_P(Databases, StoreTest, ::testing::ValuesIn(StoreDatabaseNames()), DatabaseName);

struct FatalStep {
  const char* file;
  const char* content;  // null: the file is missing
  std::vector<const char*> messages;
};

class StoreStartTest : public StoreFixture, public ::testing::WithParamInterface<FatalStep> {};

TEST_P(StoreStartTest, AFatalStepEndsTheStartWithItsMessage) {
  const FatalStep& step = GetParam();
  if (step.content)
    data_->Write(step.file, step.content);
  else
    data_->Remove(step.file);
  EXPECT_FALSE(Init());
  for (const char* message : step.messages) EXPECT_TRUE(log_.Contains(message)) << message << "\n" << LogErrors(log_);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, StoreStartTest,
    ::testing::Values(
        FatalStep{
            "datadictionary.txt", nullptr, {"Cannot open DataDictionary File.\n", "LoadAllDataDictFiles failed.\n"}},
        FatalStep{"dsn_table_map.txt",
                  nullptr,
                  {"Cannot open DataSourceMap Entry File.\n", "LoadDataSourceMapEntryFromFile failed.\n"}},
        FatalStep{"connparams.txt",
                  nullptr,
                  {"Cannot open Connection Parameters File.\n", "LoadConnParamsEntryFromFile failed.\n"}},
        FatalStep{"connparams.txt", "", {"No entires in data source vector. InitCFennel failed.\n"}},
        // A line with missing words makes no entry.
        FatalStep{"connparams.txt", "localhost 0 kv_sqlite\n", {"No entires in data source vector."}},
        FatalStep{"connparams.txt",
                  "localhost 0 kv_no_such_source - NULL - store ODBC SQLITE NO\n",
                  {"Cannot establish connection.\n", "EstablishDBConnections failed.\n"}},
        FatalStep{"defaultdata.txt", "agentparams.xml missing.xml\n", {"Cannot save default data.\n"}},
        // Every document counts, not only the last.
        FatalStep{"defaultdata.txt",
                  "missing.xml agentparams.xml\n",
                  {"Cannot save default data from C:\\store/data/missing.xml.\n", "Cannot save default data.\n"}}));

// A name that is no plain SQL identifier never reaches the database: its
// table is left out of the dictionary, and every other table is made.
TEST_P(StoreTest, ANameThatIsNoIdentifierLeavesOutItsTableAlone) {
  data_->AddTable("evil.xml",
                  "<table name=\"EVIL\"><columns>"
                  "<column name=\"RAM_GB INTEGER); DROP TABLE Agentparams; --\"><data-type>INTEGER</data-type></column>"
                  "</columns></table>",
                  "EVIL");
  ASSERT_TRUE(Init()) << LogErrors(log_);
  EXPECT_TRUE(log_.Contains(
      "Name RAM_GB INTEGER); DROP TABLE Agentparams; -- in table EVIL is not a plain SQL identifier: the table is left "
      "out\n"));
  EXPECT_EQ(GetTableDefn("EVIL"), nullptr);
  EXPECT_EQ(Rows("select count(*) from Agentparams"), (TextRows{{"2"}}));
}

TEST_F(StoreFixture, MissingListsOnlyLeaveTheirMessages) {
  data_->Remove("loadtablelist.txt");
  data_->Remove("defaultdata.txt");
  ASSERT_TRUE(Init()) << LogErrors(log_);
  EXPECT_TRUE(log_.Contains("Cannot open LoadTableList Entry File.\n"));
  EXPECT_TRUE(
      log_.Contains("Error in loading tables from loadtablelist.txt.  Please check if there are any entries in your "
                    "loadtablelist.txt or load the required tables manually.\n"));
  EXPECT_TRUE(log_.Contains("No default data to be prepopulated.\n"));
  EXPECT_EQ(GetTableDataByName("DEVICES"), nullptr);
  EXPECT_EQ(Rows("select count(*) from DEVICES"), (TextRows{{"0"}}));
}

TEST_F(StoreFixture, AnEntryWithItsOwnConnectionStringLeavesPerTableDataSourcesOff) {
  data_->Write("connparams.txt", StoreDataDirectory::ConnParamsLine(database(), "YES") + " DSN=kv_sqlite;\n");
  (void)Init();
  EXPECT_EQ(DatabaseAccess().perTableDataSources, 0);
  ASSERT_FALSE(DatabaseAccess().connParams.empty());
  EXPECT_EQ(DatabaseAccess().connParams.front().connectionString, "DSN=kv_sqlite;");
}

TEST_F(StoreFixture, ADataFileBesideTheCurrentDirectoryComesFirst) {
  // "..\data" from C:\app\bin is C:\app\data: its default-data list and the
  // documents it names are taken from there, the other files from the root.
  data_->machine.WriteMachineJson(R"({"cwd": "C:\\app\\bin"})");
  data_->machine.Use();
  data_->machine.MakeDirectory("drive_c/app/bin");
  data_->machine.WriteFile("drive_c/app/data/defaultdata.txt", "fewer.xml\n");
  data_->machine.WriteFile("drive_c/app/data/fewer.xml",
                           "<Defaults><Agentparams PARAM_NAME=\"ONLY\" PARAM_VALUE=\"here\"/></Defaults>");
  ASSERT_TRUE(Init()) << LogErrors(log_);
  EXPECT_EQ(TableRows("Agentparams"), (TextRows{{"ONLY", "here"}}));
  EXPECT_TRUE(TableRows("DEVICES").empty());
  EXPECT_TRUE(log_.Contains("Opening C:\\store/data/datadictionary.txt\n"));
}

}  // namespace
}  // namespace kv::test
