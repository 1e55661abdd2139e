#include "store/xml_writers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "store/column_types.h"
#include "store/compare_values.h"
#include "store/date_time.h"
#include "store/table_text.h"
#include "store/xml_table_reader.h"
#include "tests/store/table_fixture.h"
#include "tests/support/child_process.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::TableTest;

constexpr const char* kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

StoredValue TextValue(const char* text) { return StoredValue{text, static_cast<std::int32_t>(std::strlen(text))}; }

std::string Slurp(const fs::path& path) { return test::ReadWholeFile(path.string()); }

// Every value of every row of a table, byte for byte.
std::vector<std::vector<std::string>> Rows(const char* table) {
  std::vector<std::vector<std::string>> rows;
  const TableData* data = GetTableDataByName(table);
  for (const RowObject* row = data ? data->firstRow : nullptr; row; row = row->next) {
    rows.emplace_back();
    for (std::int32_t i = 0; i < data->columnCount; ++i)
      rows.back().push_back(row->values[i].IsNull() ? "<NULL>" : std::string(row->values[i].Bytes()));
  }
  return rows;
}

class XmlWritersTest : public TableTest {
 protected:
  XmlWritersTest() : dir_(HostPath("")) { image_.MakeDirectory("drive_c/scratch"); }

  void AddParam(const char* name, const char* value) {
    const StoredValue values[] = {TextValue(name), TextValue(value)};
    ASSERT_NE(AddNewRow("Agentparams", values), nullptr);
  }

  // The directory on the machine, and on the host.
  static std::string Prefix() { return "C:\\scratch/"; }
  fs::path dir_;
};

TEST_F(XmlWritersTest, TheDocumentLayout) {
  ASSERT_TRUE(CreateTable("Agentparams"));
  AddParam("RESOURCE_ID", "1234");
  const StoredValue nameOnly[] = {TextValue("EMPTY_VALUE")};
  AddNewRow("Agentparams", nameOnly);
  const char* names[] = {"Agentparams", "NoTable", nullptr, "Agentparams"};
  EXPECT_EQ(ConvertDOtoXMLBuffer(names, "AgentparamsList"),
            std::string(kHead) +
                "<AgentparamsList>\n"
                "<Agentparams PARAM_NAME=\"RESOURCE_ID\" PARAM_VALUE=\"1234\" />\n"
                "<Agentparams PARAM_NAME=\"EMPTY_VALUE\" />\n"
                "</AgentparamsList>\n");
  EXPECT_TRUE(log_.Contains("@@@ Inside  ConvertDOtoXMLBuffer @@@\n"));
  const char* missing[] = {"NoTable"};
  EXPECT_EQ(ConvertDOtoXMLBuffer(missing, "root"), std::string(kHead) + "<root>\n</root>\n");

  ASSERT_TRUE(ConvertDOtoXML(names, "params", Prefix().c_str()));
  EXPECT_EQ(Slurp(dir_ / "params.xml"), *ConvertDOtoXMLBuffer(names, "params"));
  EXPECT_FALSE(ConvertDOtoXML(names, "params", (Prefix() + "no/such/dir/").c_str()));
  EXPECT_TRUE(log_.Contains("Error in opening " + Prefix() + "no/such/dir/params.xml\n"));
}

TEST_F(XmlWritersTest, DefaultsAreLeftOutOfTheTextOnly) {
  ASSERT_TRUE(CreateTable("KINDS"));
  const std::int32_t id = 1;
  const StoredValue values[] = {{reinterpret_cast<const char*>(&id), 4}};
  AddNewRow("KINDS", values);  // REGION takes its default
  const char* names[] = {"KINDS"};
  EXPECT_EQ(ConvertDOtoXMLBuffer(names, "r"), std::string(kHead) + "<r>\n<KINDS ID=\"1\" />\n</r>\n");
  ASSERT_TRUE(ConvertDOtoXML(names, "kinds", Prefix().c_str()));
  EXPECT_EQ(Slurp(dir_ / "kinds.xml"), std::string(kHead) + "<kinds>\n<KINDS ID=\"1\" REGION=\"EU\" />\n</kinds>\n");
}

TEST_F(XmlWritersTest, ReferenceModeWritesReferenceTexts) {
  ASSERT_TRUE(CreateTable("CUSTOMERS"));
  ASSERT_TRUE(CreateTable("ORDERS"));
  const std::int32_t customer = 5, order = 9;
  const StoredValue customerRow[] = {{reinterpret_cast<const char*>(&customer), 4}, TextValue("Ada")};
  const StoredValue orderRow[] = {{reinterpret_cast<const char*>(&order), 4},
                                  {reinterpret_cast<const char*>(&customer), 4}};
  AddNewRow("CUSTOMERS", customerRow);
  AddNewRow("ORDERS", orderRow);

  ASSERT_TRUE(ConvertTablesToXML("shop", Prefix().c_str(), 1));
  EXPECT_EQ(Slurp(dir_ / "shop.xml"), std::string(kHead) +
                                          "<shop>\n"
                                          "<CUSTOMERS CUSTOMER_ID=\"CUSTOMERS:CUSTOMER_ID:5\" NAME=\"Ada\" />\n"
                                          "<ORDERS ORDER_ID=\"ORDERS:ORDER_ID:9\" "
                                          "CUSTOMER_ID=\"CUSTOMERS:CUSTOMER_ID:5\" />\n"
                                          "</shop>\n");
  EXPECT_TRUE(log_.Contains("No Foreignkey Entries in Definition \n"));  // CUSTOMERS has none
  ASSERT_TRUE(ConvertTablesToXML("plain", Prefix().c_str(), 0));
  EXPECT_NE(Slurp(dir_ / "plain.xml").find("<ORDERS ORDER_ID=\"9\" CUSTOMER_ID=\"5\" />"), std::string::npos);

  // Read into a fresh store the references keep the rows related, under new identifiers.
  ResetTableData();
  ASSERT_TRUE(ConstructTableDataFromXMLFile((Prefix() + "shop.xml").c_str()));
  const auto customers = Rows("CUSTOMERS");
  const auto orders = Rows("ORDERS");
  ASSERT_EQ(customers.size(), 1u);
  ASSERT_EQ(orders.size(), 1u);
  EXPECT_EQ(orders[0][1], customers[0][0]);
}

TEST_F(XmlWritersTest, WrittenTextsReadBackUnchanged) {
  ASSERT_TRUE(CreateTable("Agentparams"));
  const std::vector<std::string> texts = {"say \"hi\" & <bye>",
                                          "it's > 'that'",
                                          "a\ttab\nline\r\nend",
                                          "http://host:80/x",
                                          "a:b:c",
                                          "::",
                                          "&amp; is not &",
                                          "caf\xc3\xa9",
                                          " spaced  out ",
                                          ""};
  for (std::size_t i = 0; i < texts.size(); ++i) AddParam(("P" + std::to_string(i)).c_str(), texts[i].c_str());
  AddParam("P:with:colons", "1");
  const auto before = Rows("Agentparams");

  const char* names[] = {"Agentparams"};
  const std::optional<std::string> document = ConvertDOtoXMLBuffer(names, "params");
  ASSERT_TRUE(document);
  EXPECT_NE(document->find("PARAM_VALUE=\"say &quot;hi&quot; &amp; &lt;bye&gt;\""), std::string::npos);
  ResetTableData();
  ASSERT_TRUE(ConstructTableDataFromXMLBuffer(document->data(), document->size()));
  EXPECT_EQ(Rows("Agentparams"), before);

  ASSERT_TRUE(ConvertDOtoXML(names, "params", Prefix().c_str()));
  ResetTableData();
  ASSERT_TRUE(ConstructTableDataFromXMLFile((Prefix() + "params.xml").c_str()));
  EXPECT_EQ(Rows("Agentparams"), before);
}

TEST_F(XmlWritersTest, EveryWrittenTypeReadsBack) {
  const std::string document =
      "<r><KINDS ID=\"-7\" NAME=\"n\" SINCE=\"2024-02-29\" AT=\"23:59:58\" STAMP=\"1999-12-31 01:02:03\" "
      "ACTIVE=\"false\" RATIO=\"0.125\" AMOUNT=\"2.5\" SMALL=\"-3\" NOTE=\"long text\" REGION=\"US\"/>"
      "<KINDS ID=\"8\" ACTIVE=\"true\"/></r>";
  ASSERT_TRUE(ConstructTableDataFromXMLBuffer(document.data(), document.size()));
  const std::optional<std::string> before = ToStringTableData("KINDS");
  const char* names[] = {"KINDS"};
  const std::optional<std::string> written = ConvertDOtoXMLBuffer(names, "r");
  ASSERT_TRUE(written);
  ResetTableData();
  ASSERT_TRUE(ConstructTableDataFromXMLBuffer(written->data(), written->size()));
  EXPECT_EQ(ToStringTableData("KINDS"), before);
}

// A document that cannot be written whole leaves the one before it as it
// was, and no part of itself.
TEST_F(XmlWritersTest, AFullDiskLeavesTheEarlierDocumentWhole) {
  ASSERT_TRUE(CreateTable("Agentparams"));
  AddParam("A", "1");
  const char* names[] = {"Agentparams"};
  ASSERT_TRUE(ConvertDOtoXML(names, "params", Prefix().c_str()));
  const std::string before = Slurp(dir_ / "params.xml");
  AddParam("B", "2");
  image_.WriteMachineJson(R"({"disk":{"write_faults":[{"file":"params.xml.tmp","after":40}]}})");
  image_.Use();
  EXPECT_FALSE(ConvertDOtoXML(names, "params", Prefix().c_str()));
  EXPECT_EQ(Slurp(dir_ / "params.xml"), before);
  EXPECT_FALSE(fs::exists(dir_ / "params.xml.tmp"));
}

TEST_F(XmlWritersTest, NamesThatAreNoXmlNamesFailTheDocument) {
  ASSERT_TRUE(CreateTable("Agentparams"));
  AddParam("A", "1");
  const char* names[] = {"Agentparams"};
  EXPECT_EQ(ConvertDOtoXMLBuffer(names, "bad root"), std::nullopt);
  EXPECT_TRUE(log_.Contains("bad root is not a valid XML name\n"));
  EXPECT_FALSE(ConvertDOtoXML(names, "x<y", Prefix().c_str()));
  EXPECT_FALSE(fs::exists(dir_ / "x<y.xml"));
  EXPECT_EQ(ConvertDOtoXMLBuffer(names, nullptr), std::nullopt);

  // A dictionary file cannot name such a column; a definition made in code
  // still can, and the writer refuses it.
  auto odd = std::make_unique<TableDefn>();
  odd->name = "ODD";
  odd->constraints = std::make_unique<ConstraintDefn>();
  auto column = std::make_unique<ColumnDefn>();
  column->name = "A B";
  column->type = TARN_SQL_TEXT;
  ASSERT_TRUE(odd->columns.Append(std::move(column)));
  ASSERT_TRUE(AddTableDefn(std::move(odd)));
  ASSERT_TRUE(CreateTable("ODD"));
  const StoredValue value[] = {TextValue("v")};
  ASSERT_NE(AddNewRow("ODD", value), nullptr);
  const char* oddNames[] = {"ODD"};
  EXPECT_EQ(ConvertDOtoXMLBuffer(oddNames, "r"), std::nullopt);
  EXPECT_TRUE(log_.Contains("A B is not a valid XML name\n"));
}

TEST_F(XmlWritersTest, CompareValuesByType) {
  const std::int32_t four = 300;
  const std::int16_t two = 300;
  const StoredValue wide{reinterpret_cast<const char*>(&four), 4};
  const StoredValue narrow{reinterpret_cast<const char*>(&two), 2};
  EXPECT_FALSE(CompareValues(5, wide, narrow));  // equal at their own widths
  EXPECT_TRUE(CompareValues(5, wide, StoredValue{}));
  EXPECT_FALSE(CompareValues(5, StoredValue{}, StoredValue{}));

  const double a = 1.0, b = 1.0 + 1e-12, c = 1.001;
  EXPECT_FALSE(CompareValues(10, {reinterpret_cast<const char*>(&a), 8}, {reinterpret_cast<const char*>(&b), 8}));
  EXPECT_TRUE(CompareValues(10, {reinterpret_cast<const char*>(&a), 8}, {reinterpret_cast<const char*>(&c), 8}));
  EXPECT_TRUE(CompareValues(15, TextValue("ab"), TextValue("abc")));
  EXPECT_FALSE(CompareValues(22, TextValue("ab"), TextValue("ab")));

  const TarnDate date(2024, 1, 2);
  const TarnDateTime midnight = *ConvertStringToTarnDateTime("2024-01-02");
  const TarnDateTime noon = *ConvertStringToTarnDateTime("2024-01-02 12:00:00");
  const StoredValue shortDate{reinterpret_cast<const char*>(&date), 4};
  EXPECT_FALSE(CompareValues(16, shortDate, {reinterpret_cast<const char*>(&midnight), 11}));
  EXPECT_FALSE(CompareValues(16, shortDate, {reinterpret_cast<const char*>(&noon), 11}));
  EXPECT_TRUE(
      CompareValues(18, {reinterpret_cast<const char*>(&midnight), 11}, {reinterpret_cast<const char*>(&noon), 11}));

  EXPECT_FALSE(CompareValues(4, wide, StoredValue{}));
  EXPECT_TRUE(log_.Contains("Invalid type.  Cannot compare values.\n"));
}

TEST_F(XmlWritersTest, DefinitionsByExactName) {
  EXPECT_NE(GetTableDefnByTableName("Agentparams"), nullptr);
  EXPECT_EQ(GetTableDefnByTableName("AGENTPARAMS"), nullptr);
  EXPECT_TRUE(log_.Contains("No table definition available for AGENTPARAMS\n"));
}

}  // namespace
}  // namespace kv
