#include "tests/dataobjects/shop_fixture.h"

#include "db/sql_front.h"
#include "store/data_dictionary.h"
#include "store/sequence_generator.h"
#include "tests/support/test_machine.h"

namespace kv::test {

std::string ShopData(const FreshDatabaseAccess& access, const char* name) {
  return access.directory().WriteFile(name, SourceFile(std::string("tests/dataobjects/data/") + name));
}

namespace {

void LoadShop(const FreshDatabaseAccess& access) {
  if (!GetTableDefn("CUSTOMERS") && !LoadDataDictFromXMLFile(ShopData(access, "shop.xml").c_str()))
    throw std::runtime_error("the shop dictionary does not load");
  if (!SequenceGenerator()) throw std::runtime_error("the sequences cannot be primed");
}

}  // namespace

ShopTest::ShopTest() { LoadShop(access_); }

void ShopOnDatabase::SetUp() {
  OnDatabaseTest::SetUp();
  if (IsSkipped() || HasFatalFailure()) return;
  LoadShop(access_);
  DropShop(extraTables_);
  for (const char* table : kShopTables) {
    const std::optional<std::string> sql = GenerateCreateTableQuery(table);
    ASSERT_TRUE(sql && Execute(*sql)) << table << "\n" << LogErrors(log_);
  }
  Insert("REGIONS", {"1", "North"});
  Insert("CUSTOMERS", {"1001", "Ann O'Neil", "York", "TRUE", "1"});
  Insert("CUSTOMERS", {"1002", "Bob", "Leeds", "FALSE", std::nullopt});
  Insert("CUSTOMERS", {"1003", "Cy", std::nullopt, std::nullopt, std::nullopt});
  Insert("ORDERS", {"2001", "1001", "2024-01-02", "OPEN"});
  Insert("ORDERS", {"2002", "1001", std::nullopt, "SHIPPED"});
  Insert("ORDERS", {"2003", "1002", std::nullopt, "OPEN"});
  Insert("ORDER_LINES", {"2001", "1", "pen", "2"});
  Insert("ORDER_LINES", {"2001", "2", "ink", "1"});
  Insert("ORDER_LINES", {"2002", "1", "pad", "3"});
  Insert("ORDER_LINES", {"2003", "1", "cup", "1"});
  Insert("LINE_NOTES", {"2001", "1", "1", "blue"});
  Insert("LINE_NOTES", {"2001", "1", "2", "fine tip"});
}

void ShopOnDatabase::TearDown() {
  if (!IsSkipped()) DropShop(extraTables_);
}

void ShopOnDatabase::DropShop(const std::vector<std::string>& more) {
  for (const std::string& table : more) (void)Execute("drop table if exists " + table);
  for (auto table = std::rbegin(kShopTables); table != std::rend(kShopTables); ++table)
    (void)Execute(std::string("drop table if exists ") + *table);
}

void ShopOnDatabase::Insert(const char* table, const Texts& texts) {
  const std::optional<std::string> sql = GenerateInsertQuery(table, TestRow(table, texts).values());
  ASSERT_TRUE(sql && Execute(*sql)) << table << "\n" << LogErrors(log_);
}

std::vector<Texts> ShopOnDatabase::TableRows(const char* table, const char* orderBy) {
  return Rows(std::string("select * from ") + table + " order by " + orderBy);
}

Texts UnitTexts(const RowUnit* unit) {
  Texts texts;
  if (!unit || !unit->collection) return texts;
  for (std::int32_t i = 0; i < unit->valueCount; ++i)
    texts.push_back(ValueText(unit->values[i], unit->collection->columnTypes[i]));
  return texts;
}

}  // namespace kv::test
