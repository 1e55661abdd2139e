// cfennel fetching entities by personality and running stored queries on
// the example data directory, as a user runs it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/servers/odbc_config.h"
#include "tests/support/test_machine.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

class CfennelEntityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string missing = OdbcConfig::Get().MissingDriver(kSqliteDriver); !missing.empty())
      GTEST_SKIP() << missing;
    image_.WriteMachineJson(R"({"environment": {"TEMP": "C:\\Temp"}})");
    image_.MakeDirectory("drive_c/Temp");
    fs::create_directories(image_.Path("drive_c/store"));
    fs::copy(std::string(KV_SOURCE_DIR) + "/examples/store/data", image_.Path("drive_c/store/data"));
  }

  RunResult Cfennel(const std::vector<std::string>& commands) {
    std::vector<std::string> args{"--root", "C:\\store"};
    args.insert(args.end(), commands.begin(), commands.end());
    return RunProgram(BinPath("cfennel"), args, {{"KV_MACHINE", image_.dir()}});
  }

  TempMachine image_;
};

TEST_F(CfennelEntityTest, AnEntityByItsPersonalityAndStoredQueriesByNumber) {
  const RunResult run = Cfennel({"personalities C:\\store\\data\\personalities.xml", "entity Device 3", "stored 2"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(OutputLines(run.out), (std::vector<std::string>{
                                      "Device\tDEVICES\tPATCHES",
                                      "Tables selected in DataObject: ",
                                      "Table Name: DEVICES",
                                      "DEVICE_ID\tNAME\tOS\tLAST_SEEN\tMANAGED\tRAM_GB\tRowState",
                                      " 3\t DB01\t Windows Server 2019\t 2024-04-28\t 1\t 64\t1",
                                      "Table Name: PATCHES",
                                      "PATCH_ID\tDEVICE_ID\tKB\tINSTALLED\tRowState",
                                      " 2\t 3\t KB4056898\t 2024-04-29 03:00:00\t1",
                                      "NAME\tOS\tRAM_GB\t",
                                      "DB01\tWindows Server 2019\t64\t",
                                      "WEB01\tWindows Server 2016\t16\t",
                                  }));

  // A second run on the same database keeps its index table; every entity,
  // and what cannot be found.
  const RunResult again = Cfennel({"personalities C:\\store\\data\\personalities.xml", "entity Device", "stored 1",
                                   "entity Device 9", "entity Nobody", "stored x"});
  EXPECT_EQ(again.exitCode, 1);
  const std::vector<std::string> out = OutputLines(again.out);
  EXPECT_EQ(std::count(out.begin(), out.end(), "Table Name: DEVICES"), 1);
  EXPECT_EQ(std::vector<std::string>(out.end() - 4, out.end()),
            (std::vector<std::string>{"NAME\tPATCH_ID)\t", "DB01\t1\t", "PC-ANNA\t0\t", "WEB01\t1\t"}));
  EXPECT_EQ(OutputLines(again.err), (std::vector<std::string>{
                                        "cfennel: entity: no DEVICES with DEVICE_ID 9",
                                        "cfennel: entity: no personality Nobody (read one with personalities PATH)",
                                        "cfennel: stored: expected a query NUMBER",
                                    }));
}

}  // namespace
}  // namespace kv::test
