// A table document that cannot be read says why in its Status, and the
// reason is exactly what the log says, in the same order.

#include <gtest/gtest.h>

#include <string>

#include "base/failure_capture.h"
#include "store/xml_table_reader.h"
#include "tests/store/table_fixture.h"

namespace kv {
namespace {

class TableDocumentStatusTest : public test::TableTest {
 protected:
  // The document's Status, checked against what was logged meanwhile.
  Status Read(const std::string& document) {
    const FailureCapture logged;
    Status status = ReadTableDocumentBuffer(document.data(), document.size());
    EXPECT_EQ(status.message(), logged.Reasons());
    return status;
  }
};

TEST_F(TableDocumentStatusTest, EachFailureCarriesItsChainOfReasons) {
  EXPECT_TRUE(Read("<r><Agentparams PARAM_NAME=\"A\"/></r>").ok());

  const Status unknown = Read("<r><Bogus/></r>");
  EXPECT_EQ(unknown.code(), Status::Code::kNotFound);
  EXPECT_EQ(unknown.message(),
            "CreateRowFromXMLNode : Bogus is neither a table nor a list; "
            "Cannot create and add a new row while constructing tabledata from XML file.; "
            "Cannot construct table data from XML buffer.");

  const Status broken = Read("<r><Agentparams PARAM_NAME=\"X\"></r>");
  EXPECT_EQ(broken.code(), Status::Code::kInvalid);
  EXPECT_EQ(broken.message().substr(0, 40), "ConstructTableDataFromXMLBuffer : line 1");
  EXPECT_TRUE(broken.message().ends_with("; error: could not parse file file.xml"));

  // No input at all: libxml2 gives no reason, the store's own stands alone.
  const Status none = ReadTableDocumentBuffer(nullptr, 3);
  EXPECT_EQ(none.message(), "error: could not parse file file.xml");
  EXPECT_FALSE(ConstructTableDataFromXMLBuffer(nullptr, 3));
}

}  // namespace
}  // namespace kv
