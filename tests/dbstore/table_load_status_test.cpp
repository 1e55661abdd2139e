// A load that fails says why in its Status: the first cause, the one a
// person can act on; the log keeps the whole chain after it.

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

  // A load's Status, checked against what was logged meanwhile: the
  // chain begins with its cause and ends with the store's own line.
  template <class Load>
  Status Checked(Load load, const std::string& last) {
    const FailureCapture logged;
    Status status = load();
    const std::string chain = logged.Reasons();
    EXPECT_FALSE(status.message().empty());
    EXPECT_TRUE(chain.starts_with(status.message())) << chain;
    EXPECT_TRUE(chain.ends_with(last)) << chain;
    return status;
  }
};

TEST_F(TableLoadStatusTest, EachRefusedLoadNamesItsReason) {
  // In memory already.
  EXPECT_FALSE(Checked([] { return LoadTableRows("DEVICES"); }, "CreateTable Failed").ok());

  ASSERT_TRUE(UnLoadTable("DEVICES"));
  // The database's diagnostic is the cause.
  const Status query = Checked(
      [] { return LoadTableRowsByQuery("DEVICES", "select * from DEVICES where NO_SUCH_COLUMN = 1"); },
      "Error in executing select query");
  EXPECT_NE(query.message().find("NO_SUCH_COLUMN"), std::string_view::npos) << query.message();

  ASSERT_TRUE(UnLoadTable("DEVICES"));
  ASSERT_TRUE(Execute("alter table DEVICES add EXTRA int"));
  const Status mismatch =
      Checked([] { return LoadTableRows("DEVICES"); }, "actual table in database");
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
