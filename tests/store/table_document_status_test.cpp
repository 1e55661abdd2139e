// A table document that cannot be read says why in its Status: the cause a
// person can act on, where the log keeps the whole chain of its lines.

#include <gtest/gtest.h>

#include <string>

#include "base/failure_capture.h"
#include "store/xml_table_reader.h"
#include "tests/store/table_fixture.h"

namespace kv {
namespace {

class TableDocumentStatusTest : public test::TableTest {
 protected:
  Status Read(const std::string& document) {
    const FailureCapture logged;
    Status status = ReadTableDocumentBuffer(document.data(), document.size());
    reasons_ = logged.Reasons();
    return status;
  }

  std::string reasons_;  // what the log got from the last Read
};

TEST_F(TableDocumentStatusTest, EachFailureCarriesItsCauseAndTheLogItsChain) {
  EXPECT_TRUE(Read("<r><Agentparams PARAM_NAME=\"A\"/></r>").ok());
  EXPECT_EQ(reasons_, "");

  const Status unknown = Read("<r><Bogus/></r>");
  EXPECT_EQ(unknown.code(), Status::Code::kNotFound);
  EXPECT_EQ(unknown.message(), "CreateRowFromXMLNode : Bogus is neither a table nor a list");
  EXPECT_EQ(reasons_,
            "CreateRowFromXMLNode : Bogus is neither a table nor a list; "
            "Cannot create and add a new row while constructing tabledata from XML file.; "
            "Cannot construct table data from XML buffer.");

  // libxml2's reason with its line and column; the log keeps its own lines.
  const Status broken = Read("<r>\n  <Agentparams PARAM_NAME=\"X\"></r>");
  EXPECT_EQ(broken.code(), Status::Code::kInvalid);
  EXPECT_EQ(broken.message().substr(0, 19), "line 2, column 35: ") << broken.message();
  EXPECT_TRUE(reasons_.starts_with("ConstructTableDataFromXMLBuffer : line 2: ")) << reasons_;
  EXPECT_TRUE(reasons_.ends_with("; error: could not parse file file.xml")) << reasons_;

  // No input at all: libxml2 gives no reason, the store's own stands alone.
  EXPECT_EQ(ReadTableDocumentBuffer(nullptr, 3).message(), "error: could not parse file file.xml");
  EXPECT_FALSE(ConstructTableDataFromXMLBuffer(nullptr, 3));
  // A file that is not there is said so, not by the host's path.
  EXPECT_EQ(ReadTableDocumentFile("C:\\nowhere\\none.xml").message(), "the file cannot be read");
}

// A document of many rows that fails far into it: the Status names the line
// of the fault and the log the same chain as for a short one. A document
// libxml2 cannot read to its end adds no row, however far in the fault lies;
// a construction that fails keeps the rows before it.
TEST_F(TableDocumentStatusTest, AFaultFarIntoADocumentIsFoundWhereItIs) {
  constexpr int kRows = 2000;
  std::string rows = "<r>\n<AgentparamsList>\n";
  for (int i = 0; i < kRows; ++i) rows += "<Agentparams PARAM_NAME=\"P" + std::to_string(i) + "\"/>\n";
  const std::string after = "<Agentparams PARAM_NAME=\"after\"/>\n</AgentparamsList>\n</r>\n";

  const Status unknown = Read(rows + "<Bogus/>\n" + after);
  EXPECT_EQ(unknown.message(), "CreateRowFromXMLNode : Bogus is neither a table nor a list");
  const TableData* table = GetTableDataByName("Agentparams");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rowCount, kRows);

  // Line 2003: the root's, the list's, then one line per row.
  const Status broken = Read(rows + "<Agentparams PARAM_NAME=\"a\" PARAM_NAME=\"b\"/>\n" + after);
  EXPECT_EQ(broken.code(), Status::Code::kInvalid);
  EXPECT_TRUE(broken.message().starts_with("line 2003, column ")) << broken.message();
  EXPECT_TRUE(reasons_.starts_with("ConstructTableDataFromXMLBuffer : line 2003: ")) << reasons_;
  EXPECT_TRUE(reasons_.ends_with("; error: could not parse file file.xml")) << reasons_;
  EXPECT_EQ(table->rowCount, kRows);

  // Cut short: the end of the text is the fault.
  const Status cut = Read(rows);
  EXPECT_EQ(cut.code(), Status::Code::kInvalid);
  EXPECT_TRUE(cut.message().starts_with("line ")) << cut.message();
  EXPECT_EQ(table->rowCount, kRows);
}

}  // namespace
}  // namespace kv
