// A personality file that cannot be taken says why in its Status, the same
// reasons the log has, and keeps no personality of the file.

#include <gtest/gtest.h>

#include <string>

#include "base/failure_capture.h"
#include "dataobjects/personality.h"
#include "tests/dataobjects/shop_fixture.h"

namespace kv::test {
namespace {

class PersonalityStatusTest : public ShopTest {
 protected:
  PersonalityStatusTest() { ResetPersonalities(); }
  ~PersonalityStatusTest() override { ResetPersonalities(); }

  Status Read(const std::string& name, const std::string& body) {
    const std::string path = access_.directory().WriteFile(name, body);
    const FailureCapture logged;
    Status status = ReadPersonalityFile(path.c_str());
    EXPECT_EQ(status.message(), logged.Reasons());
    EXPECT_EQ(CreatePersonalityFromXMLFile(path.c_str()), StoreResult(status));
    return status;
  }
};

TEST_F(PersonalityStatusTest, EachRefusedFileNamesItsReason) {
  const Status broken = Read("broken.xml", "<personalities><PersonalityConfiguration");
  EXPECT_EQ(broken.code(), Status::Code::kInvalid);
  EXPECT_TRUE(broken.message().starts_with("Could not parse file ")) << broken.message();
  EXPECT_TRUE(broken.message().ends_with("broken.xml")) << broken.message();

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
