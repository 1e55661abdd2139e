// The sequence generator's batches in the database's SeqGenState, on each
// database, and two processes drawing from one of them at the same time.

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "db/database_sequence_source.h"
#include "db/sql_front.h"
#include "store/data_dictionary.h"
#include "store/sequence_generator.h"
#include "tests/db/database_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/test_machine.h"

namespace kv::test {
namespace {

using Texts = std::vector<std::optional<std::string>>;

class SequenceSourceTest : public OnDatabaseTest {
 protected:
  void SetUp() override {
    OnDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(Execute(*GenerateCreateTableQuery("SeqGenState"))) << LogErrors(log_);
    InstallDatabaseSequenceSource();
    items_ = GetColumnDefnEntry("KV_ITEMS", "ITEM_ID");
    owners_ = GetColumnDefnEntry("KV_OWNERS", "OWNER_ID");
  }

  std::vector<Texts> State() { return Rows("select SEQNAME, CURRENTBATCHEND from SeqGenState order by SEQNAME"); }

  const ColumnDefn* items_ = nullptr;
  const ColumnDefn* owners_ = nullptr;
};

TEST_P(SequenceSourceTest, BatchesOf300AreReservedInTheDatabase) {
  // A generator that has no row gets one at 300 and starts at 1.
  ASSERT_TRUE(SequenceGenerator()) << LogErrors(log_);
  EXPECT_EQ(State(), (std::vector<Texts>{{"ITEM_SEQ", "300"}, {"OWNER_SEQ", "300"}}));
  EXPECT_TRUE(log_.Contains("Insert Query insert into SeqGenState values ('ITEM_SEQ',300);\n"));
  for (int expected = 1; expected <= 300; ++expected) ASSERT_EQ(GenerateID("KV_ITEMS", items_), expected);
  // The 301st moves the row on to 600.
  EXPECT_EQ(GenerateID("KV_ITEMS", items_), 301);
  EXPECT_EQ(State(), (std::vector<Texts>{{"ITEM_SEQ", "600"}, {"OWNER_SEQ", "300"}}));
  EXPECT_EQ(GenerateID("KV_OWNERS", owners_), 1);
  EXPECT_TRUE(log_.Contains("Query select * from SeqGenState where SEQNAME = 'ITEM_SEQ';\n"));

  // A process starting later continues after the reserved batches.
  ResetSequenceState();
  InstallDatabaseSequenceSource();
  ASSERT_TRUE(SequenceGenerator());
  EXPECT_EQ(GenerateID("KV_ITEMS", items_), 601);
  EXPECT_EQ(GenerateID("KV_OWNERS", owners_), 301);
}

TEST_P(SequenceSourceTest, ARowHolding600StartsAt601) {
  ASSERT_TRUE(Execute("insert into SeqGenState values ('ITEM_SEQ', 600)"));
  ASSERT_TRUE(UpdateSeqGen("KV_ITEMS", "ITEM_SEQ"));
  EXPECT_EQ(GenerateID("KV_ITEMS", items_), 601);
  EXPECT_EQ(State(), (std::vector<Texts>{{"ITEM_SEQ", "900"}}));
}

TEST_P(SequenceSourceTest, AReservationWithoutItsTableFails) {
  ASSERT_TRUE(Execute("drop table SeqGenState"));
  EXPECT_FALSE(UpdateSeqGen("KV_ITEMS", "ITEM_SEQ"));
  EXPECT_TRUE(log_.Contains("Table doesn't Exists for UpdateSeqGen\n"));
  EXPECT_EQ(GenerateID("KV_ITEMS", items_), -1);
}

// Two processes draw 700 identifiers each (three batches) from the same
// generator at the same time: no identifier is drawn twice.
TEST_P(SequenceSourceTest, TwoProcessesDrawDisjointIdentifiers) {
  const ConnParamsEntry& source = MainConnParams(database());
  const std::string drawer = std::string(KV_BIN_DIR) + "/kv_sequence_drawer";
  // The drawers read the dictionary from a machine of their own, and write
  // their identifiers beside it, where no other test run writes.
  TempMachine machine;
  const std::string output = machine.dir() + "/drawn";
  machine.WriteFile("drive_c/data/types.xml", kTypesDictionary);
  std::vector<pid_t> drawers;
  for (int i = 0; i < 2; ++i) {
    SpawnOptions options;
    options.output = output + std::to_string(i);
    options.errors = output + std::to_string(i) + ".err";
    options.env = {{"KV_MACHINE", machine.dir()}};
    std::remove(options.output.c_str());
    std::remove(options.errors.c_str());
    drawers.push_back(SpawnProgram(
        drawer, {source.dsn, source.user, source.databaseType, "C:\\data\\types.xml", "KV_ITEMS", "ITEM_ID", "700"},
        options));
    ASSERT_GT(drawers.back(), 0);
  }
  std::set<int> drawn;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(WaitProgram(drawers[static_cast<std::size_t>(i)]), 0)
        << ReadWholeFile(output + std::to_string(i) + ".err");
    std::istringstream ids(ReadWholeFile(output + std::to_string(i)));
    int count = 0;
    for (int id; ids >> id; ++count) EXPECT_TRUE(drawn.insert(id).second) << id << " drawn twice";
    EXPECT_EQ(count, 700);
  }
  EXPECT_EQ(drawn.size(), 1400u);
  // Each process reserved three batches of the item sequence, one of the
  // owners' (both at their start).
  EXPECT_EQ(State(), (std::vector<Texts>{{"ITEM_SEQ", "1800"}, {"OWNER_SEQ", "600"}}));
}

INSTANTIATE_TEST_SUITE_P(Databases, SequenceSourceTest, ::testing::ValuesIn(StoreDatabaseNames()), DatabaseName);

}  // namespace
}  // namespace kv::test
