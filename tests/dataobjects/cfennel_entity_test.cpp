// cfennel fetching entities by personality and running stored queries on
// the example data directory, as a user runs it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
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
    return RunCfennel(image_, args);
  }

  // Adds vendors, their products and the products' parts to the example
  // data: their dictionary, their default rows and the Supplier personality.
  void AddSuppliers() {
    const fs::path data = image_.Path("drive_c/store/data");
    for (const char* file : {"suppliers_dictionary.xml", "suppliers_data.xml", "suppliers_personalities.xml"})
      fs::copy_file(std::string(KV_SOURCE_DIR) + "/tests/dataobjects/data/" + file, data / file);
    std::ofstream(data / "datadictionary.txt", std::ios::app) << "\nsuppliers_dictionary.xml\n";
    std::ofstream(data / "defaultdata.txt", std::ios::app) << "\nsuppliers_data.xml\n";
    std::ofstream(data / "dsn_table_map.txt", std::ios::app) << "\nVendor store\nProduct store\nPart store\n";
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
                                      "NAME\tOS\tRAM_GB",
                                      "DB01\tWindows Server 2019\t64",
                                      "WEB01\tWindows Server 2016\t16",
                                  }));

  // A second run on the same database keeps its index table; every entity,
  // and what cannot be found.
  const RunResult again = Cfennel({"personalities C:\\store\\data\\personalities.xml", "entity Device", "stored 1",
                                   "entity Device 9", "entity Nobody", "stored x", "stored 99",
                                   "personalities C:\\store\\none.xml"});
  EXPECT_EQ(again.exitCode, 1);
  const std::vector<std::string> out = OutputLines(again.out);
  EXPECT_EQ(std::count(out.begin(), out.end(), "Table Name: DEVICES"), 1);
  EXPECT_EQ(std::vector<std::string>(out.end() - 4, out.end()),
            (std::vector<std::string>{"NAME\tPATCH_ID)", "DB01\t1", "PC-ANNA\t0", "WEB01\t1"}));
  EXPECT_EQ(OutputLines(again.err), (std::vector<std::string>{
                                        "cfennel: entity: no DEVICES with DEVICE_ID 9",
                                        "cfennel: entity: no personality Nobody (read one with personalities PATH)",
                                        "cfennel: stored: expected a query NUMBER",
                                        "cfennel: stored: no stored query 99",
                                        "cfennel: personalities: C:\\store\\none.xml: the file cannot be read",
                                    }));
}

TEST_F(CfennelEntityTest, ASupplierComesWithThePartsOfItsProductsOnly) {
  AddSuppliers();
  const RunResult run =
      Cfennel({"personalities C:\\store\\data\\suppliers_personalities.xml", "entity Supplier 1", "entity Supplier"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exitCode, 0);
  const std::vector<std::string> one = {
      "Tables selected in DataObject: ",
      "Table Name: Vendor",
      "VENDOR_ID\tNAME\tRowState",
      " 1\t Acme\t1",
      "Table Name: Product",
      "PRODUCT_ID\tVENDOR_ID\tNAME\tRowState",
      " 10\t 1\t Lamp\t1",
      " 11\t 1\t Desk\t1",
      "Table Name: Part",
      "PART_ID\tPRODUCT_ID\tNAME\tRowState",
      " 100\t 10\t Bulb\t1",
      " 101\t 10\t Shade\t1",
      " 110\t 11\t Drawer\t1",
  };
  const std::vector<std::string> out = OutputLines(run.out);
  ASSERT_GE(out.size(), 1 + one.size());
  EXPECT_EQ(out[0], "Supplier\tVendor\tProduct\tPart");
  EXPECT_EQ(std::vector<std::string>(out.begin() + 1, out.begin() + 1 + static_cast<std::ptrdiff_t>(one.size())), one);
  // Every supplier: each part once, under its own product.
  std::vector<std::string> every(out.begin() + 1 + static_cast<std::ptrdiff_t>(one.size()), out.end());
  std::sort(every.begin(), every.end());
  EXPECT_EQ(every, (std::vector<std::string>{
                       " 1\t Acme\t1", " 10\t 1\t Lamp\t1", " 100\t 10\t Bulb\t1", " 101\t 10\t Shade\t1",
                       " 11\t 1\t Desk\t1", " 110\t 11\t Drawer\t1", " 2\t Brill\t1", " 20\t 2\t Chair\t1",
                       " 200\t 20\t Leg\t1", "PART_ID\tPRODUCT_ID\tNAME\tRowState",
                       "PRODUCT_ID\tVENDOR_ID\tNAME\tRowState", "Table Name: Part", "Table Name: Product",
                       "Table Name: Vendor", "Tables selected in DataObject: ", "VENDOR_ID\tNAME\tRowState"}));
}

}  // namespace
}  // namespace kv::test
