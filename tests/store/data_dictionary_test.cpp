#include "store/data_dictionary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "store/column_types.h"
#include "store/date_time.h"
#include "store/store_reset.h"
#include "store/store_root.h"
#include "store/typed_value.h"
#include "tests/support/test_log.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// The dictionaries of the source tree, copied into the test's machine (not
// where "..\data" of its current directory, C:\, would find them).
const std::string kDataHost = KV_SOURCE_DIR "/tests/store/data";
const std::string kData = "C:\\dictionaries";
const std::string kDir = "C:\\dictionary";

std::vector<std::string> TableNames() {
  std::vector<std::string> names;
  for (const TableDefn& definition : DataDictionary().gv_tableDefnVect) names.push_back(definition.name);
  return names;
}

class DataDictionaryTest : public ::testing::Test {
 protected:
  DataDictionaryTest() : dir_(machine_.Path("drive_c/dictionary")) {
    fs::create_directories(dir_);
    fs::copy(kDataHost, machine_.Path("drive_c/dictionaries"));
    machine_.Use();
    ResetStoreState();
  }
  ~DataDictionaryTest() override { ResetStoreState(); }

  // Writes a file of the dictionary directory; its path on the machine.
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return kDir + "\\" + name;
  }

  // Loads a dictionary document made of the given tables.
  void LoadTables(const std::string& tables) {
    const std::string path = Write("tables.xml", "<data-dictionary>\n" + tables + "\n</data-dictionary>\n");
    ASSERT_TRUE(LoadDataDictFromXMLFile(path.c_str()));
  }

  test::TestLog log_{4};
  test::TempMachine machine_;
  fs::path dir_;  // C:\dictionary on the host
};

// A table with one column of the given name, for the error cases.
std::string Table(const std::string& name, const std::string& inside = "") {
  return "<table name=\"" + name + "\"><columns><column name=\"C\"><data-type>TEXT</data-type></column></columns>" +
         inside + "</table>";
}

TEST_F(DataDictionaryTest, ColumnsWithTheirTypesSizesDefaultsAndFlags) {
  ASSERT_TRUE(LoadDataDictFromXMLFile((kData + "/shop.xml").c_str()));
  EXPECT_EQ(TableNames(), (std::vector<std::string>{"CUSTOMERS", "ORDERS"}));  // EMPTY has no columns
  EXPECT_TRUE(log_.Contains("Column data type not supported - Error while creating column definition.\n"));
  EXPECT_TRUE(log_.Contains("\t@@@@ Loaded Table definition Successfully @@@@\n"));

  const TableDefn* customers = GetTableDefn("customers");
  ASSERT_NE(customers, nullptr);
  ASSERT_EQ(customers->columnCount(), 7);
  std::vector<const ColumnDefn*> c;
  for (const ColumnDefn& column : customers->columns) c.push_back(&column);

  EXPECT_EQ(c[0]->name, "CUSTOMER_ID");
  EXPECT_EQ(c[0]->type, TARN_SQL_INT);
  EXPECT_EQ(c[0]->nullable, 1);  // "TRUE" counts as true here ...
  EXPECT_EQ(c[0]->unique, 1);
  EXPECT_EQ(c[0]->generatorName, "CUSTOMER_SEQ");
  EXPECT_EQ(c[1]->unique, 0);  // ... but not in unique
  EXPECT_EQ(c[1]->type, TARN_SQL_CHAR);
  EXPECT_EQ(c[1]->maxSize, 255);
  EXPECT_EQ(c[1]->description, "Shown on invoices.");
  EXPECT_EQ(c[2]->type, TARN_SQL_TEXT);  // widened at 256

  EXPECT_EQ(c[3]->type, TARN_SQL_DATE);
  EXPECT_EQ(c[3]->maxSize, 0);
  ASSERT_NE(c[3]->defaultValue, nullptr);
  EXPECT_EQ(c[3]->defaultLength, TARN_DATETIME_LENGTH);
  EXPECT_EQ(ConvertTypedValueToText(c[3]->defaultValue.get(), c[3]->defaultLength, c[3]->type), "2018-01-19 00:00:00");
  EXPECT_EQ(c[4]->defaultLength, 1);
  EXPECT_EQ(c[4]->defaultValue[0], 1);

  EXPECT_EQ(c[5]->type, TARN_SQL_NOT_SUPPORTED_TYPE);
  EXPECT_EQ(c[5]->maxSize, -12);
  ASSERT_NE(c[5]->allowedValues, nullptr);
  EXPECT_EQ(c[5]->allowedValues->kind, ALLOWED_VALUES_RANGE);
  EXPECT_EQ(c[5]->allowedValues->values, (std::vector<std::string>{"1", "5"}));

  EXPECT_EQ(c[6]->type, TARN_SQL_VARCHAR);
  EXPECT_EQ(c[6]->maxSize, -1);  // "1x"
  EXPECT_EQ(c[6]->allowedValues->kind, ALLOWED_VALUES_LIST);
  EXPECT_EQ(c[6]->allowedValues->values, (std::vector<std::string>{"EU", "US", ""}));
  EXPECT_EQ(std::string(c[6]->defaultValue.get(), c[6]->defaultLength), "EU");

  ASSERT_NE(customers->constraints, nullptr);
  EXPECT_EQ(customers->constraints->primaryKeys, (std::vector<std::string>{"CUSTOMER_ID"}));
  EXPECT_EQ(customers->constraints->foreignKeys, nullptr);
}

TEST_F(DataDictionaryTest, KeysOfATable) {
  ASSERT_TRUE(LoadDataDictFromXMLFile((kData + "/shop.xml").c_str()));
  const TableDefn* orders = GetTableDefn("ORDERS");
  ASSERT_NE(orders, nullptr);
  EXPECT_EQ(orders->constraints->primaryKeyCount(), 2);
  EXPECT_EQ(orders->constraints->primaryKeys, (std::vector<std::string>{"ORDER_ID", "REGION"}));
  ASSERT_NE(orders->constraints->foreignKeys, nullptr);
  std::vector<const ForeignKeyDefn*> keys;
  for (const ForeignKeyDefn& key : *orders->constraints->foreignKeys) keys.push_back(&key);
  ASSERT_EQ(keys.size(), 3u);
  // A composite key gives one entry per column pair with the key's table and flags.
  for (int i : {0, 1}) {
    EXPECT_EQ(keys[i]->referenceTable, "CUSTOMERS");
    EXPECT_EQ(keys[i]->onDeleteCascade, 1);
    EXPECT_EQ(keys[i]->bidirectional, 1);
  }
  EXPECT_EQ(keys[1]->localColumn, "REGION");
  EXPECT_EQ(keys[1]->referenceColumn, "REGION");
  EXPECT_EQ(keys[2]->onDeleteCascade, 0);
  EXPECT_EQ(keys[2]->bidirectional, 0);  // "TRUE" is not "true"

  EXPECT_EQ(GetForeignKeyEntry(orders, "region"), keys[1]);
  EXPECT_EQ(GetForeignKeyEntry(orders, "AMOUNT"), nullptr);
  EXPECT_EQ(GetForeignKeyEntry(GetTableDefn("CUSTOMERS"), "CUSTOMER_ID"), nullptr);
  EXPECT_TRUE(log_.Contains("No Foreignkey Entries in Definition \n"));
  EXPECT_EQ(GetForeignKeyEntry(nullptr, "X"), nullptr);
  EXPECT_TRUE(log_.Contains("No constraint Definition \n"));
}

TEST_F(DataDictionaryTest, LookupsAndTheirMessages) {
  ASSERT_TRUE(LoadDataDictFromXMLFile((kData + "/agent.xml").c_str()));
  const TableDefn* agent = GetTableDefn("agentparams");
  ASSERT_NE(agent, nullptr);
  EXPECT_EQ(agent->name, "Agentparams");
  EXPECT_EQ(agent->description, "One row per named parameter.");
  EXPECT_NE(GetColumnDefnEntry("AGENTPARAMS", "PARAM_VALUE"), nullptr);
  EXPECT_EQ(GetColumnDefnEntry("Agentparams", "param_value"), nullptr);  // column names keep their case
  EXPECT_EQ(GetColumnIndex(agent, "PARAM_VALUE"), 1);
  EXPECT_EQ(GetColumnType("Agentparams", "PARAM_NAME"), TARN_SQL_VARCHAR);
  EXPECT_EQ(GetColumnType("Agentparams", "NOPE"), 0);
  EXPECT_EQ(GetColumnDefnEntry("Agentparams", "PARAM_NAME")->nullable, 0);

  std::uint8_t found = 7;
  EXPECT_TRUE(GetDefaultValue("Agentparams", "PARAM_NAME", &found).IsNull());
  EXPECT_EQ(found, 1);
  GetDefaultValue("Agentparams", "NOPE", &found);
  EXPECT_EQ(found, 0);

  EXPECT_EQ(GetTableDefn(nullptr), nullptr);
  EXPECT_TRUE(log_.Contains("Table Name is NULL.\n"));
  EXPECT_EQ(GetColumnDefnEntry(nullptr, "X"), nullptr);
  EXPECT_TRUE(log_.Contains("Cannot fetch default value;\n"));
  EXPECT_EQ(GetColumnType("Nowhere", "X"), 0);
  EXPECT_TRUE(log_.Contains("No definition found for table Nowhere\n"));
}

TEST_F(DataDictionaryTest, ASecondDefinitionOfANameIsAppendedAndFoundSecond) {
  LoadTables(Table("T") + "<table name=\"t\"><columns><column name=\"A\"/><column name=\"B\"/></columns></table>");
  EXPECT_EQ(TableNames(), (std::vector<std::string>{"T", "t"}));
  EXPECT_EQ(GetTableDefn("t")->columnCount(), 1);
  FreeTableDefn("t");
  EXPECT_EQ(TableNames(), (std::vector<std::string>{"t"}));
  FreeAllTableDefns();
  EXPECT_TRUE(TableNames().empty());
}

TEST_F(DataDictionaryTest, ABrokenTableIsLeftOutWithItsMessage) {
  struct Case {
    std::string inside;  // the broken table's body after its columns
    const char* message;
  };
  const Case cases[] = {
      {"<primary-key><primary-key-column>C<b/></primary-key-column></primary-key>",
       "\nMissing primary-key-column end tag\n"},
      {"<foreign-keys><foreign-key reference-table-name=\"T\"><fk-columns><fk-column><fk-local-column>C<x/>"
       "</fk-local-column></fk-column></fk-columns></foreign-key></foreign-keys>",
       "\n Missing endof FK-LOCAL-COLUMN tag\n"},
      {"<foreign-keys><foreign-key reference-table-name=\"T\"><fk-columns><fk-column><fk-reference-column><x/>"
       "</fk-reference-column></fk-column></fk-columns></foreign-key></foreign-keys>",
       "\nMissing endof FK-REFERENCE-COLUMN\n"},
      {"<foreign-keys><foreign-key reference-table-name=\"T\"><fk-columns><x/></fk-columns></foreign-key>"
       "</foreign-keys>",
       "\nMissing end FK-COLUMNS\n"},
      {"<foreign-keys><foreign-key reference-table-name=\"T\"><fk-columns/><fk-constraints>ON<x/></fk-constraints>"
       "</foreign-key></foreign-keys>",
       "\nMissing endof FK-CONSTRAINTS tag\n"},
      {"<primary-key><description>misplaced</description></primary-key>", "\nDescription tag ambiguity \n"},
      {"<indexes/>", "\nUnexpected tag indexes in table BROKEN\n"},
      {"<primary-key/><columns/>", "\nUnexpected tag columns in table BROKEN\n"},
  };
  for (const Case& c : cases) {
    ResetDataDictionary();
    LoadTables(Table("BEFORE") + Table("BROKEN", c.inside) + Table("AFTER"));
    EXPECT_EQ(TableNames(), (std::vector<std::string>{"BEFORE", "AFTER"})) << c.message;
    EXPECT_TRUE(log_.Contains(c.message)) << c.message;
  }
  EXPECT_FALSE(log_.Contains("failed to parse"));
}

// Names go into SQL texts as they stand: only plain identifiers are taken.
TEST_F(DataDictionaryTest, ANameThatIsNoPlainIdentifierLeavesOutItsTable) {
  const std::string column = "<column name=\"C\"><data-type>TEXT</data-type></column>";
  const std::string longest(63, 'L');
  const std::pair<std::string, const char*> cases[] = {
      {Table("X; DROP TABLE Y"), "Name X; DROP TABLE Y in table X; DROP TABLE Y is not a plain SQL identifier"},
      {Table("1ST"), "Name 1ST in table 1ST"},
      {Table(longest + "L"), "is not a plain SQL identifier"},
      {"<table name=\"T\"><columns><column name=\"C)\"><data-type>TEXT</data-type></column></columns></table>",
       "Name C) in table T"},
      {"<table name=\"T\"><columns>" + column + "</columns><primary-key><primary-key-column>C --</primary-key-column>"
       "</primary-key></table>",
       "Name C -- in table T"},
      {"<table name=\"T\"><columns>" + column + "</columns><foreign-keys><foreign-key reference-table-name=\"P(\">"
       "<fk-columns><fk-column><fk-local-column>C</fk-local-column><fk-reference-column>C</fk-reference-column>"
       "</fk-column></fk-columns></foreign-key></foreign-keys></table>",
       "Name P( in table T"},
      {"<table name=\"T\"><columns><column name=\"\"><data-type>TEXT</data-type></column></columns></table>",
       "Name  in table T"},
      {"<table name=\"T\"><columns><column name=\"\xc3\xa9\"><data-type>TEXT</data-type></column></columns></table>",
       "in table T is not a plain SQL identifier"},
  };
  for (const auto& [table, message] : cases) {
    ResetDataDictionary();
    LoadTables(Table("BEFORE") + table + Table("_after_" + longest.substr(7)));
    EXPECT_EQ(TableNames(), (std::vector<std::string>{"BEFORE", "_after_" + longest.substr(7)})) << message;
    EXPECT_TRUE(log_.Contains(message)) << message;
  }
}

TEST_F(DataDictionaryTest, BrokenColumnsAndAllowedValues) {
  const std::string column = "<table name=\"BROKEN\"><columns><column name=\"C\">";
  const std::pair<std::string, const char*> cases[] = {
      {"<allowed-values><value>a<b/></value></allowed-values>", "\n No ending Value tag\n"},
      {"<allowed-values><from>1<b/></from></allowed-values>", "\nNo Ending FROM tag \n"},
      {"<allowed-values><from>1</from><to><b/></to></allowed-values>", "\nNo ending TO tag \n"},
      {"<allowed-values><from>1</from></allowed-values>", "In the allowed values attribute, 'to' tag is missing.\n"},
      {"<data-type>TEXT<b/></data-type>", "\nMissing end tag of data-type in table BROKEN\n"},
      {"<Data-Type>TEXT</Data-Type>", "\nUnexpected tag Data-Type in table BROKEN\n"},
  };
  for (const auto& [inside, message] : cases) {
    ResetDataDictionary();
    LoadTables(Table("BEFORE") + column + inside + "</column></columns></table>" + Table("AFTER"));
    EXPECT_EQ(TableNames(), (std::vector<std::string>{"BEFORE", "AFTER"})) << message;
    EXPECT_TRUE(log_.Contains(message)) << message;
  }
  ResetDataDictionary();
  LoadTables("<table system=\"x\"><columns><column name=\"C\"/></columns></table>" +
             std::string("<table name=\"N\"><columns><column system=\"C\"/></columns></table>") + Table("AFTER"));
  EXPECT_EQ(TableNames(), (std::vector<std::string>{"AFTER"}));  // a name is never taken from another attribute
}

TEST_F(DataDictionaryTest, MalformedDocumentsKeepWhatWasLoadedBefore) {
  ASSERT_TRUE(LoadDataDictFromXMLFile((kData + "/agent.xml").c_str()));
  // A missing end tag of column: the reader fails inside the second table,
  // after the first (far enough ahead for the parser not to see the fault
  // while it reads the first) has been loaded.
  const std::string path =
      Write("malformed.xml", "<data-dictionary>" + Table("FIRST") + "<!--" + std::string(100000, ' ') + "-->" +
                                 "<table name=\"SECOND\"><columns><column name=\"C\"></columns></table>" +
                                 Table("THIRD") + "</data-dictionary>");
  EXPECT_TRUE(LoadDataDictFromXMLFile(path.c_str()));
  EXPECT_EQ(TableNames(), (std::vector<std::string>{"Agentparams", "FIRST"}));
  EXPECT_TRUE(log_.Contains(path + " : failed to parse\n"));

  const std::string cut = Write("cut.xml", "<data-dictionary>" + Table("ONE") + "<description>never ended");
  LoadDataDictFromXMLFile(cut.c_str());
  EXPECT_TRUE(log_.Contains("\nNo Description end tag\n"));
  EXPECT_EQ(TableNames(), (std::vector<std::string>{"Agentparams", "FIRST", "ONE"}));

  const std::string junk = Write("junk.xml", std::string("\0\x01garbage<<", 11));
  LoadDataDictFromXMLFile(junk.c_str());
  EXPECT_TRUE(log_.Contains(junk + " : failed to parse\n"));

  const std::string missing = kDir + "\\missing.xml";
  EXPECT_TRUE(LoadDataDictFromXMLFile(missing.c_str()));
  EXPECT_TRUE(log_.Contains("Unable to open " + missing + "\n"));
  EXPECT_FALSE(LoadDataDictFromXMLFile(nullptr));
  EXPECT_EQ(TableNames(), (std::vector<std::string>{"Agentparams", "FIRST", "ONE"}));
}

TEST_F(DataDictionaryTest, OtherAttributesAreReportedButAccepted) {
  LoadTables("<!-- a comment --><table name=\"T\" owner=\"me\"><columns><column name=\"C\"/></columns></table>");
  EXPECT_EQ(TableNames(), (std::vector<std::string>{"T"}));
  EXPECT_TRUE(log_.Contains("\n Not all Attributes were read\n"));
  EXPECT_TRUE(log_.Contains("@@@@Parsing Table Info : T @@@@\n"));
}

TEST_F(DataDictionaryTest, ListFilesInADirectoryOrUnderTheStoresRoot) {
  EXPECT_TRUE(LoadDataDictFiles(kData.c_str()));
  EXPECT_EQ(TableNames(), (std::vector<std::string>{"Agentparams", "CUSTOMERS", "ORDERS"}));
  EXPECT_TRUE(log_.Contains("Opening " + kData + "\\shop.xml\n"));
  EXPECT_TRUE(log_.Contains("Unable to open " + kData + "\\missing.xml\n"));  // the loop goes on
  EXPECT_FALSE(LoadDataDictFiles((kDir + "\\none").c_str()));
  EXPECT_TRUE(log_.Contains("Cannot open DataDictionary File.\n"));

  ResetDataDictionary();
  fs::create_directories(dir_ / "root" / "data");
  fs::copy_file(kDataHost + "/agent.xml", dir_ / "root" / "data" / "agent.xml");
  std::ofstream(dir_ / "root" / "data" / "datadictionary.txt") << "agent.xml";
  const std::string root = kDir + "\\root";
  SetCFennelRoot(root.c_str());
  EXPECT_TRUE(LoadAllDataDictFiles());
  EXPECT_EQ(TableNames(), (std::vector<std::string>{"Agentparams"}));
  EXPECT_TRUE(log_.Contains("Opening " + root + "/data/agent.xml\n"));

  SetCFennelRoot(kDir.c_str());
  EXPECT_FALSE(LoadAllDataDictFiles());
}

TEST_F(DataDictionaryTest, PrintsADefinition) {
  ASSERT_TRUE(LoadDataDictFromXMLFile((kData + "/shop.xml").c_str()));
  PrintTableDefn(GetTableDefn("ORDERS"));
  const std::string text = log_.Contents();
  EXPECT_NE(text.find("Table Name : ORDERS\n"), std::string::npos);
  EXPECT_NE(text.find("Description: (null)\n"), std::string::npos);
  EXPECT_NE(text.find("Column Name : PLACED\n"), std::string::npos);
  EXPECT_NE(text.find("Column Type : 18\n"), std::string::npos);
  EXPECT_NE(text.find("Unique Flag : FALSE\n"), std::string::npos);
  EXPECT_NE(text.find(std::string(39, '-') + "\n\n"), std::string::npos);
  EXPECT_NE(text.find("Primary key : REGION\n\n"), std::string::npos);
  EXPECT_NE(text.find("Foreign key Constraints\n"), std::string::npos);
  EXPECT_NE(text.find("Ref Column  : PARAM_NAME\n"), std::string::npos);
  EXPECT_NE(text.find("Tablename : Agentparams\n"), std::string::npos);
  EXPECT_NE(text.find(std::string(32, '*') + "\n"), std::string::npos);
}

}  // namespace
}  // namespace kv
