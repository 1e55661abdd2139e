// Personalities read from their configuration, fetched, indexed and
// retrieved deeply on SQLite, PostgreSQL and MariaDB.

#include "dataobjects/personality.h"

#include <gtest/gtest.h>

#include "dataobjects/data_object_fetch.h"
#include "dataobjects/data_object_save.h"
#include "dataobjects/index_table.h"
#include "store/column_types.h"
#include "store/value_text.h"
#include "tests/dataobjects/shop_fixture.h"

namespace kv::test {
namespace {

using Names = std::vector<std::string>;

// A personality file of the test written into the directory of its
// database access.
std::string PersonalityFile(const FreshDatabaseAccess& access, const std::string& name, const std::string& body) {
  return access.directory().WriteFile(name, "<personalities>\n" + body + "\n</personalities>\n");
}

class PersonalityTest : public ShopTest {
 protected:
  PersonalityTest() { ResetPersonalities(); }
  ~PersonalityTest() override { ResetPersonalities(); }
};

TEST_F(PersonalityTest, ElementsAndAttributesAreReadByTheirRules) {
  ASSERT_EQ(InitPersonality(), 1);
  const std::string path = PersonalityFile(
      access_, "plain.xml",
      "<PersonalityConfiguration personalityname='Order' dominanttableid='ORDERS' description='Orders'/>\n"
      "<ConstituentTable tableindex='1' tableid='ORDER_LINES' fkconstraint_id='FK1' mandatory='FALSE'/>\n"
      "<constituentTABLE TABLEID='LINE_NOTES' TableIndex='2' mandatory='no'/>\n"
      "<DominantTableConfig DOMINANTTABLEID='ORDERS'/>\n"
      "<ConstituentTable tableindex='9' tableid='TAGS'/>\n"
      "<PersonalityConfiguration personalityname='Customer' dominanttableid='CUSTOMERS'>\n"
      "  <ConstituentTable tableid='customers' tableindex='1'/>\n"
      "  <ConstituentTable tableid='ORDERS' tableindex='0' mandatory='yes' fkconstraint_id='LOST'/>\n"
      "</PersonalityConfiguration>");
  ASSERT_EQ(CreatePersonalityFromXMLFile(path.c_str()), 1) << LogErrors(log_);
  EXPECT_EQ(GetConstituentTables("Order"), (Names{"ORDER_LINES", "LINE_NOTES"}));
  EXPECT_EQ(PersonalityDefnText("Order"),
            "\nPersonality Name: Order\nDescription: Orders\nDominant Table: ORDERS\n\n"
            "Constituent Table Information\n"
            "Constituent Table Name: ORDER_LINES\nConstituent Table Index: 1\nForeign Key: FK1\nMandatory Status: 0\n\n"
            "Constituent Table Name: LINE_NOTES\nConstituent Table Index: 2\nForeign Key: \nMandatory Status: 1\n\n");
  // The constituent naming the dominant table is left out; a table index
  // of 0 ends the element's attributes.
  const PersonalityDefn* customer = GetPersonalityDefn("Customer");
  ASSERT_TRUE(customer);
  ASSERT_EQ(customer->constituents.Count(), 1);
  const ConstituentTable& orders = *customer->constituents.First();
  EXPECT_EQ(orders.tableName, "ORDERS");
  EXPECT_EQ(orders.mandatory, 0);
  EXPECT_EQ(orders.foreignKey, "");
  EXPECT_STREQ(orders.dominantTable, "CUSTOMERS");

  EXPECT_EQ(GetDominantTables(), (Names{"ORDERS", "CUSTOMERS"}));
  EXPECT_EQ(GetPersonalityNames(), (Names{"Order", "Customer"}));
  EXPECT_TRUE(IsDominantTable("ORDERS"));
  EXPECT_FALSE(IsDominantTable("orders"));
  EXPECT_FALSE(GetPersonalityDefn("order"));
  EXPECT_TRUE(log_.Contains("Personality order not found in gv_personalityDefnVect"));
  EXPECT_FALSE(GetConstituentTables(nullptr));
  EXPECT_TRUE(log_.Contains("Cannot get constituent tables list.  PersonalityName is NULL"));
  EXPECT_FALSE(PersonalityDefnText("Nobody"));
  EXPECT_TRUE(log_.Contains("Cannot print PersonalityDefn.  personalityDefnPtr is NULL"));
}

TEST_F(PersonalityTest, FilesThatCannotBeReadAndKeysOfTables) {
  EXPECT_EQ(CreatePersonalityFromXMLFile(PersonalityFile(access_, "broken.xml", "<PersonalityConfiguration").c_str()),
            0);
  EXPECT_TRUE(log_.Contains("Could not parse file C:\\Scratch\\broken.xml"));
  EXPECT_FALSE(GetDominantTables());
  // isindexed before the table it indexes.
  const std::string early =
      PersonalityFile(access_, "early.xml",
                      "<DominantTableConfig isindexed='true' DOMINANTTABLEID='ORDERS'/>\n"
                      "<PersonalityConfiguration personalityname='Order' dominanttableid='ORDERS'/>");
  EXPECT_EQ(CreatePersonalityFromXMLFile(early.c_str()), 0);
  EXPECT_TRUE(log_.Contains("Cannot get PKColumnInfo.  TableName is NULL"));
  EXPECT_TRUE(log_.Contains("Cannot create Index Table for (null)"));
  EXPECT_FALSE(GetPersonalityDefn("Order"));

  const auto keys = GetPKColumnInfo("LINE_NOTES");
  ASSERT_TRUE(keys);
  ASSERT_EQ(keys->size(), 3u);
  EXPECT_EQ((*keys)[2]->name, "NOTE_NO");
  EXPECT_EQ(GetPKColumnInfo("TAGS")->size(), 0u);
  EXPECT_FALSE(GetPKColumnInfo("NOWHERE"));
  EXPECT_TRUE(log_.Contains("No table definition found for NOWHERE."));
}

class PersonalityOnDatabase : public ShopOnDatabase {
 protected:
  void SetUp() override {
    extraTables_ = {"ORDERS_IDX"};
    ShopOnDatabase::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ResetPersonalities();
    ASSERT_EQ(CreatePersonalityFromXMLFile(ShopData(access_, "personalities.xml").c_str()), 1) << LogErrors(log_);
  }
  void TearDown() override {
    ResetPersonalities();
    ShopOnDatabase::TearDown();
  }

  // The first column of every row unit of a table.
  static Texts Keys(DataObject* object, const char* table) {
    Texts keys;
    for (const RowUnit* row = GetFirstRowUnit(object, table); row; row = row->next) keys.push_back(UnitTexts(row)[0]);
    return keys;
  }
  static std::size_t Count(DataObject* object, const char* table) { return Keys(object, table).size(); }

  // The order of a key as a data object of its own.
  DataObjectPtr Order(const char* id) {
    criteria_ = CreateSelectQuery();
    const char* orders[] = {"ORDERS"};
    return GetDataObjectByCriteria(
        orders, MakeCriteriaLeaf(*criteria_, MakeSelectColumn(*criteria_, "ORDERS", nullptr, "ORDER_ID", nullptr, 0),
                                 id, static_cast<std::int32_t>(std::strlen(id)), SQL_OP_EQ));
  }

  std::vector<Texts> Index() { return Rows("select ORDER_ID, TABLENAME from ORDERS_IDX order by ORDER_ID, TABLENAME"); }

  SelectQueryPtr criteria_;
};

TEST_P(PersonalityOnDatabase, AnIndexTableIsMadeOnceAndKeptByLaterRuns) {
  EXPECT_TRUE(Index().empty());
  DBResultSetPtr columns = Query("select * from ORDERS_IDX");
  ASSERT_TRUE(columns);
  ASSERT_EQ(columns->columnCount(), 2);
  EXPECT_TRUE(AsciiEqualsNoCase(columns->columns()[0].name, "ORDER_ID"));
  EXPECT_TRUE(AsciiEqualsNoCase(columns->columns()[1].name, "TABLENAME"));
  ASSERT_EQ(CreatePersonalityFromXMLFile(ShopData(access_, "personalities.xml").c_str()), 1) << LogErrors(log_);
  EXPECT_TRUE(log_.Contains("Index table ORDERS_IDX is there already."));
}

TEST_P(PersonalityOnDatabase, EveryEntityOfAPersonalityComesWithItsConstituents) {
  DataObjectPtr orders = GetDOFromPersonality("Order");
  ASSERT_TRUE(orders) << LogErrors(log_);
  std::vector<std::string> tables;
  for (const char* table : GetTableList(orders.get())) tables.push_back(table);
  EXPECT_EQ(tables, (std::vector<std::string>{"ORDERS", "ORDER_LINES", "LINE_NOTES"}));
  EXPECT_EQ(Count(orders.get(), "ORDERS"), 3u);
  EXPECT_EQ(Count(orders.get(), "ORDER_LINES"), 4u);
  EXPECT_EQ(Count(orders.get(), "LINE_NOTES"), 2u);

  // Customers left-joined with their orders, and orders with their lines
  // merged in: a customer without orders is there too.
  const char* both[] = {"Customer", "Order"};
  DataObjectPtr merged = GetDOFromPersonalities(both);
  ASSERT_TRUE(merged) << LogErrors(log_);
  EXPECT_EQ(Count(merged.get(), "CUSTOMERS"), 3u);
  EXPECT_EQ(Count(merged.get(), "ORDERS"), 3u);
  EXPECT_EQ(Count(merged.get(), "LINE_NOTES"), 2u);
  EXPECT_EQ(GetFirstRowUnit(merged.get(), "ORDERS")->state, ROW_STATE_IN_DATABASE);

  EXPECT_FALSE(GetDOFromPersonality(nullptr));
  EXPECT_TRUE(log_.Contains("Cannot get Personality.  personalityName is NULL"));
  EXPECT_FALSE(GetDOFromPersonality("Nobody"));
  EXPECT_TRUE(log_.Contains("No personality found for Nobody"));
  const char* withNobody[] = {"Order", "Nobody"};
  EXPECT_FALSE(GetDOFromPersonalities(withNobody));
  EXPECT_TRUE(log_.Contains("Cannot Merge DO's."));
}

TEST_P(PersonalityOnDatabase, AConstituentThatIsNoTableFailsTheFetch) {
  const std::string path = PersonalityFile(access_, "unknown.xml",
                                           "<PersonalityConfiguration personalityname='Odd' dominanttableid='ORDERS'>"
                                           "<ConstituentTable tableid='NO_SUCH_TABLE' tableindex='1'/>"
                                           "</PersonalityConfiguration>");
  ASSERT_EQ(CreatePersonalityFromXMLFile(path.c_str()), 1);
  EXPECT_FALSE(GetDOFromPersonality("Odd"));
  EXPECT_TRUE(log_.Contains("No table definition found for NO_SUCH_TABLE"));
  EXPECT_TRUE(log_.Contains("Cannot get DO for personality Odd"));
  DataObjectPtr order = Order("2001");
  ASSERT_TRUE(order);
  EXPECT_FALSE(GetDOFromPersonalityByRowUnit("Odd", GetFirstRowUnit(order.get(), "ORDERS")));
}

TEST_P(PersonalityOnDatabase, ARowUnitOrCriteriaFetchOneEntity) {
  DataObjectPtr order = Order("2001");
  ASSERT_TRUE(order) << LogErrors(log_);
  DataObjectPtr entity = GetDOFromPersonalityByRowUnit("Order", GetFirstRowUnit(order.get(), "ORDERS"));
  ASSERT_TRUE(entity) << LogErrors(log_);
  EXPECT_EQ(Keys(entity.get(), "ORDERS"), (Texts{"2001"}));
  EXPECT_EQ(Count(entity.get(), "ORDER_LINES"), 2u);
  EXPECT_EQ(Count(entity.get(), "LINE_NOTES"), 2u);

  const char* both[] = {"Order", "Order"};
  DataObjectPtr twice = GetDOFromPersonalitiesByRowUnit(both, GetFirstRowUnit(order.get(), "ORDERS"));
  ASSERT_TRUE(twice) << LogErrors(log_);
  EXPECT_EQ(Count(twice.get(), "ORDER_LINES"), 2u);

  SelectQueryPtr query = CreateSelectQuery();
  CriteriaExp* open = MakeCriteriaLeaf(*query, MakeSelectColumn(*query, "ORDERS", nullptr, "STATUS", nullptr, 14),
                                       "SHIPPED", 7, SQL_OP_EQ);
  CriteriaExp* lines = MakeCriteriaLeaf(
      *query, MakeSelectColumn(*query, "ORDER_LINES", nullptr, "ORDER_ID", nullptr, 0), "2002", 4, SQL_OP_EQ);
  CriteriaExp* notes = MakeCriteriaLeaf(*query, MakeSelectColumn(*query, "LINE_NOTES", nullptr, "ORDER_ID", nullptr, 0),
                                        "2001", 4, SQL_OP_EQ);
  DataObjectPtr shipped =
      GetDOFromPersonalityByCriteria("Order", MakeCriteriaAnd(*query, MakeCriteriaAnd(*query, open, lines), notes));
  ASSERT_TRUE(shipped) << LogErrors(log_);
  EXPECT_EQ(Keys(shipped.get(), "ORDERS"), (Texts{"2002"}));
  EXPECT_EQ(Count(shipped.get(), "LINE_NOTES"), 2u);
  const char* one[] = {"Order"};
  EXPECT_TRUE(
      GetDOFromPersonalitiesByCriteria(one, MakeCriteriaAnd(*query, MakeCriteriaAnd(*query, open, lines), notes)));
}

TEST_P(PersonalityOnDatabase, SavedRowsKeepTheIndexThatDeepRetrievalReads) {
  DataObjectPtr order = Order("2003");
  ASSERT_TRUE(order) << LogErrors(log_);
  const RowUnit* dominant = GetFirstRowUnit(order.get(), "ORDERS");
  // Nothing is indexed yet: no entity, and no error.
  const std::string errorsBefore = LogErrors(log_);
  EXPECT_FALSE(DeepRetrieveDO("ORDERS", dominant));
  EXPECT_EQ(LogErrors(log_), errorsBefore);

  DataObjectPtr added = CreateDataObject();
  ASSERT_TRUE(AddTableToDO(added.get(), "LINE_NOTES"));
  ASSERT_TRUE(AddTableToDO(added.get(), "ORDER_LINES"));
  for (const char* line : {"2", "3"})
    ASSERT_TRUE(InsertStringRowIntoDO(added.get(), "ORDER_LINES", std::vector<const char*>{"2003", line, "spoon"}));
  ASSERT_TRUE(InsertStringRowIntoDO(added.get(), "LINE_NOTES", std::vector<const char*>{"2003", "2", "1", "silver"}));
  ASSERT_TRUE(SaveDataObject(added.get())) << LogErrors(log_);
  ASSERT_EQ(AddDataObjectToIndexTables(added.get()), 1) << LogErrors(log_);
  EXPECT_EQ(Index(), (std::vector<Texts>{{"2003", "LINE_NOTES"}, {"2003", "ORDER_LINES"}}));
  EXPECT_TRUE(log_.Contains("Insert Query for ORDERS_IDX: INSERT INTO ORDERS_IDX VALUES (2003, 'ORDER_LINES')"));

  DataObjectPtr deep = DeepRetrieveDO("ORDERS", dominant);
  ASSERT_TRUE(deep) << LogErrors(log_);
  std::vector<std::string> tables;
  for (const char* table : GetTableList(deep.get())) tables.push_back(table);
  EXPECT_EQ(tables, (std::vector<std::string>{"ORDERS", "ORDER_LINES", "LINE_NOTES"}));
  EXPECT_EQ(Count(deep.get(), "ORDER_LINES"), 3u);
  EXPECT_EQ(Count(deep.get(), "LINE_NOTES"), 1u);

  // One of three lines goes: the lines stay indexed; the only note goes:
  // the notes do not.
  ASSERT_TRUE(DeleteRowUnitOnCriteria("ORDER_LINES", deep.get(), "LINE_NO=3"));
  ASSERT_TRUE(DeleteRowUnitOnCriteria("LINE_NOTES", deep.get(), "NOTE_NO=1"));
  ASSERT_TRUE(SaveDataObject(deep.get())) << LogErrors(log_);
  ASSERT_EQ(AddDataObjectToIndexTables(deep.get()), 1) << LogErrors(log_);
  EXPECT_EQ(Index(), (std::vector<Texts>{{"2003", "ORDER_LINES"}}));

  // A table without foreign keys has nothing to index.
  const StoredValue tag[] = {{"red", 3}};
  EXPECT_EQ(AddEntryToIndexTable("TAGS", RowView{tag, 1, ROW_STATE_NEW}), 1);
  EXPECT_TRUE(log_.Contains("No References.\n"));
}

INSTANTIATE_TEST_SUITE_P(Databases, PersonalityOnDatabase, ::testing::ValuesIn(TestDatabaseNames()), DatabaseName);

}  // namespace
}  // namespace kv::test
