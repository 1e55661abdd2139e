// Personalities read from their configuration, fetched, indexed and
// retrieved deeply on SQLite, PostgreSQL and MariaDB.

#include "dataobjects/personality.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

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

using PersonalityTest = ShopTest;

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

TEST_F(PersonalityTest, AConstituentWithoutAForeignKeyChainToTheDominantTableIsRefusedOnReading) {
  // Notes reach customers through their lines and orders.
  const std::string deep =
      PersonalityFile(access_, "deep.xml",
                      "<PersonalityConfiguration personalityname='Client' dominanttableid='CUSTOMERS'>"
                      "<ConstituentTable tableid='LINE_NOTES' tableindex='1'/>"
                      "</PersonalityConfiguration>");
  ASSERT_EQ(CreatePersonalityFromXMLFile(deep.c_str()), 1) << LogErrors(log_);
  EXPECT_EQ(GetConstituentTables("Client"), (Names{"LINE_NOTES"}));

  // Customers are what orders refer to, not the other way round; a table
  // the dictionary does not know refers to nothing. No personality of such
  // a file is kept.
  for (const char* constituent : {"CUSTOMERS", "NO_SUCH_TABLE"}) {
    SCOPED_TRACE(constituent);
    const std::string path =
        PersonalityFile(access_, "unconnected.xml",
                        "<PersonalityConfiguration personalityname='Plain' dominanttableid='TAGS'/>"
                        "<PersonalityConfiguration personalityname='Odd' dominanttableid='ORDERS'>"
                        "<ConstituentTable tableid='ORDER_LINES' tableindex='1'/>"
                        "<ConstituentTable tableid='" +
                            std::string(constituent) +
                            "' tableindex='2'/>"
                            "</PersonalityConfiguration>");
    EXPECT_EQ(CreatePersonalityFromXMLFile(path.c_str()), 0);
    EXPECT_TRUE(log_.Contains("Constituent table " + std::string(constituent) + " does not refer to ORDERS.ORDER_ID."))
        << LogErrors(log_);
    EXPECT_FALSE(GetPersonalityDefn("Odd"));
    EXPECT_FALSE(GetPersonalityDefn("Plain"));
  }
  EXPECT_TRUE(log_.Contains("No table definition found for NO_SUCH_TABLE"));

  // Nor is one whose dominant table the dictionary lacks, with or without
  // constituents: it could never be fetched.
  for (const char* attribute : {"dominanttableid='NO_SUCH_TABLE'", "dominanttable='TAGS'"}) {
    SCOPED_TRACE(attribute);
    const std::string path = PersonalityFile(access_, "nodominant.xml",
                                             "<PersonalityConfiguration personalityname='Lost' " +
                                                 std::string(attribute) + "/>");
    EXPECT_EQ(CreatePersonalityFromXMLFile(path.c_str()), 0);
    EXPECT_FALSE(GetPersonalityDefn("Lost"));
  }
}

class PersonalityOnDatabase : public ShopOnDatabase {
 protected:
  void SetUp() override {
    extraTables_ = {"ORDERS_IDX", "CUSTOMERS_IDX"};
    ShopOnDatabase::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_EQ(CreatePersonalityFromXMLFile(ShopData(access_, "personalities.xml").c_str()), 1) << LogErrors(log_);
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
  std::vector<Texts> CustomerIndex() {
    return Rows("select CUSTOMER_ID, TABLENAME from CUSTOMERS_IDX order by CUSTOMER_ID, TABLENAME");
  }

  // The customer of a key as a data object of its own.
  DataObjectPtr Customer(const char* id) {
    criteria_ = CreateSelectQuery();
    const char* customers[] = {"CUSTOMERS"};
    return GetDataObjectByCriteria(
        customers,
        MakeCriteriaLeaf(*criteria_, MakeSelectColumn(*criteria_, "CUSTOMERS", nullptr, "CUSTOMER_ID", nullptr, 0), id,
                         static_cast<std::int32_t>(std::strlen(id)), SQL_OP_EQ));
  }

  // Customers, indexed, as clients: with their orders, the orders' lines
  // and the lines' notes; and with only the notes.
  void ReadClients() {
    const std::string path =
        PersonalityFile(access_, "clients.xml",
                        "<DominantTableConfig DOMINANTTABLEID='CUSTOMERS' isindexed='true'/>\n"
                        "<PersonalityConfiguration personalityname='Client' dominanttableid='CUSTOMERS'>\n"
                        "  <ConstituentTable tableindex='1' tableid='ORDERS'/>\n"
                        "  <ConstituentTable tableindex='2' tableid='ORDER_LINES'/>\n"
                        "  <ConstituentTable tableindex='3' tableid='LINE_NOTES'/>\n"
                        "</PersonalityConfiguration>\n"
                        "<PersonalityConfiguration personalityname='ClientNotes' dominanttableid='CUSTOMERS'>\n"
                        "  <ConstituentTable tableindex='1' tableid='LINE_NOTES'/>\n"
                        "</PersonalityConfiguration>");
    ASSERT_EQ(CreatePersonalityFromXMLFile(path.c_str()), 1) << LogErrors(log_);
  }

  // The first n columns of every row unit of a table, joined with "/", in
  // text order.
  static Names Ids(DataObject* object, const char* table, std::size_t n) {
    Names ids;
    for (const RowUnit* row = GetFirstRowUnit(object, table); row; row = row->next) {
      const Texts texts = UnitTexts(row);
      std::string id;
      for (std::size_t i = 0; i < n && i < texts.size(); ++i) id += (i ? "/" : "") + texts[i].value_or("NULL");
      ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
  }
  static Names Tables(const DataObject* object) {
    Names tables;
    for (const char* table : GetTableList(object)) tables.push_back(table);
    return tables;
  }

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

  // Criteria pick among the rows of each entity: an order's lines and
  // notes are its own, whichever table the criteria names.
  SelectQueryPtr query = CreateSelectQuery();
  CriteriaExp* shippedOrders = MakeCriteriaLeaf(
      *query, MakeSelectColumn(*query, "ORDERS", nullptr, "STATUS", nullptr, 14), "SHIPPED", 7, SQL_OP_EQ);
  DataObjectPtr shipped = GetDOFromPersonalityByCriteria("Order", shippedOrders);
  ASSERT_TRUE(shipped) << LogErrors(log_);
  EXPECT_EQ(Keys(shipped.get(), "ORDERS"), (Texts{"2002"}));
  EXPECT_EQ(Ids(shipped.get(), "ORDER_LINES", 2), (Names{"2002/1"}));
  EXPECT_TRUE(ContainsTableInDO(shipped.get(), "LINE_NOTES"));
  EXPECT_EQ(Count(shipped.get(), "LINE_NOTES"), 0u);
  CriteriaExp* blueNotes = MakeCriteriaLeaf(
      *query, MakeSelectColumn(*query, "LINE_NOTES", nullptr, "BODY", nullptr, 14), "blue", 4, SQL_OP_EQ);
  DataObjectPtr blue = GetDOFromPersonalityByCriteria("Order", blueNotes);
  ASSERT_TRUE(blue) << LogErrors(log_);
  EXPECT_EQ(Keys(blue.get(), "ORDERS"), (Texts{"2001"}));
  EXPECT_EQ(Ids(blue.get(), "LINE_NOTES", 3), (Names{"2001/1/1"}));
  const char* one[] = {"Order"};
  EXPECT_TRUE(GetDOFromPersonalitiesByCriteria(one, shippedOrders));
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

TEST_P(PersonalityOnDatabase, ConstituentsSeveralForeignKeysDownComeWithTheirOwnEntityOnly) {
  ReadClients();
  if (HasFatalFailure()) return;
  DataObjectPtr every = GetDOFromPersonality("Client");
  ASSERT_TRUE(every) << LogErrors(log_);
  EXPECT_EQ(Tables(every.get()), (Names{"CUSTOMERS", "ORDERS", "ORDER_LINES", "LINE_NOTES"}));
  EXPECT_EQ(Ids(every.get(), "CUSTOMERS", 1), (Names{"1001", "1002", "1003"}));
  EXPECT_EQ(Ids(every.get(), "ORDER_LINES", 2), (Names{"2001/1", "2001/2", "2002/1", "2003/1"}));
  EXPECT_EQ(Ids(every.get(), "LINE_NOTES", 3), (Names{"2001/1/1", "2001/1/2"}));
  // The tables between the notes and the customers are joined, not taken.
  DataObjectPtr notes = GetDOFromPersonality("ClientNotes");
  ASSERT_TRUE(notes) << LogErrors(log_);
  EXPECT_EQ(Tables(notes.get()), (Names{"CUSTOMERS", "LINE_NOTES"}));
  EXPECT_EQ(Ids(notes.get(), "CUSTOMERS", 1), (Names{"1001", "1002", "1003"}));
  EXPECT_EQ(Ids(notes.get(), "LINE_NOTES", 3), (Names{"2001/1/1", "2001/1/2"}));

  // By the customer's row: Ann's two orders and what hangs off them, Bob's
  // one order with its one line and no notes.
  DataObjectPtr ann = Customer("1001");
  DataObjectPtr bob = Customer("1002");
  ASSERT_TRUE(ann && bob) << LogErrors(log_);
  DataObjectPtr hers = GetDOFromPersonalityByRowUnit("Client", GetFirstRowUnit(ann.get(), "CUSTOMERS"));
  ASSERT_TRUE(hers) << LogErrors(log_);
  EXPECT_EQ(Ids(hers.get(), "ORDERS", 1), (Names{"2001", "2002"}));
  EXPECT_EQ(Ids(hers.get(), "ORDER_LINES", 2), (Names{"2001/1", "2001/2", "2002/1"}));
  EXPECT_EQ(Ids(hers.get(), "LINE_NOTES", 3), (Names{"2001/1/1", "2001/1/2"}));
  const char* both[] = {"ClientNotes", "Client"};
  DataObjectPtr his = GetDOFromPersonalitiesByRowUnit(both, GetFirstRowUnit(bob.get(), "CUSTOMERS"));
  ASSERT_TRUE(his) << LogErrors(log_);
  EXPECT_EQ(Ids(his.get(), "CUSTOMERS", 1), (Names{"1002"}));
  EXPECT_EQ(Ids(his.get(), "ORDERS", 1), (Names{"2003"}));
  EXPECT_EQ(Ids(his.get(), "ORDER_LINES", 2), (Names{"2003/1"}));
  EXPECT_EQ(Count(his.get(), "LINE_NOTES"), 0u);

  // By criteria on the customer, or on a table two steps down.
  SelectQueryPtr query = CreateSelectQuery();
  CriteriaExp* named = MakeCriteriaLeaf(*query, MakeSelectColumn(*query, "CUSTOMERS", nullptr, "NAME", nullptr, 14),
                                        "Bob", 3, SQL_OP_EQ);
  DataObjectPtr byName = GetDOFromPersonalityByCriteria("Client", named);
  ASSERT_TRUE(byName) << LogErrors(log_);
  EXPECT_EQ(Ids(byName.get(), "CUSTOMERS", 1), (Names{"1002"}));
  EXPECT_EQ(Ids(byName.get(), "ORDER_LINES", 2), (Names{"2003/1"}));
  CriteriaExp* pads = MakeCriteriaLeaf(*query, MakeSelectColumn(*query, "ORDER_LINES", nullptr, "ITEM", nullptr, 14),
                                       "pad", 3, SQL_OP_EQ);
  const char* clients[] = {"Client"};
  DataObjectPtr byItem = GetDOFromPersonalitiesByCriteria(clients, pads);
  ASSERT_TRUE(byItem) << LogErrors(log_);
  EXPECT_EQ(Ids(byItem.get(), "CUSTOMERS", 1), (Names{"1001"}));
  EXPECT_EQ(Ids(byItem.get(), "ORDERS", 1), (Names{"2002"}));
  EXPECT_EQ(Ids(byItem.get(), "ORDER_LINES", 2), (Names{"2002/1"}));
}

TEST_P(PersonalityOnDatabase, RowsSeveralForeignKeysDownAreIndexedUnderTheirDominantKey) {
  ReadClients();
  if (HasFatalFailure()) return;
  // Cy's first order with a line, a second line on Bob's order with a
  // note, a line on Ann's second order.
  DataObjectPtr added = CreateDataObject();
  for (const char* table : {"LINE_NOTES", "ORDER_LINES", "ORDERS"}) ASSERT_TRUE(AddTableToDO(added.get(), table));
  ASSERT_TRUE(InsertStringRowIntoDO(added.get(), "ORDERS", std::vector<const char*>{"2100", "1003", nullptr, "NEW"}));
  for (const std::vector<const char*>& line :
       std::vector<std::vector<const char*>>{{"2100", "1", "fork"}, {"2003", "2", "spoon"}, {"2002", "2", "mat"}})
    ASSERT_TRUE(InsertStringRowIntoDO(added.get(), "ORDER_LINES", line));
  ASSERT_TRUE(InsertStringRowIntoDO(added.get(), "LINE_NOTES", std::vector<const char*>{"2003", "2", "1", "silver"}));
  ASSERT_TRUE(SaveDataObject(added.get())) << LogErrors(log_);
  ASSERT_EQ(AddDataObjectToIndexTables(added.get()), 1) << LogErrors(log_);
  EXPECT_EQ(CustomerIndex(), (std::vector<Texts>{{"1001", "ORDER_LINES"},
                                                 {"1002", "LINE_NOTES"},
                                                 {"1002", "ORDER_LINES"},
                                                 {"1003", "ORDERS"},
                                                 {"1003", "ORDER_LINES"}}));

  // Bob's entity from the tables the index names: his lines and the note,
  // nobody else's.
  DataObjectPtr bob = Customer("1002");
  ASSERT_TRUE(bob) << LogErrors(log_);
  DataObjectPtr deep = DeepRetrieveDO("CUSTOMERS", GetFirstRowUnit(bob.get(), "CUSTOMERS"));
  ASSERT_TRUE(deep) << LogErrors(log_);
  EXPECT_EQ(Tables(deep.get()), (Names{"CUSTOMERS", "ORDER_LINES", "LINE_NOTES"}));
  EXPECT_EQ(Ids(deep.get(), "ORDER_LINES", 2), (Names{"2003/1", "2003/2"}));
  EXPECT_EQ(Ids(deep.get(), "LINE_NOTES", 3), (Names{"2003/2/1"}));

  // One of his two lines goes: the lines stay indexed; the only note goes:
  // the notes do not.
  ASSERT_TRUE(DeleteRowUnitOnCriteria("ORDER_LINES", deep.get(), "LINE_NO=1"));
  ASSERT_TRUE(DeleteRowUnitOnCriteria("LINE_NOTES", deep.get(), "NOTE_NO=1"));
  ASSERT_TRUE(SaveDataObject(deep.get())) << LogErrors(log_);
  ASSERT_EQ(AddDataObjectToIndexTables(deep.get()), 1) << LogErrors(log_);
  EXPECT_EQ(CustomerIndex(),
            (std::vector<Texts>{
                {"1001", "ORDER_LINES"}, {"1002", "ORDER_LINES"}, {"1003", "ORDERS"}, {"1003", "ORDER_LINES"}}));
}

INSTANTIATE_TEST_SUITE_P(Databases, PersonalityOnDatabase, ::testing::ValuesIn(StoreDatabaseNames()), DatabaseName);

}  // namespace
}  // namespace kv::test
