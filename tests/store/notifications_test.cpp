#include "store/notifications.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/data_dictionary.h"
#include "store/store_reset.h"
#include "tests/support/test_log.h"

namespace kv {
namespace {

class NotificationsTest : public ::testing::Test {
 protected:
  NotificationsTest() {
    machine_.WriteFile("drive_c/data/agent.xml", test::SourceFile("tests/store/data/agent.xml"));
    machine_.Use();
    ResetStoreState();
    EXPECT_TRUE(LoadDataDictFromXMLFile("C:\\data\\agent.xml"));
  }
  ~NotificationsTest() override { ResetStoreState(); }

  // A callback that records who heard which row state.
  NotificationCallback Recorder() {
    return [this](const IMDSNotification& notification, const char* listener) {
      heard_.push_back(std::string(listener) + ":" + std::to_string(notification.state));
    };
  }

  // Sends an Agentparams row in the given state.
  void Send(std::uint8_t state, const char* table = "Agentparams") {
    const StoredValue values[] = {{"RESOURCE_ID", 11}, {}};
    SendNotification(RowView{values, 2, state}, table);
  }

  test::TestLog log_{4};
  test::TempMachine machine_;
  std::vector<std::string> heard_;
};

TEST_F(NotificationsTest, WithoutListenersNothingIsBuilt) {
  Send(ROW_STATE_NEW);
  EXPECT_TRUE(log_.Contains("In send notification\n"));
  EXPECT_FALSE(log_.Contains("In CreateIMDSNotification \n"));
}

TEST_F(NotificationsTest, AListenerHearsItsStateWithAnyOtherBit) {
  ASSERT_TRUE(AddNotificationListener("new-rows", ROW_STATE_NEW, Recorder(), 1, {"agentparams"}));
  EXPECT_TRUE(log_.Contains("Listener with name new-rows added\n"));
  for (std::uint8_t state : {2, 3, 6, 10, 4}) Send(state);
  EXPECT_EQ(heard_, (std::vector<std::string>{"new-rows:2", "new-rows:3", "new-rows:6", "new-rows:10"}));
  EXPECT_TRUE(log_.Contains("Listener not registered for Eventype 4\n"));

  ASSERT_TRUE(AddNotificationListener("all", NOTIFY_EVERY_CHANGE, Recorder(), 1, {"Agentparams"}));
  heard_.clear();
  Send(ROW_STATE_DELETED);
  EXPECT_EQ(heard_, (std::vector<std::string>{"all:8"}));
}

TEST_F(NotificationsTest, TheSnapshotCopiesTheRow) {
  IMDSNotification copy;
  ASSERT_TRUE(AddNotificationListener("copy", NOTIFY_EVERY_CHANGE,
                                      [&](const IMDSNotification& notification, const char*) {
                                        copy.tableName = notification.tableName;
                                        copy.state = notification.state;
                                        copy.timeStamp = notification.timeStamp;
                                        EXPECT_EQ(notification.Value(0).Bytes(), "RESOURCE_ID");
                                        EXPECT_NE(notification.Value(0).data, nullptr);
                                        EXPECT_TRUE(notification.Value(1).IsNull());
                                        EXPECT_TRUE(notification.Value(2).IsNull());  // beyond the columns
                                      },
                                      1, {"Agentparams"}));
  Send(ROW_STATE_MODIFIED);
  EXPECT_EQ(copy.tableName, "Agentparams");
  EXPECT_EQ(copy.state, ROW_STATE_MODIFIED);
  EXPECT_GE(copy.timeStamp.date.year(), 2024);

  EXPECT_EQ(CreateIMDSNotification(RowView{}, "Nowhere"), nullptr);  // no definition: nothing sent
  Send(ROW_STATE_NEW, "Nowhere");
  EXPECT_EQ(copy.state, ROW_STATE_MODIFIED);
}

TEST_F(NotificationsTest, TablesAreSortedWithoutRegardToCase) {
  ASSERT_TRUE(AddNotificationListener("sorted", NOTIFY_EVERY_CHANGE, Recorder(), 1, {"B", "a", "C"}));
  const NotificationListener* listener = Notifications().listeners.First();
  ASSERT_NE(listener, nullptr);
  EXPECT_EQ(listener->tables, (std::vector<std::string>{"a", "B", "C"}));
  EXPECT_TRUE(IsListContains(listener->tables, "c"));
  EXPECT_FALSE(IsListContains(listener->tables, "Agentparams"));
  EXPECT_TRUE(log_.Contains("List doesn't contains key \n"));
  EXPECT_FALSE(IsListContains({}, "a"));
  Send(ROW_STATE_NEW);
  EXPECT_TRUE(log_.Contains("Listener not registered for Agentparams table\n"));
  EXPECT_TRUE(heard_.empty());
}

TEST_F(NotificationsTest, NamesAreUniqueAndListenersCanBeDisabledAndRemoved) {
  ASSERT_TRUE(AddNotificationListener("Audit", NOTIFY_EVERY_CHANGE, Recorder(), 1, {"Agentparams"}));
  EXPECT_TRUE(AddNotificationListener("AUDIT", NOTIFY_EVERY_CHANGE, Recorder(), 1, {"Agentparams"}));
  EXPECT_TRUE(log_.Contains("Listener with same name exists AUDIT\n"));
  EXPECT_EQ(Notifications().listeners.Count(), 1);

  EXPECT_TRUE(DisableNotification("audit"));
  EXPECT_TRUE(log_.Contains("Listener with name Audit disabled\n"));
  Send(ROW_STATE_NEW);
  EXPECT_TRUE(log_.Contains("Listener Audit  disabled\n"));
  EXPECT_TRUE(heard_.empty());

  EXPECT_TRUE(RemoveNotification("AUDIT"));
  EXPECT_TRUE(log_.Contains("Listener with name Audit removed\n"));
  EXPECT_TRUE(Notifications().listeners.Empty());
  EXPECT_FALSE(RemoveNotification("Audit"));
  EXPECT_FALSE(DisableNotification("Audit"));
  EXPECT_TRUE(log_.Contains("Listener with name Audit doesn't exists\n"));

  ASSERT_TRUE(AddNotificationListener("one", NOTIFY_EVERY_CHANGE, Recorder(), 1, {}));
  ASSERT_TRUE(AddNotificationListener("two", NOTIFY_EVERY_CHANGE, Recorder(), 0, {}));
  DeInitNotification();
  EXPECT_TRUE(Notifications().listeners.Empty());
  EXPECT_TRUE(log_.Contains("Listener with name two removed\n"));
}

}  // namespace
}  // namespace kv
