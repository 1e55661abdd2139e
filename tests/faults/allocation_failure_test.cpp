// Every allocation of an operation fails in turn: the operation reports its
// failure (or succeeds, when the allocation was one it can do without), the
// process goes on, nothing leaks (LeakSanitizer, in the sanitizer build),
// and what the store holds is what it held before or a consistent change.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "allocation_countdown.h"
#include "dataobjects/data_object.h"
#include "dataobjects/data_object_save.h"
#include "dataobjects/dataobjects_reset.h"
#include "dataobjects/stored_query.h"
#include "dbstore/table_save.h"
#include "store/result_data.h"
#include "store/table_data.h"
#include "store/xml_table_reader.h"
#include "tests/dbstore/store_fixture.h"
#include "tests/faults/device_rounds.h"

namespace kv::test {
namespace {

// Runs work with allocation 1, 2, 3 … failing, until it makes no more
// allocations than the one that would fail; prepare runs before each
// attempt with every allocation working, check after it with whether work
// reported success. The number of attempts made.
// Every allocation in turn with KV_FAULT_LOOPS=full; otherwise the first
// hundred and then about one in fifty of the rest, so that a test run stays
// short.
std::size_t NextFailure(std::size_t n) {
  static const bool full = [] {
    const char* loops = std::getenv("KV_FAULT_LOOPS");
    return loops && std::string(loops) == "full";
  }();
  return full || n < 100 ? n + 1 : n + n / 50 + 1;
}

std::size_t EachAllocationFails(
    const std::function<bool()>& work, const std::function<void(bool)>& check,
    const std::function<void()>& prepare = [] {}) {
  for (std::size_t n = 1;; n = NextFailure(n)) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " fails");
    prepare();
    bool succeeded = false;
    bool fired = false;
    {
      AllocationCountdown countdown(n);
      succeeded = work();
      fired = countdown.fired();
    }
    check(succeeded);
    if (::testing::Test::HasFatalFailure() || !fired) return n;
  }
}

class AllocationFailureTest : public StoreFixture {
 protected:
  AllocationFailureTest() : StoreFixture(ResetDataObjectsState) {}
  void SetUp() override {
    CountXmlAllocations();
    StoreFixture::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(Init()) << LogErrors(log_);
  }
  static std::int32_t RowCount(const char* table) { return GetTableDataByName(table)->rowCount; }
};

TEST_F(AllocationFailureTest, LoadingADocument) {
  const std::string document =
      "<?xml version=\"1.0\"?>\n<r><AgentparamsList>"
      "<Agentparams PARAM_NAME=\"A\" PARAM_VALUE=\"1\"/><Agentparams PARAM_NAME=\"B\" PARAM_VALUE=\"&amp;2\"/>"
      "</AgentparamsList><DEVICES NAME=\"NEW\" OS=\"Linux\" RAM_GB=\"4\" LAST_SEEN=\"2024-1-2\"/></r>";
  std::int32_t before = RowCount("Agentparams");
  const std::size_t attempts = EachAllocationFails(
      [&] { return ConstructTableDataFromXMLBuffer(document.data(), document.size()); },
      [&](bool loaded) {
        // A document's rows are added one by one: a failure keeps those
        // before it, whole.
        const std::int32_t now = RowCount("Agentparams");
        EXPECT_GE(now, before);
        if (loaded) {
          EXPECT_EQ(now, before + 2);
        }
        for (const RowObject* row = GetTableDataByName("Agentparams")->firstRow; row; row = row->next)
          ASSERT_FALSE(row->values[0].IsNull());
        before = now;
      });
  EXPECT_GT(attempts, 10u);
}

TEST_F(AllocationFailureTest, SelectingAndUpdatingRows) {
  EachAllocationFails([] { return SelectRows("DEVICES", "RAM_GB>8 and NAME!='x'") != nullptr; },
                      [](bool selected) {
                        if (!selected) return;
                        ResultDataPtr again = SelectRows("DEVICES", "RAM_GB>8 and NAME!='x'");
                        ASSERT_NE(again, nullptr);
                        EXPECT_EQ(again->rowCount, 2);
                      });
  ResultDataPtr web = SelectRows("DEVICES", "NAME='WEB01'");
  RowObject* row = GotoNextRowObject(web.get());
  ASSERT_NE(row, nullptr);
  const std::string value = "a longer operating system name than before";
  EachAllocationFails([&] { return UpdateRowObject("DEVICES", row, "OS", value.c_str(), value.size()); },
                      [&](bool updated) {
                        const std::string now(row->values[2].Bytes());
                        EXPECT_TRUE(now == value || now == "Windows Server 2016") << now;
                        if (updated) {
                          EXPECT_EQ(now, value);
                        }
                      });
}

// After every attempt the database holds the rows the table says it holds,
// with their values where the table holds no change of them.
TEST_F(AllocationFailureTest, SavingATable) {
  int round = 0;
  SaveCounts counts;
  const std::size_t attempts =
      EachAllocationFails([&] { return SaveTable("DEVICES", &counts) == 1 && counts.failed == 0; },
                          [&](bool saved) { ExpectDevicesAsStored(Rows("select DEVICE_ID, NAME from DEVICES"), saved); },
                          [&] { ChangeDevices(++round); });
  EXPECT_GT(attempts, 10u);
}

TEST_F(AllocationFailureTest, MakingAndSavingADataObject) {
  int round = 0;
  std::string name;
  std::vector<const char*> values;
  EachAllocationFails(
      [&] {
        DataObjectPtr object = CreateDataObject();
        return object && AddTableToDO(object.get(), "DEVICES") &&
               InsertStringRowIntoDO(object.get(), "DEVICES", values) && SaveDataObject(object.get());
      },
      [&](bool saved) {
        EXPECT_EQ(Rows("select count(*) from DEVICES where NAME = '" + name + "'"), (TextRows{{saved ? "1" : "0"}}))
            << LogErrors(log_);
      },
      [&] {
        name = "OBJECT" + std::to_string(++round);
        values = {nullptr, name.c_str()};
      });
}

TEST_F(AllocationFailureTest, RunningAStoredQuery) {
  EachAllocationFails([] { return RunStoredQuery(2) != nullptr; },
                      [](bool ran) {
                        if (!ran) return;
                        DBResultSetPtr again = RunStoredQuery(2);
                        ASSERT_NE(again, nullptr);
                      });
}

}  // namespace
}  // namespace kv::test
