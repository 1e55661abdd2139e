// A load or save the program asks to stop: the save's transaction is rolled
// back and its rows keep their states; the load fails and says so.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/failure_capture.h"
#include "dbstore/store_init.h"
#include "dbstore/table_load.h"
#include "dbstore/table_save.h"
#include "store/table_data.h"
#include "tests/dbstore/store_fixture.h"

namespace kv::test {
namespace {

class TableCancelTest : public StoreFixture {
 protected:
  void TearDown() override {
    SetTableCancelCheck(nullptr);
    StoreFixture::TearDown();
  }

  // Enough new rows that a save asks the check more than once.
  void AddDevices(int count) {
    for (int i = 0; i < count; ++i) {
      const std::string name = "D" + std::to_string(i);
      const StoredValue values[] = {{}, {name.data(), static_cast<std::int32_t>(name.size())}};
      ASSERT_NE(AddNewRow("DEVICES", values), nullptr);
    }
  }
};

TEST_F(TableCancelTest, AStoppedSaveWritesNothingAndItsRowsStayNew) {
  ASSERT_TRUE(Init()) << LogErrors(log_);
  AddDevices(1200);
  int asked = 0;
  SetTableCancelCheck([&asked] { return ++asked == 2; });  // stop at the second look
  SaveCounts counts;
  EXPECT_EQ(SaveTable("DEVICES", &counts), STORE_FAILURE);
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(Logged("Saving table DEVICES stopped: it was cancelled.\n"));
  EXPECT_EQ(Rows("select count(*) from DEVICES"), (TextRows{{"3"}}));
  std::int32_t fresh = 0;
  for (const RowObject* row = GetTableDataByName("DEVICES")->firstRow; row; row = row->next)
    fresh += row->state == ROW_STATE_NEW;
  EXPECT_EQ(fresh, 1200);

  // Without the stop, the same rows are saved whole.
  SetTableCancelCheck(nullptr);
  EXPECT_EQ(SaveTable("DEVICES", &counts), STORE_SUCCESS);
  EXPECT_EQ(counts.inserted, 1200);
  EXPECT_EQ(Rows("select count(*) from DEVICES"), (TextRows{{"1203"}}));

  // A stopped load fails with the reason, and the caller unloads what came.
  ASSERT_TRUE(UnLoadTable("DEVICES"));
  SetTableCancelCheck([] { return true; });
  const Status loaded = LoadTableRows("DEVICES");
  EXPECT_EQ(loaded.code(), Status::Code::kInterrupted);
  EXPECT_EQ(loaded.message(), "Loading table DEVICES stopped: it was cancelled.");
}

}  // namespace
}  // namespace kv::test
