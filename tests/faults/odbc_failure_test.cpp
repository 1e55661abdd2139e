// Every ODBC call of an operation fails in turn, as a plain error and as a
// lost connection (SQLSTATE 08S01): the operation reports the failure, what
// it reports as saved is in the database and nothing else is, the rows'
// states match the database, and the pool hands out a working connection on
// the next call.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "dataobjects/data_object.h"
#include "dataobjects/data_object_save.h"
#include "dataobjects/dataobjects_reset.h"
#include "db/connection_pool.h"
#include "db/sql_front.h"
#include "dbstore/table_load.h"
#include "dbstore/table_save.h"
#include "platform/odbc_faults.h"
#include "store/data_dictionary.h"
#include "store/result_data.h"
#include "store/sequence_generator.h"
#include "store/table_data.h"
#include "tests/dbstore/store_fixture.h"
#include "tests/faults/device_rounds.h"

namespace kv::test {
namespace {

constexpr const char* kStates[] = {"HY000", "08S01"};

// Runs work with ODBC call 1, 2, 3 … failing with each state in turn, until
// it makes no more calls than the one that would fail; prepare runs before
// each attempt and check after it, with whether work reported success. The
// number of attempts.
std::size_t EachOdbcCallFails(
    const std::function<bool()>& work, const std::function<void(bool)>& check,
    const std::function<void()>& prepare = [] {}) {
  std::size_t attempts = 0;
  for (const char* state : kStates) {
    for (std::size_t n = 1;; ++n) {
      ++attempts;
      SCOPED_TRACE(std::string(state) + " at call " + std::to_string(n));
      prepare();
      ArmOdbcFault(n, state);
      const bool succeeded = work();
      const bool fired = DisarmOdbcFault();
      check(succeeded);
      if (::testing::Test::HasFatalFailure() || !fired) break;
    }
  }
  return attempts;
}

class OdbcFailureTest : public StoreFixture {
 protected:
  OdbcFailureTest() : StoreFixture(ResetDataObjectsState) {}
  void SetUp() override {
    StoreFixture::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(Init()) << LogErrors(log_);
  }

  // The pool's next connection works.
  void ExpectAWorkingConnection() { ASSERT_EQ(Rows("select count(*) from Agentparams"), (TextRows{{"2"}})); }
};

TEST_F(OdbcFailureTest, SavingATableIsAllOrNothingAndTheStatesSaySo) {
  int round = 0;
  SaveCounts counts;
  const std::size_t attempts =
      EachOdbcCallFails([&] { return SaveTable("DEVICES", &counts) == 1 && counts.failed == 0; },
                        [&](bool saved) {
                          ExpectAWorkingConnection();
                          ExpectDevicesAsStored(Rows("select DEVICE_ID, NAME from DEVICES"), saved);
                        },
                        [&] { ChangeDevices(++round); });
  EXPECT_GT(attempts, 20u);
}

// A data object's save is one transaction: all its rows or none.
TEST_F(OdbcFailureTest, SavingADataObjectIsAllOrNothing) {
  int round = 0;
  std::string names[2];
  DataObjectPtr object;
  EachOdbcCallFails(
      [&] { return SaveDataObject(object.get()); },
      [&](bool saved) {
        ExpectAWorkingConnection();
        const std::string found = "select count(*) from DEVICES where NAME in ('" + names[0] + "', '" + names[1] + "')";
        EXPECT_EQ(Rows(found), (TextRows{{saved ? "2" : "0"}}));
      },
      [&] {
        object = CreateDataObject();
        ASSERT_TRUE(AddTableToDO(object.get(), "DEVICES"));
        for (std::string& name : names) {
          name = "OBJECT" + std::to_string(++round);
          ASSERT_TRUE(InsertStringRowIntoDO(object.get(), "DEVICES", std::vector<const char*>{nullptr, name.c_str()}));
        }
      });
}

TEST_F(OdbcFailureTest, LoadingATableGivesAllItsRowsOrFails) {
  EachOdbcCallFails(
      [] {
        (void)UnLoadTable("DEVICES");
        return LoadTable("DEVICES");
      },
      [&](bool loaded) {
        ExpectAWorkingConnection();
        const TableData* table = GetTableDataByName("DEVICES");
        if (loaded) {
          ASSERT_NE(table, nullptr);
          EXPECT_EQ(table->rowCount, 3);
        }
      });
  (void)UnLoadTable("DEVICES");
  ASSERT_TRUE(LoadTable("DEVICES"));
  EXPECT_EQ(GetTableDataByName("DEVICES")->rowCount, 3);
}

// A reservation that fails hands out no identifier that another one could
// hand out too: every identifier drawn afterwards is new.
TEST_F(OdbcFailureTest, AFailedReservationNeverRepeatsAnIdentifier) {
  std::vector<std::int32_t> drawn;
  const TableDefn* devices = GetTableDefn("DEVICES");
  const ColumnDefn* column = devices->columns.At(0);
  EachOdbcCallFails([&] { return UpdateSeqGen("DEVICES", column->generatorName->c_str()); },
                    [&](bool) {
                      ExpectAWorkingConnection();
                      const std::int32_t id = GenerateID("DEVICES", column);
                      ASSERT_GT(id, 0);
                      EXPECT_EQ(std::find(drawn.begin(), drawn.end(), id), drawn.end()) << id;
                      drawn.push_back(id);
                    });
}

TEST_F(OdbcFailureTest, MakingTheTablesFailsWithoutHarm) {
  EXPECT_GT(EachOdbcCallFails([] { return CreateTables(); }, [&](bool) { ExpectAWorkingConnection(); }), 2u);
  EXPECT_EQ(Rows("select count(*) from DEVICES"), (TextRows{{"3"}}));
}

// Rounds of random inserts, updates and deletes, each round's save with a
// random statement failing now and then: at the end the database holds
// exactly the table. KV_SAVE_ROUNDS sets the number of rounds (a long run:
// 100000); a test run makes 300.
TEST_F(OdbcFailureTest, ManySavesWithFailuresLeaveTheDatabaseEqualToTheTable) {
  const char* configured = std::getenv("KV_SAVE_ROUNDS");
  const int rounds = configured ? std::atoi(configured) : 300;
  std::mt19937 random(20261210);
  int saved = 0, failed = 0;
  for (int round = 1; round <= rounds; ++round) {
    TableData* table = GetTableDataByName("DEVICES");
    for (int change = static_cast<int>(random() % 4); change >= 0; --change) {
      const int live = CountLiveRows(*table);
      const std::uint32_t kind = random() % 3;
      if (kind == 0 || live < 3) {
        const std::string name = "R" + std::to_string(round) + "_" + std::to_string(change);
        const StoredValue values[] = {{}, {name.data(), static_cast<std::int32_t>(name.size())}};
        ASSERT_NE(AddNewRow(table, values), nullptr);
        continue;
      }
      RowObject* row = table->firstRow;
      for (std::uint32_t skip = random() % static_cast<std::uint32_t>(table->rowCount); skip > 0 && row->next; --skip)
        row = row->next;
      if (row->state & ROW_STATE_DELETED) continue;
      if (kind == 1) {
        const std::string name = "U" + std::to_string(round);
        ASSERT_TRUE(UpdateRowObject("DEVICES", row, "NAME", name.c_str(), name.size()));
      } else {
        ASSERT_EQ(DeleteRowObject("DEVICES", row), 1);
      }
    }
    if (random() % 4 == 0) ArmOdbcFault(1 + random() % 8, random() % 2 ? "08S01" : "HY000");
    SaveCounts counts;
    const bool whole = SaveTable("DEVICES", &counts) == 1 && counts.failed == 0;
    (void)DisarmOdbcFault();
    (whole ? saved : failed)++;
  }
  // Whatever is pending goes in with nothing failing.
  SaveCounts counts;
  ASSERT_EQ(SaveTable("DEVICES", &counts), 1) << LogErrors(log_);
  ASSERT_EQ(counts.failed, 0);
  TextRows inMemory;
  for (const RowObject* row = GetTableDataByName("DEVICES")->firstRow; row; row = row->next) {
    ASSERT_EQ(row->state, ROW_STATE_IN_DATABASE);
    inMemory.push_back({std::to_string(IdOf(*row)), std::string(row->values[1].Bytes())});
  }
  TextRows inDatabase = Rows("select DEVICE_ID, NAME from DEVICES");
  std::sort(inMemory.begin(), inMemory.end());
  std::sort(inDatabase.begin(), inDatabase.end());
  EXPECT_EQ(inDatabase, inMemory);
  std::printf("%d rounds: %d saves whole, %d with a failure\n", rounds, saved, failed);
}

}  // namespace
}  // namespace kv::test
