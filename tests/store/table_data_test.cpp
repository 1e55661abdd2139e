#include "store/table_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "store/date_time.h"
#include "store/result_data.h"
#include "store/table_text.h"
#include "tests/store/table_fixture.h"

namespace kv {
namespace {

using test::TableTest;

StoredValue TextValue(const char* text) { return StoredValue{text, static_cast<std::int32_t>(std::strlen(text))}; }

std::int32_t IntOf(const StoredValue& value) {
  return static_cast<std::int32_t>(ReadSignedInteger(value.data, value.length));
}

class TableDataTest : public TableTest {
 protected:
  // An Agentparams row with the given name and value.
  RowObject* AddParam(const char* name, const char* value, std::uint8_t state = ROW_STATE_NEW) {
    const StoredValue values[] = {TextValue(name), TextValue(value)};
    return AddNewRow("Agentparams", values, state);
  }

  // The PARAM_NAME of every row, in table order.
  static std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const RowObject* row = GetTableDataByName("Agentparams")->firstRow; row; row = row->next)
      names.emplace_back(row->values[0].Bytes());
    return names;
  }

  // Records the states of the rows listeners hear about.
  void Listen() {
    ASSERT_TRUE(AddNotificationListener(
        "test", NOTIFY_EVERY_CHANGE,
        [this](const IMDSNotification& notification, const char*) { heard_.push_back(notification.state); }, 1,
        {"Agentparams", "KINDS"}));
  }

  std::vector<int> heard_;
};

TEST_F(TableDataTest, TablesExistOnlyForDefinedNamesAndOnce) {
  EXPECT_TRUE(CreateTable("agentPARAMS"));
  EXPECT_FALSE(CreateTable("Agentparams"));  // already in memory
  EXPECT_FALSE(CreateTable("NOWHERE"));      // not in the dictionary
  EXPECT_FALSE(CreateTable(nullptr));
  TableData* table = GetTableDataByName("AGENTPARAMS");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->name, "agentPARAMS");
  EXPECT_EQ(table->kind, TABLE_DATA_KIND_TABLE);
  EXPECT_EQ(table->columnCount, 2);

  const StoredValue one[] = {TextValue("x")};
  EXPECT_EQ(AddNewRow("NOWHERE", one), nullptr);
}

TEST_F(TableDataTest, NewRowsTakeGeneratedIdentifiersAndDefaults) {
  ASSERT_TRUE(CreateTable("CUSTOMERS"));
  ASSERT_TRUE(CreateTable("KINDS"));
  const StoredValue name[] = {StoredValue{}, TextValue("Ada")};
  RowObject* first = AddNewRow("CUSTOMERS", name);
  RowObject* second = AddNewRow("CUSTOMERS", name);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->state, ROW_STATE_NEW);
  EXPECT_EQ(first->values[0].length, 4);
  EXPECT_EQ(IntOf(second->values[0]), IntOf(first->values[0]) + 1);

  const std::int32_t id = 7;
  const StoredValue kinds[] = {StoredValue{reinterpret_cast<const char*>(&id), 4}};
  RowObject* row = AddNewRow("KINDS", kinds, ROW_STATE_IN_DATABASE);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->values[10].Bytes(), "EU");  // REGION's default
  EXPECT_TRUE(row->values[1].IsNull());
  EXPECT_EQ(row->state, ROW_STATE_IN_DATABASE);
  EXPECT_EQ(GetTableDataByName("KINDS")->rowCount, 1);
}

TEST_F(TableDataTest, UpdatesChangeOneValueButNeverTheKey) {
  ASSERT_TRUE(CreateTable("Agentparams"));
  RowObject* row = AddParam("RESOURCE_ID", "1234");
  Listen();

  EXPECT_FALSE(UpdateRowObject("Agentparams", row, "param_name", "OTHER", 5));
  EXPECT_TRUE(log_.Contains("@@@ UpdateRowObject Failed as PrimaryKey is being updated @@@\n"));
  EXPECT_EQ(row->values[0].Bytes(), "RESOURCE_ID");
  EXPECT_EQ(row->state, ROW_STATE_NEW);

  EXPECT_TRUE(UpdateRowObject("Agentparams", row, "param_value", "a much longer value than before", 31));
  EXPECT_EQ(row->values[1].Bytes(), "a much longer value than before");
  EXPECT_EQ(row->values[1].data[31], '\0');
  EXPECT_EQ(row->state, ROW_STATE_NEW | ROW_STATE_MODIFIED);
  EXPECT_EQ(heard_, std::vector<int>{ROW_STATE_NEW | ROW_STATE_MODIFIED});

  EXPECT_FALSE(UpdateRowObject("Agentparams", row, "NO_SUCH", "x", 1));
  EXPECT_FALSE(UpdateRowObject("Nowhere", row, "PARAM_VALUE", "x", 1));
  EXPECT_FALSE(UpdateRowObject("Agentparams", nullptr, "PARAM_VALUE", "x", 1));
  EXPECT_TRUE(log_.Contains("\t@@@@@ rowPtr passed as parameter in NULL @@@@@ \n"));

  // A row of another table is refused instead of being written past its values.
  ASSERT_TRUE(CreateTable("KINDS"));
  const StoredValue none[] = {StoredValue{}};
  RowObject* other = AddNewRow("KINDS", none);
  EXPECT_FALSE(UpdateRowObject("Agentparams", other, "PARAM_VALUE", "x", 1));
}

TEST_F(TableDataTest, DeletingKeepsDatabaseRowsMarkedAndRemovesNewOnes) {
  ASSERT_TRUE(CreateTable("Agentparams"));
  RowObject* stored = AddParam("A", "1", ROW_STATE_IN_DATABASE);
  RowObject* fresh = AddParam("B", "2");
  AddParam("C", "3");
  Listen();

  EXPECT_EQ(DeleteRowObject("Agentparams", stored), 1);
  EXPECT_EQ(stored->state, ROW_STATE_IN_DATABASE | ROW_STATE_DELETED);
  EXPECT_EQ(DeleteRowObject("Agentparams", fresh), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(heard_, (std::vector<int>{9, ROW_STATE_NEW}));
  EXPECT_EQ(GetTableDataByName("Agentparams")->rowCount, 3);  // never lowered

  // A marked row is still selected until the table is saved.
  EXPECT_EQ(SelectRows("Agentparams", nullptr)->rowCount, 2);
  EXPECT_EQ(DeleteRowObject("Agentparams", nullptr), 0);

  // The last row can go and rows are appended after it again.
  RowObject* last = GetTableDataByName("Agentparams")->lastRow;
  EXPECT_EQ(DeleteRowObject("Agentparams", last), 1);
  AddParam("D", "4");
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "D"}));
}

TEST_F(TableDataTest, DeletingByCriteriaAndAll) {
  ASSERT_TRUE(CreateTable("Agentparams"));
  for (const char* name : {"A", "B", "A", "C", "A"}) AddParam(name, "v");
  EXPECT_TRUE(DeleteRowObjectByCriteria("Agentparams", "PARAM_NAME='A'"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"B", "C"}));
  AddParam("E", "v");
  EXPECT_EQ(Names(), (std::vector<std::string>{"B", "C", "E"}));

  EXPECT_FALSE(DeleteRowObjectByCriteria("Agentparams", nullptr));
  EXPECT_FALSE(DeleteRowObjectByCriteria("Agentparams", "PARAM_NAME=="));
  EXPECT_FALSE(DeleteRowObjectByCriteria("Nowhere", "A=1"));
  EXPECT_EQ(Names().size(), 3u);

  EXPECT_FALSE(DeleteAllTableRowObjects(nullptr));
  EXPECT_TRUE(log_.Contains("\t tableName NULL \n"));
  EXPECT_FALSE(DeleteAllTableRowObjects("Nowhere"));
  EXPECT_TRUE(log_.Contains("\t GetTableDataByName returned NULL \n"));
  EXPECT_TRUE(DeleteAllTableRowObjects("Agentparams"));
  EXPECT_TRUE(Names().empty());
  EXPECT_EQ(GetTableDataByName("Agentparams")->lastRow, nullptr);
}

TEST_F(TableDataTest, FreedRowsAndValuesAreReused) {
  ASSERT_TRUE(CreateTable("Agentparams"));
  for (int round = 0; round < 50; ++round) {
    for (int i = 0; i < 100; ++i) AddParam("NAME", std::string(static_cast<std::size_t>(i * 7), 'x').c_str());
    ASSERT_TRUE(DeleteAllTableRowObjects("Agentparams"));
  }
  EXPECT_EQ(GetTableDataByName("Agentparams")->rowCount, 5000);
  EXPECT_EQ(CountLiveRows(*GetTableDataByName("Agentparams")), 0);
}

TEST_F(TableDataTest, ViewsHoldRowsAsGiven) {
  auto view = std::make_unique<CustomViewDefn>();
  view->tableCount = 1;
  view->tableNames = {"Agentparams"};
  auto column = std::make_unique<ViewColumnDefn>();
  column->name = "NAME";
  column->column = GetColumnDefnEntry("Agentparams", "PARAM_NAME");
  ASSERT_TRUE(view->columns.Append(std::move(column)));
  ASSERT_TRUE(CreateCustomViewData("NAMES", std::move(view)));
  EXPECT_FALSE(CreateCustomViewData("names", std::make_unique<CustomViewDefn>()));

  const StoredValue values[] = {TextValue("RESOURCE_ID")};
  ASSERT_NE(AddNewRow("NAMES", values), nullptr);
  ResultDataPtr all = SelectRows("NAMES", nullptr);
  ASSERT_NE(all, nullptr);
  EXPECT_STREQ(GetTableNameFromResultData(all.get()), "Agentparams");
  EXPECT_STREQ(GetTableNameOfView("names"), "Agentparams");
  EXPECT_STREQ(GetTableNameOfView("KINDS"), "KINDS");
  EXPECT_EQ(GetColumnTypeByName("name", all.get()), 15);
  EXPECT_EQ(SelectRows("NAMES", "NAME='RESOURCE_ID'"), nullptr);  // only tables are searched
  EXPECT_EQ(ToStringTableData("NAMES"), "NAME\t\nRESOURCE_ID\t\n");
}

TEST_F(TableDataTest, SelectionsAndCursors) {
  ASSERT_TRUE(CreateTable("Agentparams"));
  for (const char* name : {"A", "RESOURCE_ID", "B"}) AddParam(name, name);
  EXPECT_EQ(SelectRows("Nowhere", nullptr), nullptr);
  EXPECT_EQ(SelectRows("Agentparams", "PARAM_NAME='A"), nullptr);
  EXPECT_EQ(SelectRows("Agentparams", ""), nullptr);

  ResultDataPtr result = SelectRows("Agentparams", "param_name='RESOURCE_ID' or PARAM_NAME='B'");
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->rowCount, 2);
  std::int32_t length = -1;
  EXPECT_EQ(GetColumnValueByName("PARAM_VALUE", &length, result.get()), nullptr);  // cursor unset
  ASSERT_NE(GotoNextRowObject(result.get()), nullptr);
  EXPECT_STREQ(GetColumnValueByName("Param_Value", &length, result.get()), "RESOURCE_ID");
  EXPECT_EQ(length, 11);
  EXPECT_EQ(GetColumnValueByName("NOPE", &length, result.get()), nullptr);
  ASSERT_NE(GotoNextRowObject(result.get()), nullptr);
  EXPECT_EQ(GotoNextRowObject(result.get()), nullptr);
  ResetResultDataCursor(result.get());
  EXPECT_EQ(GotoNextRowObject(result.get())->values[0].Bytes(), "RESOURCE_ID");

  EXPECT_STREQ(GetColumnNameByIndex(1, result.get()), "PARAM_VALUE");
  EXPECT_EQ(GetColumnNameByIndex(2, result.get()), nullptr);
  EXPECT_EQ(GetColumnTypeByName("nope", result.get()), 0);
  EXPECT_STREQ(GetTableNameFromResultData(result.get()), "Agentparams");

  EXPECT_STREQ(GetColumnValue("Agentparams", "PARAM_VALUE", "PARAM_NAME='B'", &length), "B");
  EXPECT_EQ(GetColumnValue("Agentparams", "PARAM_VALUE", "PARAM_NAME='Z'", &length), nullptr);
  EXPECT_TRUE(log_.Contains("No such row available in the Agentparams for PARAM_NAME='Z'"));
  EXPECT_EQ(GetColumnValue("Nowhere", "X", "A=1", &length), nullptr);
  EXPECT_TRUE(log_.Contains("Error in executing SelectRows(Nowhere,A=1)\n"));
}

TEST_F(TableDataTest, RowsByIndexCountFromOne) {
  ASSERT_TRUE(CreateTable("Agentparams"));
  EXPECT_EQ(SelectRowByRowIdx("Agentparams", 1), nullptr);
  for (const char* name : {"A", "B", "C"}) AddParam(name, name);
  auto nameAt = [](std::int32_t n) {
    ResultDataPtr result = SelectRowByRowIdx("Agentparams", n);
    return result ? std::string(GotoNextRowObject(result.get())->values[0].Bytes()) : "<none>";
  };
  EXPECT_EQ(nameAt(-5), "A");
  EXPECT_EQ(nameAt(3), "C");
  EXPECT_EQ(nameAt(4), "<none>");
  // The count is not lowered by deletions: an index within it past the rows left finds none.
  EXPECT_TRUE(DeleteRowObjectByCriteria("Agentparams", "PARAM_NAME='A'"));
  EXPECT_EQ(nameAt(3), "<none>");
}

TEST_F(TableDataTest, SortingIsStableAndPutsNullFirst) {
  ASSERT_TRUE(CreateTable("KINDS"));
  const std::int32_t ids[] = {5, -2, 5, 9};
  const char* names[] = {"a", "b", "c", "d"};
  for (int i = 0; i < 4; ++i) {
    const StoredValue values[] = {{reinterpret_cast<const char*>(&ids[i]), 4}, TextValue(names[i])};
    AddNewRow("KINDS", values);
  }
  const StoredValue nullId[] = {StoredValue{}, TextValue("n")};
  AddNewRow("KINDS", nullId);
  auto order = [](const ResultData& result) {
    std::string names;
    for (const ResultNode* node = result.first; node; node = node->next) names += node->row->values[1].Bytes();
    return names + "|" + std::string(result.last->row->values[1].Bytes());
  };
  ResultDataPtr result = SelectRows("KINDS", nullptr);
  ASSERT_TRUE(SortResultSet(result.get(), "id", 1));
  EXPECT_EQ(order(*result), "nbacd|d");
  ASSERT_TRUE(SortResultSet(result.get(), "ID", 0));
  EXPECT_EQ(order(*result), "dacbn|n");
  EXPECT_FALSE(SortResultSet(result.get(), "NOPE", 1));
  EXPECT_FALSE(SortResultSet(nullptr, "ID", 1));

  ResultDataPtr one = SelectRows("KINDS", "NAME='b'");
  EXPECT_TRUE(SortResultSet(one.get(), "ID", 1));
  EXPECT_TRUE(log_.Contains("Number of Rows is 1 for the Relvar to be Sorted \n"));
  ResultDataPtr none = SelectRows("KINDS", "NAME='z'");
  EXPECT_FALSE(SortResultSet(none.get(), "ID", 1));
}

TEST_F(TableDataTest, TheTextLayoutShowsEveryType) {
  ASSERT_TRUE(CreateTable("KINDS"));
  const std::int32_t id = -3;
  const TarnDate date(2024, 2, 29);
  const TarnTime time{23, 5, 9};
  const TarnDateTime stamp = *CreateTarnDateTime(1999, 12, 31, 0, 0, 1);
  const char active = 1;
  const float ratio = 0.5f;
  const double amount = 12.25;
  const std::int32_t small = 300;
  const StoredValue values[] = {{reinterpret_cast<const char*>(&id), 4},
                                TextValue("name"),
                                {reinterpret_cast<const char*>(&date), 4},
                                {reinterpret_cast<const char*>(&time), 3},
                                {reinterpret_cast<const char*>(&stamp), 11},
                                {&active, 1},
                                {reinterpret_cast<const char*>(&ratio), 4},
                                {reinterpret_cast<const char*>(&amount), 8},
                                {reinterpret_cast<const char*>(&small), 4},
                                StoredValue{},
                                TextValue("US")};
  AddNewRow("KINDS", values);
  RowObject* gone = AddNewRow("KINDS", values, ROW_STATE_IN_DATABASE);
  const std::string header = "ID\tNAME\tSINCE\tAT\tSTAMP\tACTIVE\tRATIO\tAMOUNT\tSMALL\tNOTE\tREGION\t\n";
  const std::string line =
      "-3\tname\t2024-02-29\t23:05:09\t1999-12-31 00:00:01\t1\t0.500000\t12.250000\t300\tNULL\tUS\t\n";
  EXPECT_EQ(ToStringTableData("kinds"), header + line + line);
  EXPECT_TRUE(log_.Contains("String Value of Relvar Data\n " + header));
  EXPECT_EQ(ToStringTableData("Nowhere"), std::nullopt);

  EXPECT_EQ(DeleteRowObject("KINDS", gone), 1);  // marked, still in the table
  ResultDataPtr result = SelectRows("KINDS", nullptr);
  EXPECT_EQ(ToStringResultData(*result), header + line);
  PrintResultData(result.get());
  PrintTableData("KINDS");
  EXPECT_TRUE(log_.Contains("[DEBUG] " + header + line + "[ "));
}

}  // namespace
}  // namespace kv
