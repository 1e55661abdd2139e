#include "store/use_cases.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "store/data_dictionary.h"
#include "store/store_reset.h"
#include "tests/support/test_log.h"

namespace kv {
namespace {

// A table with integer columns, a primary key and foreign keys, each
// (local, reference table, reference column, bidirectional).
struct Key {
  std::string local, table, column;
  bool bidirectional = false;
};

std::string Table(const std::string& name, const std::vector<std::string>& columns,
                  const std::vector<std::string>& primaryKey, const std::vector<Key>& keys,
                  const std::string& uniqueColumn = "") {
  std::string text = "<table name=\"" + name + "\"><columns>";
  for (const std::string& column : columns) {
    text += "<column name=\"" + column + "\"><data-type>INTEGER</data-type>";
    if (column == uniqueColumn) text += "<unique>true</unique>";
    text += "</column>";
  }
  text += "</columns><primary-key>";
  for (const std::string& key : primaryKey) text += "<primary-key-column>" + key + "</primary-key-column>";
  text += "</primary-key>";
  if (!keys.empty()) {
    text += "<foreign-keys>";
    for (const Key& key : keys) {
      text += "<foreign-key reference-table-name=\"" + key.table + "\" isbidirectional=\"" +
              (key.bidirectional ? "true" : "false") + "\"><fk-columns><fk-column><fk-local-column>" + key.local +
              "</fk-local-column><fk-reference-column>" + key.column +
              "</fk-reference-column></fk-column></fk-columns></foreign-key>";
    }
    text += "</foreign-keys>";
  }
  return text + "</table>";
}

std::vector<std::string> Tables(int number) {
  std::vector<std::string> names;
  for (const UseCaseEntry& entry : *UseCases().lists[static_cast<std::size_t>(number)])
    names.push_back(entry.tableName);
  return names;
}

class UseCasesTest : public ::testing::Test {
 protected:
  UseCasesTest() {
    ResetStoreState();
    const Key parent{"", "PARENT", "P_ID"};
    auto to = [&](const std::string& local, bool bidirectional = false) {
      return Key{local, parent.table, parent.column, bidirectional};
    };
    const std::string dictionary =
        "<data-dictionary>" + Table("PARENT", {"P_ID"}, {"P_ID"}, {}) +
        // A chain: GRAND_CHILD refers to CHILD's column, which refers to PARENT.
        Table("CHILD", {"C_ID"}, {"C_ID"}, {to("C_ID")}) +
        Table("GRAND_CHILD", {"G_ID"}, {"G_ID"}, {Key{"G_ID", "CHILD", "C_ID"}}) +
        Table("ONE_TO_ONE", {"ID"}, {"ID"}, {to("ID")}) + Table("ONE_TO_ONE_BI", {"ID"}, {"ID"}, {to("ID", true)}) +
        Table("COMPOSITE", {"A", "B"}, {"A", "B"}, {to("A")}) + Table("MANY", {"ID", "REF"}, {"ID"}, {to("REF")}) +
        Table("UNIQUE_REF", {"ID", "REF"}, {"ID"}, {to("REF")}, "REF") +
        Table("LINK", {"A", "B"}, {"A", "B"}, {to("A"), to("B")}) +
        Table("PARTIAL", {"A", "B", "C"}, {"A", "B", "C"}, {to("A"), to("B")}) +
        Table("MIXED", {"A", "B"}, {"A"}, {to("A"), Key{"B", "OTHER", "O_ID"}}) +
        Table("OTHER", {"O_ID"}, {"O_ID"}, {}) + Table("NO_KEY", {"X"}, {}, {to("X")}) + "</data-dictionary>";
    image_.WriteFile("drive_c/usecases.xml", dictionary);
    image_.Use();
    EXPECT_TRUE(LoadDataDictFromXMLFile("C:\\usecases.xml"));
  }
  ~UseCasesTest() override { ResetStoreState(); }

  test::TestLog log_{4};
  test::TempMachine image_;
};

TEST_F(UseCasesTest, TablesAreSortedByTheShapeOfTheirKeys) {
  ASSERT_TRUE(IdentifyUseCase());
  EXPECT_EQ(Tables(0), (std::vector<std::string>{"PARENT", "MIXED", "OTHER"}));
  EXPECT_EQ(Tables(1), (std::vector<std::string>{"CHILD", "GRAND_CHILD", "ONE_TO_ONE"}));
  EXPECT_EQ(Tables(2), std::vector<std::string>{"ONE_TO_ONE_BI"});
  EXPECT_EQ(Tables(3), std::vector<std::string>{"COMPOSITE"});
  EXPECT_EQ(Tables(4), std::vector<std::string>{"MANY"});
  EXPECT_EQ(Tables(5), std::vector<std::string>{"UNIQUE_REF"});
  EXPECT_EQ(Tables(6), (std::vector<std::string>{"LINK", "LINK"}));
  EXPECT_TRUE(Tables(7).empty());
  EXPECT_EQ(Tables(8), (std::vector<std::string>{"PARTIAL", "PARTIAL"}));

  EXPECT_TRUE(log_.Contains("\nThere are no foreign keys for table PARENT.\n"));
  EXPECT_TRUE(log_.Contains("\nTable Name: LINK\n"));
  EXPECT_TRUE(log_.Contains("PK Count: 2\n"));
  EXPECT_TRUE(log_.Contains("\nUseCase7Vect has no entries.\n"));
  EXPECT_TRUE(log_.Contains("\nProcessing UseCase0Vect\n"));
  EXPECT_TRUE(log_.Contains("<usecase9>\n</usecase9>\n"));
  EXPECT_TRUE(log_.Contains("\nEnd of UseCase8Vect\n"));
  EXPECT_TRUE(UseCases().distinctSets->Empty());
}

TEST_F(UseCasesTest, RelatedReferencesAreJoinedIntoGroups) {
  ASSERT_TRUE(IdentifyUseCase());
  // UseCase1: CHILD and ONE_TO_ONE refer to PARENT.P_ID; GRAND_CHILD to
  // CHILD.C_ID, which leads on to PARENT: one group.
  const std::vector<UseCaseGroup>& groups = UseCases().groups[1];
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].root.referenceTable, "PARENT");
  ASSERT_EQ(groups[0].members.size(), 3u);
  EXPECT_EQ(groups[0].members[2].table, "GRAND_CHILD");
  EXPECT_TRUE(log_.Contains("\nSize of DistinctSetVect = 2\n"));
  EXPECT_TRUE(log_.Contains("DistinctSet1->refTableName: CHILD\n"));
  EXPECT_TRUE(log_.Contains("\nMerged elements of 1 with 0\n"));
  EXPECT_TRUE(log_.Contains("\n<PARENT P_ID=\"PARENT:P_ID:1\" >\n\t<CHILD C_ID=\"PARENT:P_ID:1\" />\n"));
  EXPECT_TRUE(log_.Contains("\t<LINKList>\n\t\t<LINK A=\"PARENT:P_ID:1\" />\n"));
}

TEST_F(UseCasesTest, AChainInACircleStops) {
  image_.WriteFile("drive_c/circle.xml",
                   "<data-dictionary>" + Table("LOOP_A", {"ID"}, {"ID"}, {Key{"ID", "LOOP_B", "ID"}}) +
                       Table("LOOP_B", {"ID"}, {"ID"}, {Key{"ID", "LOOP_A", "ID"}}) + "</data-dictionary>");
  ResetDataDictionary();
  ASSERT_TRUE(LoadDataDictFromXMLFile("C:\\circle.xml"));
  ASSERT_TRUE(IdentifyUseCase());
  EXPECT_EQ(UseCases().groups[1].size(), 1u);
}

}  // namespace
}  // namespace kv
