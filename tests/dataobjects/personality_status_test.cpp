// A personality file that cannot be taken says why in its Status (the
// cause; the log keeps its lines) and keeps no personality of the file.

#include <gtest/gtest.h>

#include <string>

#include "base/failure_capture.h"
#include "dataobjects/personality.h"
#include "tests/dataobjects/shop_fixture.h"

namespace kv::test {
namespace {

class PersonalityStatusTest : public ShopTest {
 protected:
  Status Read(const std::string& name, const std::string& body) {
    const std::string path = access_.directory().WriteFile(name, body);
    const FailureCapture logged;
    Status status = ReadPersonalityFile(path.c_str());
    EXPECT_EQ(logged.Reasons().empty(), status.ok());
    EXPECT_EQ(CreatePersonalityFromXMLFile(path.c_str()), StoreResult(status));
    return status;
  }
};

TEST_F(PersonalityStatusTest, EachRefusedFileNamesItsReason) {
  const Status broken = Read("broken.xml", "<personalities>\n<PersonalityConfiguration");
  EXPECT_EQ(broken.code(), Status::Code::kInvalid);
  EXPECT_TRUE(broken.message().starts_with("line 2, column ")) << broken.message();
  EXPECT_TRUE(log_.Contains("Could not parse file ")) << LogErrors(log_);
  EXPECT_EQ(ReadPersonalityFile("C:\\nowhere.xml").message(), "the file cannot be read");

  const Status missing = Read(
      "missing.xml",
      "<p><PersonalityConfiguration personalityname='Ghost' dominanttableid='NO_SUCH_TABLE'/></p>");
  EXPECT_EQ(missing.code(), Status::Code::kNotFound);
  EXPECT_EQ(missing.message(), "No table definition found for NO_SUCH_TABLE.");
  EXPECT_EQ(GetPersonalityDefn("Ghost"), nullptr);

  EXPECT_TRUE(Read("good.xml", "<p><PersonalityConfiguration personalityname='Order' dominanttableid='ORDERS'/></p>")
                  .ok());
  EXPECT_NE(GetPersonalityDefn("Order"), nullptr);
}

}  // namespace
}  // namespace kv::test
