#include "store/xml_table_reader.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "store/date_time.h"
#include "store/reference_text.h"
#include "tests/store/table_fixture.h"

namespace kv {
namespace {

using test::TableTest;

bool LoadDocument(const std::string& document) {
  return ConstructTableDataFromXMLBuffer(document.data(), document.size());
}

// The integer a row's column holds, or -1 for NULL.
std::int32_t IntAt(const RowObject* row, int column) {
  const StoredValue& value = row->values[column];
  return value.IsNull() ? -1 : static_cast<std::int32_t>(ReadSignedInteger(value.data, value.length));
}

const RowObject* RowAt(const char* table, int n) {
  const RowObject* row = GetTableDataByName(table)->firstRow;
  for (; row && n > 0; --n) row = row->next;
  return row;
}

class XmlTableReaderTest : public TableTest {};

TEST_F(XmlTableReaderTest, TheAgentReadsItsResourceIdentifier) {
  const std::string reply =
      "<?xml version=\"1.0\"?>\n<Reply><AgentparamsList>"
      "<Agentparams PARAM_NAME=\"OTHER\" PARAM_VALUE=\"x\"/>"
      "<Agentparams PARAM_NAME=\"RESOURCE_ID\" PARAM_VALUE=\"1234\"/>"
      "</AgentparamsList></Reply>";
  ASSERT_TRUE(LoadDocument(reply));
  ResultDataPtr result = SelectRows("Agentparams", "PARAM_NAME='RESOURCE_ID'");
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->rowCount, 1);
  const RowObject* row = GotoNextRowObject(result.get());
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->state, ROW_STATE_NEW);
  std::int32_t length = 0;
  const char* value = GetColumnValueByName("param_Value", &length, result.get());
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(std::string(value, static_cast<std::size_t>(length)), "1234");
  EXPECT_EQ(length, 4);
  EXPECT_EQ(GotoNextRowObject(result.get()), nullptr);
}

TEST_F(XmlTableReaderTest, WithoutADefinitionTheReplyCannotBeRead) {
  ResetDataDictionary();
  ASSERT_TRUE(LoadDataDictFromXMLFile((test::kStoreData + "/tables.xml").c_str()));
  EXPECT_FALSE(
      LoadDocument("<Reply><AgentparamsList><Agentparams PARAM_NAME=\"RESOURCE_ID\"/></AgentparamsList></Reply>"));
  EXPECT_TRUE(log_.Contains("Cannot create and add a new row while constructing tabledata from XML file.\n"));
  EXPECT_TRUE(log_.Contains("Cannot construct table data from XML buffer.\n"));
  EXPECT_EQ(GetTableDataByName("Agentparams"), nullptr);
}

TEST_F(XmlTableReaderTest, ValuesAreConvertedByColumnType) {
  ASSERT_TRUE(LoadDocument(
      "<r>"
      "<KINDS ID=\"1\" NAME=\"one:two\" SINCE=\"2024-2-29\" AT=\"7:8:9\" STAMP=\"2001-02-03 04:05:06\" ACTIVE=\"FALSE\""
      " RATIO=\"0.25\" AMOUNT=\"-1.5\" SMALL=\"12\" NOTE=\"a:b:c\"/>"
      "<kinds id=\"2\" name=\"a:b:c:d\" since=\"2023-02-31\" active=\"no\" note=\"x\" stamp=\"2001-02-03\"/>"
      "</r>"));
  const RowObject* first = RowAt("KINDS", 0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(IntAt(first, 0), 1);
  EXPECT_EQ(first->values[1].Bytes(), "one:two");  // one ':' is no reference
  EXPECT_EQ(first->values[2].length, TARN_DATE_LENGTH);
  EXPECT_EQ(FormatTarnDate(Load<TarnDate>(first->values[2].data)).view(), "2024-02-29");
  EXPECT_EQ(first->values[3].length, TARN_TIME_LENGTH);
  EXPECT_EQ(first->values[4].length, TARN_DATETIME_LENGTH);
  EXPECT_EQ(first->values[5].Bytes(), std::string(1, '\0'));
  EXPECT_EQ(ReadFloat(first->values[6].data), 0.25f);
  EXPECT_EQ(ReadDouble(first->values[7].data), -1.5);
  EXPECT_EQ(first->values[8].length, 4);  // integers from documents take 4 bytes
  EXPECT_EQ(first->values[9].Bytes(), "c");
  EXPECT_EQ(first->values[10].Bytes(), "EU");  // the default

  const RowObject* second = RowAt("KINDS", 1);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->values[1].Bytes(), "c:d");  // all after the second ':'
  EXPECT_TRUE(second->values[2].IsNull());      // no such date
  EXPECT_TRUE(second->values[4].IsNull());      // a date-time needs both parts
  EXPECT_EQ(second->values[5].Bytes(), "\x01");
  EXPECT_TRUE(second->values[6].IsNull());
}

TEST_F(XmlTableReaderTest, OneReferenceOneIdentifier) {
  ASSERT_TRUE(
      LoadDocument("<r><ORDERSList>"
                   "<ORDERS ORDER_ID=\"ORDERS:ORDER_ID:7\" NOTE=\"a\"/>"
                   "<ORDERS ORDER_ID=\"ORDERS:ORDER_ID:8\" NOTE=\"b\"/>"
                   "<ORDERS ORDER_ID=\"ORDERS:ORDER_ID:7\" NOTE=\"c\"/>"
                   "</ORDERSList></r>"));
  const std::int32_t a = IntAt(RowAt("ORDERS", 0), 0);
  EXPECT_GT(a, 0);
  EXPECT_NE(IntAt(RowAt("ORDERS", 1), 0), a);
  EXPECT_EQ(IntAt(RowAt("ORDERS", 2), 0), a);
  EXPECT_EQ(RowAt("ORDERS", 0)->values[0].length, 4);
}

TEST_F(XmlTableReaderTest, NestedRowsInheritTheirKeys) {
  ASSERT_TRUE(LoadDocument(
      "<r><CUSTOMERS CUSTOMER_ID=\"CUSTOMERS:CUSTOMER_ID:1\" NAME=\"Ada\">"
      "<ORDERS ORDER_ID=\"ORDERS:ORDER_ID:1\"><ORDER_LINES LINE=\"1\" ITEM=\"pen\"/><ORDER_LINES LINE=\"2\"/></ORDERS>"
      "</CUSTOMERS>"
      "<ORDERS ORDER_ID=\"ORDERS:ORDER_ID:2\" CUSTOMER_ID=\"CUSTOMERS:CUSTOMER_ID:1\"/></r>"));
  const std::int32_t customer = IntAt(RowAt("CUSTOMERS", 0), 0);
  const std::int32_t order = IntAt(RowAt("ORDERS", 0), 0);
  EXPECT_EQ(IntAt(RowAt("ORDERS", 0), 1), customer);  // from the enclosing customer
  EXPECT_EQ(IntAt(RowAt("ORDERS", 1), 1), customer);  // the same reference
  EXPECT_EQ(IntAt(RowAt("ORDER_LINES", 0), 0), order);
  EXPECT_EQ(IntAt(RowAt("ORDER_LINES", 1), 0), order);
  EXPECT_EQ(IntAt(RowAt("ORDER_LINES", 1), 1), 2);
  EXPECT_TRUE(RowAt("ORDER_LINES", 1)->values[2].IsNull());
}

TEST_F(XmlTableReaderTest, ReferencesFollowForeignKeysToAGenerator) {
  // SHIPMENTS -> ORDER_LINES.ORDER_ID (no generator) -> ORDERS.ORDER_ID (generator).
  ASSERT_TRUE(LoadDocument(
      "<r><SHIPMENTS SHIPMENT_ID=\"1\" LINE_ORDER_ID=\"ORDER_LINES:ORDER_ID:5\"/>"
      "<ORDERS ORDER_ID=\"ORDERS:ORDER_ID:5\"/><ORDER_LINES ORDER_ID=\"ORDER_LINES:ORDER_ID:5\" LINE=\"1\"/>"
      "<LOOP_A ID=\"LOOP_B:ID:42\"/>"
      "<Workflow_Statements NEXT_STATEMENT_ID=\"Workflow_Statements:STATEMENT_ID:0\"/>"
      "<Workflow_Statements NEXT_STATEMENT_ID=\"Workflow_Statements:STATEMENT_ID:3\"/></r>"));
  const std::int32_t shipped = IntAt(RowAt("SHIPMENTS", 0), 1);
  EXPECT_GT(shipped, 0);
  EXPECT_NE(shipped, 5);
  EXPECT_EQ(IntAt(RowAt("ORDERS", 0), 0), shipped);
  EXPECT_EQ(IntAt(RowAt("ORDER_LINES", 0), 0), shipped);
  EXPECT_EQ(IntAt(RowAt("LOOP_A", 0), 0), 42);  // a chain in a circle has no generator: the key
  EXPECT_EQ(IntAt(RowAt("Workflow_Statements", 0), 1), 0);
  EXPECT_GT(IntAt(RowAt("Workflow_Statements", 1), 1), 0);
}

TEST_F(XmlTableReaderTest, AReferenceWithoutPartsLeavesTheColumnEmpty) {
  ASSERT_TRUE(LoadDocument(
      "<r><ORDERS CUSTOMER_ID=\"::5\"/><ORDERS CUSTOMER_ID=\"NOWHERE:X:5\"/><ORDERS CUSTOMER_ID=\":\"/></r>"));
  EXPECT_TRUE(log_.Contains("Unable to get Column details for AutoID generation \n"));
  EXPECT_EQ(IntAt(RowAt("ORDERS", 0), 1), -1);
  EXPECT_EQ(IntAt(RowAt("ORDERS", 1), 1), -1);
  EXPECT_EQ(IntAt(RowAt("ORDERS", 2), 1), 0);  // one ':' is a plain (non-numeric) value
  EXPECT_GT(IntAt(RowAt("ORDERS", 0), 0), 0);  // the key column is generated
}

TEST_F(XmlTableReaderTest, BadDocumentsFailAndKeepWhatWasLoaded) {
  ASSERT_TRUE(LoadDocument("<r><Agentparams PARAM_NAME=\"KEPT\"/></r>"));
  EXPECT_FALSE(LoadDocument("<r><Agentparams PARAM_NAME=\"X\"></r>"));
  EXPECT_TRUE(log_.Contains("error: could not parse file file.xml\n"));
  EXPECT_TRUE(log_.Contains("ConstructTableDataFromXMLBuffer : line 1: "));
  EXPECT_FALSE(LoadDocument(""));
  EXPECT_FALSE(ConstructTableDataFromXMLBuffer(nullptr, 3));

  // An unknown element stops the construction; the rows before it stay.
  EXPECT_FALSE(LoadDocument("<r><Agentparams PARAM_NAME=\"A\"/><Bogus/><Agentparams PARAM_NAME=\"B\"/></r>"));
  EXPECT_EQ(GetTableDataByName("Agentparams")->rowCount, 2);
  EXPECT_EQ(RowAt("Agentparams", 1)->values[0].Bytes(), "A");

  // Deeper than the parser goes: refused, not recursed into.
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<AList>";
  for (int i = 0; i < 5000; ++i) deep += "</AList>";
  EXPECT_FALSE(LoadDocument(deep));
  EXPECT_EQ(GetTableDataByName("Agentparams")->rowCount, 2);
}

TEST_F(XmlTableReaderTest, ContainersAndEntities) {
  ASSERT_TRUE(LoadDocument(
      "<!DOCTYPE r [<!ENTITY who \"Ada\">]><r>"
      "<SomeList><OtherList><Agentparams PARAM_NAME=\"&who; &amp; Bob\" PARAM_VALUE=\"&#x3c;&quot;\"/></OtherList>"
      "</SomeList><Empty_List/></r>"));
  EXPECT_EQ(RowAt("Agentparams", 0)->values[0].Bytes(), "Ada & Bob");
  EXPECT_EQ(RowAt("Agentparams", 0)->values[1].Bytes(), "<\"");
  EXPECT_TRUE(LoadDocument("<empty/>"));
}

// Entity references in attribute values cost what their text adds, once;
// a document whose references would add more is refused, however they nest.
TEST_F(XmlTableReaderTest, EntityTextIsBoundedAndLinear) {
  const std::string word(1000, 'w');
  std::string many = "<!DOCTYPE r [<!ENTITY w \"" + word + "\">]><r><AgentparamsList>";
  std::string references;
  for (int i = 0; i < 2000; ++i) references += "&w;";
  for (int i = 0; i < 4; ++i)
    many += "<Agentparams PARAM_NAME=\"P" + std::to_string(i) + "\" PARAM_VALUE=\"" + references + "\"/>";
  many += "</AgentparamsList></r>";
  ASSERT_TRUE(LoadDocument(many));
  EXPECT_EQ(RowAt("Agentparams", 3)->values[1].length, 2000 * 1000);

  // Sixteen times as many: past the bound.
  ResetTableData();
  std::string more = "<!DOCTYPE r [<!ENTITY w \"" + word + "\">]><r><AgentparamsList>";
  for (int i = 0; i < 16; ++i)
    more += "<Agentparams PARAM_NAME=\"P" + std::to_string(i) + "\" PARAM_VALUE=\"" + references + "\"/>";
  more += "</AgentparamsList></r>";
  EXPECT_FALSE(LoadDocument(more));
  EXPECT_TRUE(log_.Contains("Entity references in attribute values add more than 16777216 bytes"));

  // Ten levels of ten references each would be ten thousand million bytes.
  std::string laughs = "<!DOCTYPE r [<!ENTITY l0 \"lol\">";
  for (int level = 1; level <= 10; ++level) {
    laughs += "<!ENTITY l" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) laughs += "&l" + std::to_string(level - 1) + ";";
    laughs += "\">";
  }
  laughs += "]><r><Agentparams PARAM_NAME=\"&l10;\"/></r>";
  EXPECT_FALSE(LoadDocument(laughs));
}

TEST_F(XmlTableReaderTest, FilesAndParsedNodes) {
  const std::string path = WriteFile("params.xml", "<r><ORDERS ORDER_ID=\"ORDERS:ORDER_ID:1\"/></r>");
  EXPECT_TRUE(ConstructTableDataFromXMLFile(path.c_str()));
  EXPECT_FALSE(ConstructTableDataFromXMLFile((path + ".missing").c_str()));
  EXPECT_FALSE(ConstructTableDataFromXMLFile(nullptr));
  WriteFile("params.xml", "<r><Bogus/></r>");
  EXPECT_FALSE(ConstructTableDataFromXMLFile(path.c_str()));
  EXPECT_TRUE(log_.Contains("Cannot construct table data from XML file.\n"));

  const std::string text = "<r><ORDERS ORDER_ID=\"ORDERS:ORDER_ID:1\"/></r>";
  xmlDocPtr document = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, 0);
  ASSERT_NE(document, nullptr);
  std::unique_ptr<HashTable> map = ConstructTableDataFromXMLNode(document, xmlDocGetRootElement(document));
  ASSERT_NE(map, nullptr);
  std::int32_t identifier = 0;
  ASSERT_TRUE(GetMappedIdentifier(*map, "ORDERS:ORDER_ID:1", identifier));
  EXPECT_EQ(identifier, IntAt(RowAt("ORDERS", 1), 0));
  EXPECT_EQ(ConstructTableDataFromXMLNode(document, nullptr), nullptr);
  EXPECT_TRUE(log_.Contains("Cannot construct table data from buffer node.\n"));
  xmlFreeDoc(document);
}

// A row takes a key it lacks from the elements still open around it: the
// nearest that has it, the root too, however deep; never from one already
// closed, by its end tag or as an empty element.
TEST_F(XmlTableReaderTest, KeysComeFromTheElementsStillOpen) {
  std::string deep;
  for (int i = 0; i < 200; ++i) deep += "<AList>";
  deep += "<ORDERS NOTE=\"deep\"/>";
  for (int i = 0; i < 200; ++i) deep += "</AList>";
  ASSERT_TRUE(LoadDocument(
      "<r CUSTOMER_ID=\"CUSTOMERS:CUSTOMER_ID:9\">"
      "<CUSTOMERS CUSTOMER_ID=\"CUSTOMERS:CUSTOMER_ID:1\"/>"
      "<ORDERS NOTE=\"after an empty customer\"/>"
      "<CUSTOMERS CUSTOMER_ID=\"CUSTOMERS:CUSTOMER_ID:2\"></CUSTOMERS>"
      "<OrdersList><ORDERS NOTE=\"after a closed customer\"/></OrdersList>"
      "<CUSTOMERS CUSTOMER_ID=\"CUSTOMERS:CUSTOMER_ID:3\"><!-- a comment --><OrdersList>"
      "<ORDERS ORDER_ID=\"ORDERS:ORDER_ID:3\" NOTE=\"inside\"><ORDER_LINES LINE=\"1\"/></ORDERS></OrdersList>"
      "<ORDERS NOTE=\"after a closed order\"/>" +
      deep +
      "</CUSTOMERS>"
      "<ORDERS customer_id=\"CUSTOMERS:CUSTOMER_ID:2\" NOTE=\"own\"/></r>"));
  const std::int32_t fromRoot = IntAt(RowAt("ORDERS", 0), 1);
  const std::int32_t second = IntAt(RowAt("CUSTOMERS", 1), 0);
  const std::int32_t third = IntAt(RowAt("CUSTOMERS", 2), 0);
  EXPECT_GT(fromRoot, 0);
  EXPECT_NE(fromRoot, IntAt(RowAt("CUSTOMERS", 0), 0));
  EXPECT_EQ(IntAt(RowAt("ORDERS", 1), 1), fromRoot);
  EXPECT_EQ(IntAt(RowAt("ORDERS", 2), 1), third);
  EXPECT_EQ(IntAt(RowAt("ORDER_LINES", 0), 0), IntAt(RowAt("ORDERS", 2), 0));
  // Its own key, not the closed order's: generated.
  EXPECT_GT(IntAt(RowAt("ORDERS", 3), 0), 0);
  EXPECT_NE(IntAt(RowAt("ORDERS", 3), 0), IntAt(RowAt("ORDERS", 2), 0));
  EXPECT_EQ(IntAt(RowAt("ORDERS", 3), 1), third);
  EXPECT_EQ(RowAt("ORDERS", 4)->values[2].Bytes(), "deep");
  EXPECT_EQ(IntAt(RowAt("ORDERS", 4), 1), third);
  EXPECT_EQ(IntAt(RowAt("ORDERS", 5), 1), second);
  EXPECT_EQ(RowAt("ORDERS", 6), nullptr);
}

// Only the document's own elements are rows: not the elements of an entity
// it refers to in content, nor markup inside CDATA. Namespace declarations
// are no attributes (one whose URI reads like a column's name included), and
// a prefixed attribute is named by its local name.
TEST_F(XmlTableReaderTest, OnlyTheDocumentsOwnElementsAreRows) {
  ASSERT_TRUE(LoadDocument(
      "<!DOCTYPE r [<!ENTITY more \"<Agentparams PARAM_NAME='E'/>\">]>"
      "<r xmlns:p=\"urn:p\">&more;<?pi <Agentparams/>?><![CDATA[<Agentparams PARAM_NAME='C'/>]]>"
      "<Agentparams xmlns=\"urn:d\" xmlns:q=\"PARAM_VALUE\" p:PARAM_NAME=\"A\" PARAM_VALUE=\"v\"/>&more;</r>"));
  EXPECT_EQ(GetTableDataByName("Agentparams")->rowCount, 1);
  EXPECT_EQ(RowAt("Agentparams", 0)->values[0].Bytes(), "A");
  EXPECT_EQ(RowAt("Agentparams", 0)->values[1].Bytes(), "v");
}

// Documents longer than libxml2 reads at once: every row in document order,
// from a file as from memory, each document with identifiers of its own for
// the same reference texts.
TEST_F(XmlTableReaderTest, LongDocumentsKeepTheirOrder) {
  constexpr int kOrders = 3000;
  std::string document = "<?xml version=\"1.0\"?>\n<r>\n<CUSTOMERS CUSTOMER_ID=\"CUSTOMERS:CUSTOMER_ID:1\"><OrdersList>\n";
  for (int i = 0; i < kOrders; ++i)
    document += "  <ORDERS ORDER_ID=\"ORDERS:ORDER_ID:" + std::to_string(i) + "\" NOTE=\"n" + std::to_string(i) + "\"/>\n";
  document += "</OrdersList></CUSTOMERS>\n</r>\n";
  ASSERT_TRUE(ConstructTableDataFromXMLFile(WriteFile("long.xml", document).c_str()));
  ASSERT_TRUE(LoadDocument(document));

  const TableData* orders = GetTableDataByName("ORDERS");
  ASSERT_EQ(orders->rowCount, 2 * kOrders);
  const std::int32_t customers[] = {IntAt(RowAt("CUSTOMERS", 0), 0), IntAt(RowAt("CUSTOMERS", 1), 0)};
  EXPECT_NE(customers[0], customers[1]);
  int n = 0;
  std::int32_t previous = 0;
  for (const RowObject* row = orders->firstRow; row; row = row->next, ++n) {
    ASSERT_EQ(row->values[2].Bytes(), "n" + std::to_string(n % kOrders));
    ASSERT_EQ(IntAt(row, 1), customers[n / kOrders]);
    ASSERT_NE(IntAt(row, 0), previous);
    previous = IntAt(row, 0);
  }
}

// libxml2 says nothing of its own on standard error, whatever is wrong with
// a document: the store logs it.
TEST_F(XmlTableReaderTest, LibXml2KeepsQuiet) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(LoadDocument("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r><Agentparams PARAM_NAME=\"\xff\xfe\"/></r>"));
  EXPECT_FALSE(LoadDocument("<?xml version=\"1.0\" encoding=\"nowhere-9\"?><r/>"));
  EXPECT_FALSE(LoadDocument("<r><Agentparams PARAM_NAME=\"X\"></r>"));
  EXPECT_TRUE(LoadDocument("<r xmlns:q=\"relative\"><Agentparams q:PARAM_NAME=\"W\"/></r>"));  // a warning
  EXPECT_FALSE(ConstructTableDataFromXMLFile(WindowsPath("none.xml").c_str()));
  EXPECT_FALSE(ConstructTableDataFromXMLFile(WriteFile("cut.xml", "<r><Agentparams PARAM_NAME=\"X\"/>").c_str()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(XmlTableReaderTest, DamagedDocumentsNeverCrash) {
  const std::string good =
      "<r><CUSTOMERS CUSTOMER_ID=\"CUSTOMERS:CUSTOMER_ID:1\" NAME=\"Ada\"><ORDERS ORDER_ID=\"ORDERS:ORDER_ID:1\" "
      "NOTE=\"a:b:c\"><ORDER_LINES LINE=\"1\"/></ORDERS></CUSTOMERS><KINDS ID=\"1\" SINCE=\"2024-1-1\" "
      "STAMP=\"2024-01-01 10:00:00\" ACTIVE=\"x\"/><AgentparamsList><Agentparams PARAM_NAME=\"P\"/></AgentparamsList></r>";
  ASSERT_TRUE(LoadDocument(good));
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  const char bytes[] = {':', '<', '>', '"', '&', '/', '=', '\0', '\xff', 'A', ' '};
  for (int round = 0; round < 500; ++round) {
    std::string damaged = good;
    for (int i = 0; i < 3; ++i) damaged[next() % damaged.size()] = bytes[next() % sizeof bytes];
    if (next() % 4 == 0) damaged.resize(next() % damaged.size());
    (void)LoadDocument(damaged);
  }
  EXPECT_GE(GetTableDataByName("CUSTOMERS")->rowCount, 1);
}

}  // namespace
}  // namespace kv
