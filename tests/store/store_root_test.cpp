#include "store/store_root.h"

#include "base/log_writer.h"
#include "store/store_reset.h"
#include "tests/support/log_fixture.h"

namespace kv {
namespace {

class StoreRootTest : public test::LoggedMachineTest {
 protected:
  ~StoreRootTest() override { ResetStoreState(); }
};

TEST_F(StoreRootTest, TheStoresLogGoesUnderItsRoot) {
  EXPECT_EQ(CFennelRoot(), std::nullopt);
  machine.MakeDirectory("drive_c/Store");
  SetCFennelRoot("C:\\Store");
  EXPECT_EQ(CFennelRoot(), "C:\\Store");
  ASSERT_TRUE(InitLoggerDefaults());
  ASSERT_TRUE(CreateLogFile());
  CloseLogFile();
  EXPECT_TRUE(machine.Exists("drive_c/Store/logs/cfennel.log"));

  ResetCFennelRoot();
  EXPECT_EQ(CFennelRoot(), std::nullopt);
  EXPECT_EQ(Logger().rootDirectory, std::nullopt);
}

}  // namespace
}  // namespace kv
