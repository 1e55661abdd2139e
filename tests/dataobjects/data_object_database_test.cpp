// Data objects fetched from and saved to SQLite, PostgreSQL and MariaDB.

#include <gtest/gtest.h>

#include <algorithm>

#include "dataobjects/data_object.h"
#include "dataobjects/data_object_copy.h"
#include "dataobjects/data_object_fetch.h"
#include "dataobjects/data_object_save.h"
#include "dataobjects/stored_query.h"
#include "store/column_types.h"
#include "tests/dataobjects/shop_fixture.h"

namespace kv::test {
namespace {

class DataObjectOnDatabase : public ShopOnDatabase {
 protected:
  // Customers and their orders joined on the customer, in key order.
  SelectQueryPtr CustomersWithOrders(std::uint8_t joinType) {
    SelectQueryPtr query = CreateSelectQuery();
    SelectJoin* join = MakeSelectJoin(*query, "CUSTOMERS", nullptr, "ORDERS", nullptr, joinType,
                                      MakeColumnVectorForJoin(*query, "CUSTOMERS", {"CUSTOMER_ID"}),
                                      MakeColumnVectorForJoin(*query, "ORDERS", {"CUSTOMER_ID"}));
    EXPECT_TRUE(AddSelectJoin(*query, join));
    SelectColumnList* order = MakeColumnVectorForJoin(*query, "CUSTOMERS", {"CUSTOMER_ID"});
    EXPECT_TRUE(AppendColumn(*query, order, MakeSelectColumn(*query, "ORDERS", nullptr, "ORDER_ID", nullptr, 0)));
    SetSortClause(*query, MakeSortClause(*query, order, 1));
    return query;
  }

  // The first column of every row unit of a table.
  std::vector<std::optional<std::string>> Keys(DataObject* object, const char* table) {
    std::vector<std::optional<std::string>> keys;
    for (const RowUnit* row = GetFirstRowUnit(object, table); row; row = row->next) keys.push_back(UnitTexts(row)[0]);
    return keys;
  }

  // The same, in text order, for rows the database gives in any order.
  std::vector<std::optional<std::string>> SortedKeys(DataObject* object, const char* table) {
    std::vector<std::optional<std::string>> keys = Keys(object, table);
    std::sort(keys.begin(), keys.end());
    return keys;
  }

  // One equality leaf on a column of a table, in the query's pool.
  CriteriaExp* Equals(SelectQuery& query, const char* table, const char* column, const char* value,
                      std::uint8_t type = TARN_SQL_CHAR) {
    return MakeCriteriaLeaf(query, MakeSelectColumn(query, table, nullptr, column, nullptr, type), value,
                            static_cast<std::int32_t>(std::strlen(value)), SQL_OP_EQ);
  }

  using Keys_ = std::vector<std::optional<std::string>>;
};

TEST_P(DataObjectOnDatabase, AJoinGivesEachRowOnceAndALeftJoinsMissingRowsNone) {
  SelectQueryPtr inner = CustomersWithOrders(SQL_INNER_JOIN);
  DataObjectPtr object = GetDataObject(inner.get());
  ASSERT_TRUE(object) << LogErrors(log_);
  ASSERT_EQ(GetTableList(object.get()).size(), 2u);
  EXPECT_STREQ(GetTableList(object.get())[0], "CUSTOMERS");
  EXPECT_EQ(Keys(object.get(), "CUSTOMERS"), (Keys_{"1001", "1002"}));
  EXPECT_EQ(Keys(object.get(), "ORDERS"), (Keys_{"2001", "2002", "2003"}));
  EXPECT_TRUE(log_.Contains("HashKey CUSTOMERS|1001 Not Inserted"));
  EXPECT_EQ(UnitTexts(GetFirstRowUnit(object.get(), "CUSTOMERS")), (Texts{"1001", "Ann O'Neil", "York", "1", "1"}));
  EXPECT_EQ(UnitTexts(GetFirstRowUnit(object.get(), "ORDERS")), (Texts{"2001", "1001", "2024-01-02", "OPEN"}));
  EXPECT_EQ(GetFirstRowUnit(object.get(), "ORDERS")->state, ROW_STATE_IN_DATABASE);

  SelectQueryPtr left = CustomersWithOrders(SQL_LEFT_JOIN);
  object = GetDataObject(left.get());
  ASSERT_TRUE(object) << LogErrors(log_);
  EXPECT_EQ(Keys(object.get(), "CUSTOMERS"), (Keys_{"1001", "1002", "1003"}));
  EXPECT_EQ(Keys(object.get(), "ORDERS").size(), 3u);
}

TEST_P(DataObjectOnDatabase, RowsWhoseKeyTextsRunTogetherAreFetchedSavedAndMergedApart) {
  Insert("ORDERS", {"1", "1001", std::nullopt, "OPEN"});
  Insert("ORDERS", {"12", "1001", std::nullopt, "OPEN"});
  Insert("ORDER_LINES", {"12", "3", "bolt", "1"});
  Insert("ORDER_LINES", {"1", "23", "bolt", "2"});
  SelectQueryPtr criteria = CreateSelectQuery();
  const char* lines[] = {"ORDER_LINES"};
  DataObjectPtr bolts = GetDataObjectByCriteria(lines, Equals(*criteria, "ORDER_LINES", "ITEM", "bolt"));
  ASSERT_TRUE(bolts) << LogErrors(log_);
  EXPECT_EQ(SortedKeys(bolts.get(), "ORDER_LINES"), (Keys_{"1", "12"}));
  EXPECT_FALSE(log_.Contains("Not Inserted"));

  // Both are written back, and both merge into an object that has neither.
  ASSERT_TRUE(SetValueForAllRowUnits("QTY", "ORDER_LINES", "\x09\0\0\0", 4, bolts.get()));
  ASSERT_TRUE(SaveDataObject(bolts.get())) << LogErrors(log_);
  EXPECT_EQ(Rows("select ORDER_ID, LINE_NO, QTY from ORDER_LINES where ITEM = 'bolt' order by ORDER_ID"),
            (std::vector<Texts>{{"1", "23", "9"}, {"12", "3", "9"}}));
  DataObjectPtr merged = CreateDataObject();
  ASSERT_TRUE(MergeDataObject(merged.get(), bolts.get()));
  EXPECT_EQ(SortedKeys(merged.get(), "ORDER_LINES"), (Keys_{"1", "12"}));
}

TEST_P(DataObjectOnDatabase, FetchingNothingGivesNoObject) {
  EXPECT_FALSE(GetDataObject(nullptr));
  EXPECT_TRUE(log_.Contains("Cannot construct DO. Select Query pointer is NULL."));
  SelectQueryPtr query = CreateSelectQuery();
  ASSERT_TRUE(AddSelectTable(*query, "ORDERS", nullptr));
  SetCriteria(*query, Equals(*query, "ORDERS", "STATUS", "LOST"));
  EXPECT_FALSE(GetDataObject(query.get()));
  EXPECT_TRUE(log_.Contains("Cannot create DataObject.  No entries returned for SelectQuery"));
}

TEST_P(DataObjectOnDatabase, CriteriaSelectRowsAndQuotesInValuesStayInside) {
  SelectQueryPtr criteria = CreateSelectQuery();
  const char* customers[] = {"CUSTOMERS"};
  DataObjectPtr ann = GetDataObjectByCriteria(customers, Equals(*criteria, "CUSTOMERS", "NAME", "Ann O'Neil"));
  ASSERT_TRUE(ann) << LogErrors(log_);
  EXPECT_EQ(Keys(ann.get(), "CUSTOMERS"), (Keys_{"1001"}));
  EXPECT_FALSE(GetDataObjectByCriteria(customers, Equals(*criteria, "CUSTOMERS", "NAME", "x' or '1'='1")));
  EXPECT_TRUE(log_.Contains("Cannot create DataObject.\n"));
}

TEST_P(DataObjectOnDatabase, ARowUnitBringsTheRowsWhoseKeysLeadToItEvenWhereATableHasNone) {
  SelectQueryPtr criteria = CreateSelectQuery();
  const char* orders[] = {"ORDERS"};
  const char* entity[] = {"ORDER_LINES", "ORDERS", "LINE_NOTES", "CUSTOMERS"};
  for (const char* id : {"2001", "2003"}) {
    SCOPED_TRACE(id);
    DataObjectPtr order = GetDataObjectByCriteria(orders, Equals(*criteria, "ORDERS", "ORDER_ID", id, TARN_SQL_CHAR));
    ASSERT_TRUE(order) << LogErrors(log_);
    DataObjectPtr whole = GetDataObjectByRowUnit(entity, GetFirstRowUnit(order.get(), "ORDERS"));
    ASSERT_TRUE(whole) << LogErrors(log_);
    std::vector<std::string> tables;
    for (const char* table : GetTableList(whole.get())) tables.push_back(table);
    // Orders refer to their customers.
    EXPECT_EQ(tables, (std::vector<std::string>{"CUSTOMERS", "ORDERS", "ORDER_LINES", "LINE_NOTES"}));
    EXPECT_EQ(Keys(whole.get(), "ORDERS"), (Keys_{id}));
    EXPECT_EQ(Keys(whole.get(), "ORDER_LINES").size(), std::string(id) == "2001" ? 2u : 1u);
    // Notes reach the order through the lines' key; the customers nothing.
    EXPECT_EQ(Keys(whole.get(), "LINE_NOTES").size(), std::string(id) == "2001" ? 2u : 0u);
    EXPECT_FALSE(GetFirstRowUnit(whole.get(), "CUSTOMERS"));
  }
  const char* withoutOrders[] = {"ORDER_LINES"};
  DataObjectPtr order = GetDataObjectByCriteria(orders, Equals(*criteria, "ORDERS", "ORDER_ID", "2002"));
  ASSERT_TRUE(order);
  EXPECT_FALSE(GetDataObjectByRowUnit(withoutOrders, GetFirstRowUnit(order.get(), "ORDERS")));
  EXPECT_TRUE(log_.Contains("RowUnit belongs to table ORDERS, which is not present in the tableList."));
}

TEST_P(DataObjectOnDatabase, SavingWritesParentsFirstByStateAndLeavesTheStates) {
  SelectQueryPtr criteria = CreateSelectQuery();
  const char* lines[] = {"ORDER_LINES"};
  DataObjectPtr object = GetDataObjectByCriteria(lines, Equals(*criteria, "ORDER_LINES", "ORDER_ID", "2003"));
  ASSERT_TRUE(object) << LogErrors(log_);
  // Children before parents in the object's own list.
  ASSERT_TRUE(AddTableToDO(object.get(), "ORDERS"));
  ASSERT_TRUE(AddTableToDO(object.get(), "CUSTOMERS"));
  ASSERT_TRUE(InsertStringRowIntoDO(object.get(), "CUSTOMERS", std::vector<const char*>{nullptr, "Dee O'Hara"}));
  const std::string customer = *UnitTexts(GetFirstRowUnit(object.get(), "CUSTOMERS"))[0];
  ASSERT_TRUE(InsertStringRowIntoDO(object.get(), "ORDERS",
                                    std::vector<const char*>{nullptr, customer.c_str(), "2024-05-06", "NEW"}));
  const std::string order = *UnitTexts(GetFirstRowUnit(object.get(), "ORDERS"))[0];
  ASSERT_TRUE(InsertStringRowIntoDO(object.get(), "ORDER_LINES", std::vector<const char*>{order.c_str(), "1", "mug"}));
  ASSERT_TRUE(InsertStringRowIntoDO(object.get(), "ORDER_LINES", std::vector<const char*>{order.c_str(), "2", "lid"}));
  ASSERT_TRUE(DeleteRowUnit(GetNthRowUnit(object.get(), 3, "ORDER_LINES"), object.get()));  // new and deleted
  ASSERT_TRUE(DeleteRowUnit(GetFirstRowUnit(object.get(), "ORDER_LINES"), object.get()));   // 2003/1

  ASSERT_TRUE(SaveDataObject(object.get())) << LogErrors(log_);
  EXPECT_EQ(Rows("select NAME, CITY, VIP from CUSTOMERS where CUSTOMER_ID = " + customer),
            (std::vector<Texts>{{"Dee O'Hara", "Leeds", "0"}}));
  EXPECT_EQ(Rows("select CUSTOMER_ID, STATUS from ORDERS where ORDER_ID = " + order),
            (std::vector<Texts>{{customer, "NEW"}}));
  EXPECT_EQ(Rows("select LINE_NO, ITEM, QTY from ORDER_LINES where ORDER_ID = " + order),
            (std::vector<Texts>{{"1", "mug", "1"}}));
  EXPECT_TRUE(Rows("select * from ORDER_LINES where ORDER_ID = 2003").empty());
  EXPECT_EQ(GetFirstRowUnit(object.get(), "ORDER_LINES")->state, ROW_STATE_IN_DATABASE | ROW_STATE_DELETED);
  EXPECT_EQ(GetFirstRowUnit(object.get(), "CUSTOMERS")->state, ROW_STATE_NEW);
}

TEST_P(DataObjectOnDatabase, AnUpdateWritesOnlyTheColumnsTheObjectHolds) {
  SelectQueryPtr query = CreateSelectQuery();
  ASSERT_TRUE(AddSelectTable(*query, "CUSTOMERS", nullptr));
  for (const char* column : {"CUSTOMER_ID", "NAME"})
    ASSERT_TRUE(AddSelectColumn(*query, MakeSelectColumn(*query, "CUSTOMERS", nullptr, column, nullptr, 0)));
  SetCriteria(*query, Equals(*query, "CUSTOMERS", "CUSTOMER_ID", "1001"));
  DataObjectPtr object = GetDataObject(query.get());
  ASSERT_TRUE(object) << LogErrors(log_);
  ASSERT_EQ(GetColumnListFromDO(object.get(), "CUSTOMERS").size(), 2u);
  ASSERT_TRUE(SetValueForRowUnit("NAME", "CUSTOMERS", "Ann Smith", 9, object.get()));
  ASSERT_TRUE(SaveDataObject(object.get())) << LogErrors(log_);
  EXPECT_EQ(TableRows("CUSTOMERS", "CUSTOMER_ID")[0], (Texts{"1001", "Ann Smith", "York", "1", "1"}));
}

TEST_P(DataObjectOnDatabase, AFailedStatementUndoesTheWholeSave) {
  DataObjectPtr object = CreateDataObject();
  ASSERT_TRUE(AddTableToDO(object.get(), "ORDERS"));
  ASSERT_TRUE(AddTableToDO(object.get(), "CUSTOMERS"));
  ASSERT_TRUE(InsertStringRowIntoDO(object.get(), "CUSTOMERS", std::vector<const char*>{"1500", "Gil"}));
  // An order whose key is taken.
  ASSERT_TRUE(InsertStringRowIntoDO(object.get(), "ORDERS", std::vector<const char*>{"2001", "1500", nullptr, "NEW"}));
  EXPECT_FALSE(SaveDataObject(object.get()));
  EXPECT_TRUE(log_.Contains("Error in executing update query "));
  EXPECT_TRUE(log_.Contains("QUERY : insert into  ORDERS values("));
  EXPECT_TRUE(Rows("select * from CUSTOMERS where CUSTOMER_ID = 1500").empty());
  // A state no save knows.
  GetFirstRowUnit(object.get(), "ORDERS")->state = ROW_STATE_MODIFIED;
  EXPECT_FALSE(SaveDataObject(object.get()));
  EXPECT_TRUE(log_.Contains("Invalid State for keyStr.  Cannot Save."));
  EXPECT_TRUE(Rows("select * from CUSTOMERS where CUSTOMER_ID = 1500").empty());
}

// A changed row whose key is NULL names no row of the table: no update or
// delete is written for it, the save fails and undoes itself, and no other
// row changes.
TEST_P(DataObjectOnDatabase, ARowWithoutItsKeyIsNeitherUpdatedNorDeleted) {
  const auto before = TableRows("CUSTOMERS", "CUSTOMER_ID");
  for (const bool remove : {false, true}) {
    SelectQueryPtr query = CreateSelectQuery();
    ASSERT_TRUE(AddSelectTable(*query, "CUSTOMERS", nullptr));
    SetCriteria(*query, Equals(*query, "CUSTOMERS", "CUSTOMER_ID", "1001"));
    DataObjectPtr object = GetDataObject(query.get());
    ASSERT_TRUE(object) << LogErrors(log_);
    RowUnit* row = GetFirstRowUnit(object.get(), "CUSTOMERS");
    ASSERT_NE(row, nullptr);
    row->values[0] = StoredValue{};
    ASSERT_TRUE(SetValueForRowUnit("NAME", "CUSTOMERS", "Everyone", 8, object.get()));
    if (remove) {
      ASSERT_TRUE(DeleteRowUnit(row, object.get()));
    }
    EXPECT_FALSE(SaveDataObject(object.get()));
    EXPECT_EQ(TableRows("CUSTOMERS", "CUSTOMER_ID"), before) << LogErrors(log_);
  }
  // The key column holds no value and no default: the row cannot even be
  // made whole, and nothing is written.
  EXPECT_TRUE(log_.Contains("Cannot convert RowUnit to RowObject.\n"));
}

INSTANTIATE_TEST_SUITE_P(Databases, DataObjectOnDatabase, ::testing::ValuesIn(StoreDatabaseNames()), DatabaseName);

}  // namespace
}  // namespace kv::test
