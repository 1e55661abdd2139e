// Data objects built, changed, read, merged and copied in memory.

#include "dataobjects/data_object.h"

#include <gtest/gtest.h>

#include <cstring>

#include "dataobjects/data_object_copy.h"
#include "dataobjects/data_object_save.h"
#include "dataobjects/foreign_key_chains.h"
#include "store/column_types.h"
#include "store/data_dictionary.h"
#include "tests/dataobjects/shop_fixture.h"

namespace kv::test {
namespace {

using Names = std::vector<std::string>;

Names Strings(const std::vector<const char*>& names) { return Names(names.begin(), names.end()); }

class DataObjectTest : public ShopTest {
 protected:
  DataObjectTest() : object_(CreateDataObject()) {}

  // A row of texts converted by the columns' types.
  bool Insert(const char* table, std::initializer_list<const char*> texts) {
    return InsertStringRowIntoDO(object_.get(), table, std::vector<const char*>(texts));
  }

  DataObjectPtr object_;
};

TEST_F(DataObjectTest, KeyStringsKeepEveryKeyTupleApart) {
  ASSERT_TRUE(AddTableToDO(object_.get(), "ORDER_LINES"));
  ASSERT_TRUE(Insert("ORDER_LINES", {"12", "3", "pen", "2"}));
  ASSERT_TRUE(Insert("ORDER_LINES", {"1", "23", "ink", nullptr}));
  EXPECT_STREQ(GetNthRowUnit(object_.get(), 1, "ORDER_LINES")->keyString, "ORDER_LINES|12|3");
  EXPECT_STREQ(GetNthRowUnit(object_.get(), 2, "ORDER_LINES")->keyString, "ORDER_LINES|1|23");
  EXPECT_FALSE(Insert("ORDER_LINES", {"12", "3", "cup", nullptr}));
  EXPECT_TRUE(log_.Contains("Row with keyStr ORDER_LINES|12|3 already exists."));
  EXPECT_EQ(GetColumnValuesFromDO(object_.get(), "ITEM", "ORDER_LINES"),
            (std::vector<std::optional<std::string>>{"pen", "ink"}));

  // Texts that hold the separator or its escape, an empty text, the text
  // NULL and NULL itself are all keys of their own.
  ASSERT_TRUE(AddTableToDO(object_.get(), "CODES"));
  const std::vector<std::vector<const char*>> codes = {
      {"a|b", "c"},  {"a", "b|c"},  {"a\\", "|c"},      {"a\\|", "c"},    {"", ""},
      {"", nullptr}, {nullptr, ""}, {nullptr, nullptr}, {"NULL", "NULL"}, {"\\N", "\\N"}};
  for (const std::vector<const char*>& code : codes) {
    SCOPED_TRACE(testing::PrintToString(code));
    EXPECT_TRUE(InsertStringRowIntoDO(object_.get(), "CODES", code)) << LogErrors(log_);
  }
  ASSERT_EQ(GetColumnValuesFromDO(object_.get(), "MEANING", "CODES").size(), codes.size());
  EXPECT_STREQ(GetFirstRowUnit(object_.get(), "CODES")->keyString, "CODES|a\\|b|c");
  EXPECT_STREQ(GetNthRowUnit(object_.get(), 8, "CODES")->keyString, "CODES|\\N|\\N");
  // Each is found again by its own values, NULL included.
  for (std::int32_t n = 1; n <= static_cast<std::int32_t>(codes.size()); ++n) {
    RowUnit* stored = GetNthRowUnit(object_.get(), n, "CODES");
    RowUnit* probe =
        CreateRowUnit(object_.get(), "CODES", std::vector<StoredValue>{stored->values[0], stored->values[1], {}});
    EXPECT_EQ(FindRowUnit(object_.get(), probe), stored) << n;
  }

  // Numbers that differ only past six decimals.
  ASSERT_TRUE(AddTableToDO(object_.get(), "READINGS"));
  ASSERT_TRUE(Insert("READINGS", {"0.1000001", "low"}));
  ASSERT_TRUE(Insert("READINGS", {"0.1000002", "high"}));
  EXPECT_FALSE(Insert("READINGS", {"0.1000002", "again"}));

  // A table without key columns holds one row, keyed by its name.
  ASSERT_TRUE(AddTableToDO(object_.get(), "TAGS"));
  ASSERT_TRUE(Insert("TAGS", {"red"}));
  EXPECT_STREQ(GetFirstRowUnit(object_.get(), "TAGS")->keyString, "TAGS");
  EXPECT_FALSE(Insert("TAGS", {"blue"}));
}

TEST_F(DataObjectTest, TablesAreOrderedParentsFirstAndACycleIsRefused) {
  const char* childFirst[] = {"LINE_NOTES", "ORDER_LINES", "TAGS", "CUSTOMERS", "ORDERS", "REGIONS"};
  EXPECT_EQ(Strings(*SortTableByFK(childFirst)),
            (Names{"REGIONS", "CUSTOMERS", "ORDERS", "ORDER_LINES", "LINE_NOTES", "TAGS"}));
  // Two tables that reference each other: the first keeps its place after
  // the other, whichever comes first.
  const char* pair[] = {"CYCLE_A", "CYCLE_B"};
  EXPECT_EQ(Strings(*SortTableByFK(pair)), (Names{"CYCLE_B", "CYCLE_A"}));
  // Reached from a third table, the circle has no first table.
  const char* reached[] = {"CYCLE_ROOT", "CYCLE_A", "CYCLE_B"};
  EXPECT_FALSE(SortTableByFK(reached));
  EXPECT_TRUE(log_.Contains("their foreign keys form a cycle"));

  // Such an object is not saved at all.
  for (const char* table : reached) ASSERT_TRUE(AddTableToDO(object_.get(), table));
  ASSERT_TRUE(Insert("CYCLE_ROOT", {"1", nullptr}));
  EXPECT_FALSE(SaveDataObject(object_.get()));
  EXPECT_FALSE(log_.Contains("RowState"));
}

TEST_F(DataObjectTest, ForeignKeyChainsEndWhereAColumnRefersNowhere) {
  const std::vector<ChainEnd> ends = FindRootTable("LINE_NOTES", "ORDER_ID");
  ASSERT_EQ(ends.size(), 1u);
  // The customer's key is no foreign key even though CUSTOMERS has one.
  EXPECT_EQ(ends[0].table, "ORDERS");
  EXPECT_EQ(ends[0].column, "ORDER_ID");
  const ForeignKeyDefn& notesToLines = *GetTableDefn("LINE_NOTES")->constraints->foreignKeys->First();
  EXPECT_TRUE(CompareRootRefTable(notesToLines, "ORDERS", "ORDER_ID"));
  EXPECT_TRUE(CompareRootRefTable(notesToLines, "ORDER_LINES", "ORDER_ID"));
  EXPECT_FALSE(CompareRootRefTable(notesToLines, "CUSTOMERS", "CUSTOMER_ID"));
  EXPECT_TRUE(FindRootTable("NO_SUCH_TABLE", nullptr).empty());
  EXPECT_TRUE(log_.Contains("No table definition found for NO_SUCH_TABLE"));
}

TEST_F(DataObjectTest, OwnerLinksPassThroughTheTablesBetweenAndEndOnCircles) {
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  // The notes' own key leads to the order's key: no table between.
  std::optional<OwnerLink> link = FindOwnerLink("LINE_NOTES", "ORDERS");
  ASSERT_TRUE(link);
  EXPECT_TRUE(link->steps.empty());
  EXPECT_EQ(link->holder, "LINE_NOTES");
  EXPECT_EQ(link->keys, (Pairs{{"ORDER_ID", "ORDER_ID"}}));
  // To the customer through the line (both key columns) and the order.
  link = FindOwnerLink("line_notes", "CUSTOMERS");
  ASSERT_TRUE(link);
  ASSERT_EQ(link->steps.size(), 2u);
  EXPECT_EQ(link->steps[0].table, "LINE_NOTES");
  EXPECT_EQ(link->steps[0].referenceTable, "ORDER_LINES");
  EXPECT_EQ(link->steps[0].columns, (Pairs{{"ORDER_ID", "ORDER_ID"}, {"LINE_NO", "LINE_NO"}}));
  EXPECT_EQ(link->steps[1].referenceTable, "ORDERS");
  EXPECT_EQ(link->holder, "ORDERS");
  EXPECT_EQ(link->keys, (Pairs{{"CUSTOMER_ID", "CUSTOMER_ID"}}));
  // Parents belong to no child, a table to nothing of its own, a table
  // without a key owns nothing; a circle on the way is left once seen.
  EXPECT_FALSE(FindOwnerLink("CUSTOMERS", "ORDERS"));
  EXPECT_FALSE(FindOwnerLink("ORDERS", "ORDERS"));
  EXPECT_FALSE(FindOwnerLink("ORDERS", "TAGS"));
  EXPECT_FALSE(FindOwnerLink("CYCLE_ROOT", "REGIONS"));
  link = FindOwnerLink("CYCLE_ROOT", "CYCLE_B");
  ASSERT_TRUE(link);
  EXPECT_EQ(link->holder, "CYCLE_A");
}

TEST_F(DataObjectTest, CollectionsNeedEveryKeyColumnAndAKnownTable) {
  EXPECT_FALSE(AddTableToDO(object_.get(), "ORDER_LINES", MakeColumnList(*object_, {"ORDER_ID", "ITEM"})));
  EXPECT_TRUE(log_.Contains("All Primary key columns were not selected."));
  EXPECT_TRUE(log_.Contains("ADD ROW COLLECTION FAILED"));
  EXPECT_FALSE(AddTableToDO(object_.get(), "NOWHERE"));
  EXPECT_TRUE(log_.Contains("Table Definition not found for NOWHERE."));
  EXPECT_FALSE(AddRowCollectionToDO(object_.get(), nullptr));
  EXPECT_TRUE(log_.Contains("Cannot add Row Collection to DO.  Row Collection is NULL."));
  EXPECT_TRUE(IsDOEmpty(object_.get()));
  EXPECT_FALSE(InsertRowIntoDO(object_.get(), "ORDERS", std::span<const StoredValue>()));
  EXPECT_TRUE(log_.Contains("The RowUnit belongs to Table ORDERS, which is not in DO"));
}

TEST_F(DataObjectTest, InsertedRowsTakeGeneratedKeysAndDefaultsAndStateNew) {
  ASSERT_TRUE(AddTableToDO(object_.get(), "CUSTOMERS", MakeColumnList(*object_, {"CUSTOMER_ID", "NAME", "CITY"})));
  const auto values = MakeStringColumnValuesList(*object_, {nullptr, "Dee", nullptr});
  const auto lengths = MakeLengthList(*object_, {0, 3, 0});
  ASSERT_TRUE(InsertRowIntoDO(object_.get(), "CUSTOMERS", values, lengths));
  ASSERT_TRUE(InsertRowIntoDO(object_.get(), "CUSTOMERS", values, lengths));
  RowUnit* first = GetNthRowUnit(object_.get(), 1, "CUSTOMERS");
  RowUnit* second = GetNthRowUnit(object_.get(), 2, "CUSTOMERS");
  EXPECT_EQ(UnitTexts(first), (Texts{"1", "Dee", "Leeds"}));
  EXPECT_EQ(UnitTexts(second), (Texts{"2", "Dee", "Leeds"}));
  EXPECT_EQ(first->state, ROW_STATE_NEW);
  EXPECT_EQ(GetLastRowUnit(object_.get(), "CUSTOMERS"), second);
  EXPECT_FALSE(GetNthRowUnit(object_.get(), 3, "CUSTOMERS"));
  EXPECT_TRUE(log_.Contains("Cannot get 3 row. "));
  EXPECT_EQ(GetColumnListFromDO(object_.get(), "CUSTOMERS").size(), 3u);
  EXPECT_EQ(GetColumnValueFromDO(object_.get(), "CUSTOMERS", "NAME", 2), "Dee");
  EXPECT_FALSE(GetColumnValueFromDO(object_.get(), "CUSTOMERS", "VIP", 1));
  EXPECT_TRUE(log_.Contains("Invalid Column Entered."));
  // Names inside a data object are exact.
  EXPECT_FALSE(ContainsTableInDO(object_.get(), "customers"));
  EXPECT_FALSE(GetRowCollection(object_.get(), "customers"));
  EXPECT_TRUE(log_.Contains("Table customers is not present in DO."));

  RowCollection* collection = GetRowCollection(object_.get(), "CUSTOMERS");
  ASSERT_EQ(object_->collectionCursor, collection);
  EXPECT_EQ(GotoNextRowUnit(collection), first);
  EXPECT_EQ(GotoNextRowUnit(collection), second);
  EXPECT_FALSE(GotoNextRowUnit(collection));
  EXPECT_TRUE(log_.Contains("Reached end of rowUnits."));
}

TEST_F(DataObjectTest, ChangesMarkTheRowUnitsAndCriteriaSelectAmongThem) {
  ASSERT_TRUE(AddTableToDO(object_.get(), "ORDER_LINES"));
  ASSERT_TRUE(Insert("ORDER_LINES", {"7", "1", "pen", "2"}));
  ASSERT_TRUE(Insert("ORDER_LINES", {"7", "2", "ink", "5"}));
  ASSERT_TRUE(Insert("ORDER_LINES", {"8", "1", "pad", nullptr}));

  RowUnit* pad = FindRowUnitOnCriteria("ORDER_LINES", object_.get(), "QTY=1 and ITEM='pad'");
  ASSERT_TRUE(pad);  // the default of QTY
  EXPECT_EQ(UnitTexts(pad)[2], "pad");
  EXPECT_FALSE(FindRowUnitOnCriteria("ORDER_LINES", object_.get(), "QTY>"));

  ASSERT_TRUE(DeleteRowUnitOnCriteria("ORDER_LINES", object_.get(), "ORDER_ID=7 and QTY>2"));
  EXPECT_EQ(GetNthRowUnit(object_.get(), 2, "ORDER_LINES")->state, ROW_STATE_NEW | ROW_STATE_DELETED);
  EXPECT_EQ(GetNthRowUnit(object_.get(), 1, "ORDER_LINES")->state, ROW_STATE_NEW);

  // An update by a row unit of the same key.
  const StoredValue* padValues = pad->values;
  RowUnit* change = CreateRowUnit(object_.get(), "ORDER_LINES",
                                  std::vector<StoredValue>{padValues[0], padValues[1], {"mat", 3}, padValues[3]});
  ASSERT_TRUE(UpdateRowUnit(change, object_.get()));
  EXPECT_EQ(UnitTexts(pad)[2], "mat");
  EXPECT_EQ(pad->state, ROW_STATE_NEW | ROW_STATE_MODIFIED);
  RowUnit* stranger =
      CreateRowUnit(object_.get(), "ORDER_LINES", std::vector<StoredValue>{padValues[0], {"\x09\0\0\0", 4}});
  EXPECT_FALSE(UpdateRowUnit(stranger, object_.get()));
  EXPECT_TRUE(log_.Contains("Row to be updated is not present in DO. "));
  EXPECT_FALSE(FindRowUnit(object_.get(), stranger));
  EXPECT_EQ(FindRowUnit(object_.get(), change), pad);

  ASSERT_TRUE(SetValueForAllRowUnits("ITEM", "ORDER_LINES", "box", 3, object_.get()));
  ASSERT_TRUE(SetValueForRowUnit("QTY", "ORDER_LINES", "\x04\0\0\0", 4, object_.get()));
  EXPECT_EQ(UnitTexts(pad), (Texts{"8", "1", "box", "4"}));
  EXPECT_EQ(GetColumnValuesFromDO(object_.get(), "ITEM", "ORDER_LINES"),
            (std::vector<std::optional<std::string>>{"box", "box", "box"}));
  // A key column keeps the value its key string was made of.
  EXPECT_FALSE(SetValueForRowUnit("LINE_NO", "ORDER_LINES", "\x05\0\0\0", 4, object_.get()));
  EXPECT_FALSE(SetValueForRowUnit("COLOUR", "ORDER_LINES", "red", 3, object_.get()));
  EXPECT_TRUE(log_.Contains("Passed column COLOUR is not present in DO."));
  EXPECT_FALSE(SetValueForAllRowUnits("ITEM", "ORDERS", "x", 1, object_.get()));
  EXPECT_TRUE(log_.Contains(" Table ORDERS is not present in DO"));
}

TEST_F(DataObjectTest, ARowUnitReadsAsATableRowWithDefaultsUnlessAColumnCannotBeFilled) {
  ASSERT_TRUE(AddTableToDO(object_.get(), "ORDERS", MakeColumnList(*object_, {"ORDER_ID", "CUSTOMER_ID"})));
  ASSERT_TRUE(Insert("ORDERS", {"5", "9"}));
  EXPECT_FALSE(GetRowObjectFromRowUnit(GetFirstRowUnit(object_.get(), "ORDERS"), object_.get()));
  EXPECT_TRUE(
      log_.Contains("Cannot save RowUnit. Column STATUS is not not nullable and does not have a default value"));
  EXPECT_FALSE(DeleteRowUnitOnCriteria("ORDERS", object_.get(), "ORDER_ID=5"));
  EXPECT_TRUE(log_.Contains("RowObject is NULL."));

  ASSERT_TRUE(AddTableToDO(object_.get(), "CUSTOMERS", MakeColumnList(*object_, {"CUSTOMER_ID", "NAME"})));
  ASSERT_TRUE(Insert("CUSTOMERS", {"9", "Eve"}));
  const std::optional<TableRow> row =
      GetRowObjectFromRowUnit(GetFirstRowUnit(object_.get(), "CUSTOMERS"), object_.get());
  ASSERT_TRUE(row);
  EXPECT_EQ(ValueText(row->values[2], TARN_SQL_CHAR), "Leeds");
  EXPECT_EQ(ValueText(row->values[3], TARN_SQL_BOOLEAN), "0");
  EXPECT_EQ(ValueText(row->values[4], TARN_SQL_INT), std::nullopt);
  EXPECT_EQ(row->selected, (std::vector<std::uint8_t>{1, 1, 0, 0, 0}));
}

TEST_F(DataObjectTest, MergeBringsChangesOverByStateAndCopiesTheRowsItKeeps) {
  DataObjectPtr target = CreateDataObject();
  ASSERT_TRUE(AddTableToDO(target.get(), "ORDER_LINES"));
  {
    DataObjectPtr source = CreateDataObject();
    ASSERT_TRUE(AddTableToDO(source.get(), "ORDER_LINES"));
    ASSERT_TRUE(AddTableToDO(source.get(), "TAGS"));
    ASSERT_TRUE(InsertStringRowIntoDO(source.get(), "TAGS", std::vector<const char*>{"hot"}));
    for (const char* line : {"1", "2", "3", "4", "5"})
      ASSERT_TRUE(InsertStringRowIntoDO(source.get(), "ORDER_LINES", std::vector<const char*>{"7", line, "pen", "1"}));
    // The target holds line 1 unchanged, line 2 new and line 3 in the database.
    for (const char* line : {"1", "2", "3"})
      ASSERT_TRUE(InsertStringRowIntoDO(target.get(), "ORDER_LINES", std::vector<const char*>{"7", line, "old", "1"}));
    GetNthRowUnit(target.get(), 3, "ORDER_LINES")->state = ROW_STATE_IN_DATABASE;
    GetNthRowUnit(target.get(), 1, "ORDER_LINES")->state = ROW_STATE_IN_DATABASE;
    // Source: 1 modified, 2 new (a clash), 3 deleted, 4 new and deleted, 5 unchanged.
    GetNthRowUnit(source.get(), 1, "ORDER_LINES")->state = ROW_STATE_IN_DATABASE | ROW_STATE_MODIFIED;
    GetNthRowUnit(source.get(), 3, "ORDER_LINES")->state = ROW_STATE_IN_DATABASE | ROW_STATE_DELETED;
    GetNthRowUnit(source.get(), 4, "ORDER_LINES")->state = ROW_STATE_NEW | ROW_STATE_DELETED;
    GetNthRowUnit(source.get(), 5, "ORDER_LINES")->state = ROW_STATE_IN_DATABASE;
    GetFirstRowUnit(source.get(), "TAGS")->state = ROW_STATE_NEW | ROW_STATE_DELETED;
    ASSERT_EQ(MergeDataObject(target.get(), source.get()), target.get());
  }  // the source goes: the target keeps only copies
  EXPECT_TRUE(log_.Contains("Cannot Insert Row with keystring ORDER_LINES|7|2.  Row already exists."));
  std::vector<Texts> lines;
  std::vector<int> states;
  for (RowUnit* row = GetFirstRowUnit(target.get(), "ORDER_LINES"); row; row = row->next) {
    lines.push_back(UnitTexts(row));
    states.push_back(row->state);
  }
  EXPECT_EQ(lines,
            (std::vector<Texts>{
                {"7", "1", "pen", "1"}, {"7", "2", "old", "1"}, {"7", "3", "old", "1"}, {"7", "5", "pen", "1"}}));
  EXPECT_EQ(states, (std::vector<int>{5, 2, 9, 1}));
  // A table the target lacked comes over without its new-and-deleted rows.
  EXPECT_TRUE(ContainsTableInDO(target.get(), "TAGS"));
  EXPECT_FALSE(GetFirstRowUnit(target.get(), "TAGS"));
}

TEST_F(DataObjectTest, AClonePrintsLikeItsOriginalAndChangesApart) {
  ASSERT_TRUE(AddTableToDO(object_.get(), "ORDER_LINES"));
  ASSERT_TRUE(AddTableToDO(object_.get(), "CUSTOMERS"));
  ASSERT_TRUE(Insert("ORDER_LINES", {"7", "1", "pen", "2"}));
  ASSERT_TRUE(Insert("CUSTOMERS", {"3", "Flo", nullptr, "TRUE", nullptr}));
  DataObjectPtr clone = CloneDataObject(object_.get());
  ASSERT_TRUE(clone);
  const std::string text = DataObjectText(object_.get());
  EXPECT_EQ(DataObjectText(clone.get()), text);
  EXPECT_EQ(
      text,
      "Tables selected in DataObject: \n"
      "Table Name: ORDER_LINES\nORDER_ID\tLINE_NO\tITEM\tQTY\tRowState\n 7\t 1\t pen\t 2\t2\n"
      "Table Name: CUSTOMERS\nCUSTOMER_ID\tNAME\tCITY\tVIP\tREGION_ID\tRowState\n 3\t Flo\t Leeds\t 1\t NULL\t2\n");
  ASSERT_TRUE(SetValueForAllRowUnits("ITEM", "ORDER_LINES", "ink", 3, clone.get()));
  EXPECT_EQ(GetColumnValueFromDO(object_.get(), "ORDER_LINES", "ITEM", 1), "pen");
  EXPECT_EQ(FindRowUnit(clone.get(), GetFirstRowUnit(object_.get(), "CUSTOMERS"))->state, ROW_STATE_NEW);
  PrintDataObject(nullptr);
  EXPECT_TRUE(log_.Contains("Cannot print DataObject.  dataObjectPtr is NULL"));
}

}  // namespace
}  // namespace kv::test
