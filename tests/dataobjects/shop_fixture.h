#pragma once
// What the data-object tests share: the shop dictionary beside the database
// tests' own, and on each database the shop's tables with a few customers,
// their orders, order lines and notes.

#include <optional>
#include <string>
#include <vector>

#include "dataobjects/data_object.h"
#include "dataobjects/dataobjects_reset.h"
#include "tests/db/database_fixture.h"
#include "tests/db/db_fixture.h"

namespace kv::test {

// A file of tests/dataobjects/data copied into the directory of the test's
// database access; its Windows path there.
std::string ShopData(const FreshDatabaseAccess& access, const char* name);

using Texts = std::vector<std::optional<std::string>>;

// The shop's tables, parents first.
inline constexpr const char* kShopTables[] = {"REGIONS", "CUSTOMERS", "ORDERS", "ORDER_LINES", "LINE_NOTES", "TAGS"};

// Fresh database access with the shop dictionary and primed sequences; the
// data objects' state (personalities) fresh as well.
class ShopTest : public ::testing::Test {
 protected:
  ShopTest();

  FreshDatabaseAccess access_{ResetDataObjectsState};
  const DbTestLog& log_ = access_.log();
};

// The shop on each database: its tables made anew and filled with
//   REGIONS      1 North
//   CUSTOMERS    1001 Ann O'Neil (York, VIP, region 1), 1002 Bob, 1003 Cy
//   ORDERS       2001 and 2002 of Ann, 2003 of Bob
//   ORDER_LINES  2001/1 pen, 2001/2 ink, 2002/1 pad, 2003/1 cup
//   LINE_NOTES   2001/1/1 blue, 2001/1/2 fine tip
class ShopOnDatabase : public OnDatabaseTest {
 protected:
  ShopOnDatabase() : OnDatabaseTest(ResetDataObjectsState) {}
  void SetUp() override;
  void TearDown() override;

  // Drops the shop's tables and whatever else the test names.
  void DropShop(const std::vector<std::string>& more = {});
  void Insert(const char* table, const Texts& texts);
  // Every row of a table as texts, ordered by its first column(s).
  std::vector<Texts> TableRows(const char* table, const char* orderBy);

  std::vector<std::string> extraTables_;
};

// A row unit's values as texts in its collection's column order.
Texts UnitTexts(const RowUnit* unit);

}  // namespace kv::test
