// Tables loaded from the database: the load list, whole tables, queries and
// views, and tables taken out of memory again.

#include "dbstore/table_load.h"

#include <gtest/gtest.h>

#include "base/log_writer.h"
#include "dbstore/store_init.h"
#include "store/result_data.h"
#include "store/table_data.h"
#include "tests/dbstore/store_fixture.h"

namespace kv::test {
namespace {

// A store started on the example's tables, made by a first start.
class TableLoadTest : public StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(Init()) << LogErrors(log_);
    DeInitCFennel();
  }

  std::vector<std::string> DeviceNames() {
    std::vector<std::string> names;
    for (const auto& row : TableRows("DEVICES")) names.push_back(row[1].value_or("NULL"));
    return names;
  }
};

TEST_F(TableLoadTest, TheLoadListTakesAQueryOnlyWhenItSaysSelect) {
  data_->Write("loadtablelist.txt",
               "DEVICES select * from DEVICES where RAM_GB > 10\n"
               "PATCHES Select * from PATCHES where PATCH_ID = 1\n" +
                   std::string(300, 'x') +
                   "\n"
                   "Agentparams whatever follows\r\n");
  ASSERT_TRUE(Init()) << LogErrors(log_);
  EXPECT_EQ(DeviceNames(), (std::vector<std::string>{"WEB01", "DB01"}));
  // "Select" is neither accepted spelling: the whole table.
  EXPECT_EQ(TableRows("PATCHES").size(), 2u);
  EXPECT_EQ(TableRows("Agentparams").size(), 2u);
  EXPECT_TRUE(Logged("loadtablelist.txt line 3 left out: it is longer than 254 characters.\n"));
}

TEST_F(TableLoadTest, ATableWhoseDatabaseTableHasAnotherColumnIsNotLoaded) {
  ASSERT_TRUE(Init());
  ASSERT_TRUE(Execute("alter table DEVICES add EXTRA int"));
  ASSERT_TRUE(UnLoadTable("DEVICES"));
  EXPECT_FALSE(LoadTable("DEVICES"));
  EXPECT_TRUE(
      Logged("\nLoadTable Failed for DEVICES table as there is mismatch between table definition in datadictionary and "
             "actual table in database\n"));
  EXPECT_EQ(GetTableDataByName("DEVICES"), nullptr);
}

TEST_F(TableLoadTest, ATableInMemoryIsUnloadedBeforeItLoadsAgain) {
  ASSERT_TRUE(Init());
  EXPECT_FALSE(LoadTable("DEVICES"));
  EXPECT_TRUE(Logged("CreateTable Failed \n"));
  EXPECT_FALSE(LoadTable("NO_SUCH_TABLE"));

  // Changes in memory that were never saved go with the table.
  ASSERT_EQ(DeleteRowObject("DEVICES", GetTableDataByName("DEVICES")->firstRow), 1);
  ASSERT_NE(AddNewRow("DEVICES", {}), nullptr);
  ASSERT_TRUE(UnLoadTable("DEVICES"));
  EXPECT_FALSE(UnLoadTable("DEVICES"));
  ASSERT_TRUE(LoadTable("DEVICES"));
  EXPECT_EQ(DeviceNames(), (std::vector<std::string>{"WEB01", "PC-ANNA", "DB01"}));

  // A list of its own names the tables to load.
  UnLoadAllTable();
  data_->Write("only-patches.txt", "PATCHES\n");
  EXPECT_TRUE(LoadTablesFromFile("C:\\store\\data\\only-patches.txt"));
  EXPECT_EQ(GetTableDataByName("DEVICES"), nullptr);
  EXPECT_FALSE(LoadTablesFromFile("C:\\store\\data\\missing.txt"));
  EXPECT_TRUE(Logged("Cannot open LoadTableList Entry File.\n"));

  ASSERT_NE(AddNewRow("PATCHES", {}), nullptr);
  EXPECT_TRUE(ReloadTableData());
  EXPECT_EQ(TableRows("PATCHES").size(), 2u);
  UnLoadAllTable();
  EXPECT_EQ(GetTableDataByName("Agentparams"), nullptr);
}

TEST_F(TableLoadTest, AQueryThatFailsLeavesAnEmptyTable) {
  ASSERT_TRUE(Init());
  ASSERT_TRUE(UnLoadTable("DEVICES"));
  EXPECT_FALSE(LoadTableByQuery("DEVICES", "select * from DEVICES where NO_SUCH_COLUMN = 1"));
  EXPECT_TRUE(Logged("Error in executing select query \n"));
  ASSERT_NE(GetTableDataByName("DEVICES"), nullptr);
  EXPECT_EQ(GetTableDataByName("DEVICES")->firstRow, nullptr);
}

TEST_F(TableLoadTest, AViewHoldsTheRowsOfAQueryWithTheTablesColumns) {
  ASSERT_TRUE(Init());
  ASSERT_TRUE(LoadViewByQuery("BIG_DEVICES", "DEVICES", "select * from DEVICES where RAM_GB > 10"));
  const TableData* view = GetTableDataByName("BIG_DEVICES");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->kind, TABLE_DATA_KIND_VIEW);
  const std::vector<const char*> names = view->Columns().Names();
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.end()),
            (std::vector<std::string>{"DEVICE_ID", "NAME", "OS", "LAST_SEEN", "MANAGED", "RAM_GB"}));
  EXPECT_EQ(TableRows("BIG_DEVICES"), (TextRows{{"1", "WEB01", "Windows Server 2016", "2024-05-02", "1", "16"},
                                                {"3", "DB01", "Windows Server 2019", "2024-04-28", "1", "64"}}));
  EXPECT_STREQ(GetTableNameOfView("BIG_DEVICES"), "DEVICES");
  EXPECT_FALSE(LoadViewByQuery("BIG_DEVICES", "DEVICES", "select * from DEVICES"));
  EXPECT_FALSE(LoadViewByQuery("NOWHERE", "NO_SUCH_TABLE", "select 1"));
}

}  // namespace
}  // namespace kv::test
