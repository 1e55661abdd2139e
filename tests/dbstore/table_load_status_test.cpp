// A load that fails says why in its Status: the database's and the store's
// reasons in the order the log has them.

#include <gtest/gtest.h>

#include <string>

#include "base/failure_capture.h"
#include "dbstore/store_init.h"
#include "dbstore/table_load.h"
#include "store/table_data.h"
#include "tests/dbstore/store_fixture.h"

namespace kv::test {
namespace {

class TableLoadStatusTest : public StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(Init()) << LogErrors(log_);
  }

  // A load's Status, checked against what was logged meanwhile.
  template <class Load>
  Status Checked(Load load) {
    const FailureCapture logged;
    Status status = load();
    EXPECT_EQ(status.message(), logged.Reasons());
    return status;
  }
};

TEST_F(TableLoadStatusTest, EachRefusedLoadNamesItsReason) {
  const Status loaded = Checked([] { return LoadTableRows("DEVICES"); });
  EXPECT_EQ(loaded.message().substr(loaded.message().size() - 18), "CreateTable Failed");

  ASSERT_TRUE(UnLoadTable("DEVICES"));
  const Status query =
      Checked([] { return LoadTableRowsByQuery("DEVICES", "select * from DEVICES where NO_SUCH_COLUMN = 1"); });
  EXPECT_FALSE(query.ok());
  // The database's diagnostic comes first, then the store's own line.
  EXPECT_GT(query.message().size(), std::string_view("Error in executing select query").size());
  EXPECT_TRUE(query.message().ends_with("; Error in executing select query")) << query.message();

  ASSERT_TRUE(UnLoadTable("DEVICES"));
  ASSERT_TRUE(Execute("alter table DEVICES add EXTRA int"));
  const Status mismatch = Checked([] { return LoadTableRows("DEVICES"); });
  EXPECT_EQ(mismatch.code(), Status::Code::kInvalid);
  EXPECT_EQ(mismatch.message(),
            "LoadTable Failed for DEVICES table as there is mismatch between table definition in datadictionary and "
            "actual table in database");
  EXPECT_EQ(GetTableDataByName("DEVICES"), nullptr);
}

TEST_F(TableLoadStatusTest, ALoadThatWorksIsOk) {
  ASSERT_TRUE(UnLoadTable("PATCHES"));
  EXPECT_TRUE(LoadTableRows("PATCHES").ok());
  ASSERT_TRUE(UnLoadTable("PATCHES"));
  EXPECT_TRUE(LoadTableRowsByQuery("PATCHES", "select * from PATCHES where PATCH_ID = 1").ok());
}

}  // namespace
}  // namespace kv::test
