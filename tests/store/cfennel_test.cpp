// The cfennel program, run as a user runs it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_log.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// The store's examples, copied into the test's machine image.
const std::string kDictionary = "C:\\store\\dictionary.xml";
const std::string kInventory = "C:\\store\\inventory.xml";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class CfennelTest : public ::testing::Test {
 protected:
  CfennelTest() {
    image_.WriteFile("drive_c/store/dictionary.xml", test::SourceFile("examples/store/data/dictionary.xml"));
    image_.WriteFile("drive_c/store/inventory.xml", test::SourceFile("examples/store/inventory.xml"));
  }

  // cfennel on the test's machine.
  test::RunResult Cfennel(const std::vector<std::string>& args) {
    return test::RunCfennel(image_, args);
  }

  // A file of the test on its machine: its Windows path.
  std::string Write(const std::string& name, const std::string& text) {
    image_.WriteFile("drive_c/scratch/" + name, text);
    return "C:\\scratch\\" + name;
  }
  std::string HostPath(const std::string& name) const { return image_.Path("drive_c/scratch/" + name); }

  test::TempMachine image_;
};

TEST_F(CfennelTest, ASessionOverTheExample) {
  const test::RunResult run = Cfennel(
      {"--dictionary", kDictionary, "load " + kInventory, "tables", "select DEVICES RAM_GB>10", "count PATCHES",
       "count DEVICES OS='none'", "update DEVICES OS \"Windows Server 2022 \\\"DC\\\"\" NAME='DB01'",
       "select DEVICES NAME='DB01'", "delete DEVICES RAM_GB<10", "select Agentparams PARAM_NAME='RESOURCE_ID'"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{
                                "Agentparams\t2",
                                "DEVICES\t6",
                                "PATCHES\t4",
                                "DEVICE_ID\tNAME\tOS\tLAST_SEEN\tMANAGED\tRAM_GB",
                                "1\tWEB01\tWindows Server 2016\t2024-05-02\t1\t16",
                                "3\tDB01\tWindows Server 2019\t2024-04-28\t1\t64",
                                "2",
                                "0",
                                "1",
                                "DEVICE_ID\tNAME\tOS\tLAST_SEEN\tMANAGED\tRAM_GB",
                                "3\tDB01\tWindows Server 2022 \"DC\"\t2024-04-28\t1\t64",
                                "2",
                                "PARAM_NAME\tPARAM_VALUE",
                                "RESOURCE_ID\t1234",
                            }));
}

TEST_F(CfennelTest, TheXmlItWritesLoadsBack) {
  const test::RunResult written =
      Cfennel({"--dictionary", kDictionary, "load " + kInventory,
               "update DEVICES OS \"<Tom & \\\"Jerry\\\"> 'a:b:c'\" NAME='WEB01'", "xml DEVICES", "select DEVICES"});
  ASSERT_EQ(written.exitCode, 0) << written.err;
  ASSERT_EQ(written.out.rfind("1\n<?xml", 0), 0u);  // one row changed, then the document
  const std::size_t table = written.out.find("DEVICE_ID\t");
  const std::string document = written.out.substr(2, table - 2);
  // Escaped, and the text the reader would take for a reference made one that gives it back.
  EXPECT_NE(document.find("OS=\"DEVICES:OS:&lt;Tom &amp; &quot;Jerry&quot;&gt; 'a:b:c'\""), std::string::npos);

  const test::RunResult read =
      Cfennel({"--dictionary", kDictionary, "load " + Write("devices.xml", document), "select DEVICES"});
  EXPECT_EQ(read.err, "");
  EXPECT_EQ(read.out, written.out.substr(table));
}

TEST_F(CfennelTest, EveryFailureIsOneLineAndTheRunGoesOn) {
  const std::string malformed = Write("malformed.xml", "<r><DEVICES NAME=\"x\"></r>");
  const std::string unknown = Write("unknown.xml", "<r><DEVICES NAME=\"kept\"/><Bogus/></r>");
  std::string deep;
  for (int i = 0; i < 20000; ++i) deep += '(';
  deep += "RAM_GB=1";
  for (int i = 0; i < 20000; ++i) deep += ')';
  const std::vector<std::string> commands = {
      "load " + malformed,
      "load " + unknown,
      "load",
      "select NOWHERE",
      "select DEVICES NAME='x' AND RAM_GB=1",
      std::string("count DEVICES NAME='\x01\xff;'"),
      "count DEVICES " + deep,
      "update DEVICES LAST_SEEN 2023-02-31 NAME='kept'",
      "update DEVICES LAST_SEEN 99999-1-1 NAME='kept'",
      "update DEVICES RAM_GB lots NAME='kept'",
      "update DEVICES DEVICE_ID 5 NAME='kept'",
      "update DEVICES NOPE 5 NAME='kept'",
      "delete DEVICES",
      "frobnicate",
      "select DEVICES\nselect X",
      "count DEVICES",
  };
  std::vector<std::string> args = {"--dictionary", kDictionary};
  args.insert(args.end(), commands.begin(), commands.end());
  const test::RunResult run = Cfennel(args);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "1\n");  // the row loaded before the unknown element stays
  const std::vector<std::string> errors = Lines(run.err);
  ASSERT_EQ(errors.size(), commands.size() - 1) << run.err;
  const std::vector<std::string> starts = {
      "cfennel: load: " + malformed + ": line 1, column 26: ",
      "cfennel: load: " + unknown + ": CreateRowFromXMLNode : Bogus is neither a table nor a list",
      "cfennel: load: missing PATH",
      "cfennel: select: no table NOWHERE in the dictionary",
      "cfennel: select: criteria not understood: NAME='x' AND RAM_GB=1",
      "cfennel: count: criteria not understood: NAME='\\x01\xff;'",
      "cfennel: count: criteria not understood: ((((",
      "cfennel: update: 2023-02-31 is not a value for LAST_SEEN",
      "cfennel: update: 99999-1-1 is not a value for LAST_SEEN",
      "cfennel: update: lots is not a value for RAM_GB",
      "cfennel: update: @@@ UpdateRowObject Failed as PrimaryKey is being updated @@@",
      "cfennel: update: DEVICES has no column NOPE",
      "cfennel: delete: missing CRITERIA",
      "cfennel: frobnicate: unknown command",
      "cfennel: select: no table DEVICES\\x0aselect in the dictionary",
  };
  for (std::size_t i = 0; i < starts.size(); ++i)
    EXPECT_EQ(errors[i].rfind(starts[i], 0), 0u) << errors[i] << "\nshould start with\n" << starts[i];
}

TEST_F(CfennelTest, CriteriaTheStoreCannotAnswerAreRefusedAndChangeNothing) {
  const std::vector<std::string> refused = {
      "select DEVICES FOO=1",
      "count DEVICES LAST_SEEN='2024-05-02'",
      "count DEVICES MANAGED=1",
      "delete DEVICES RAM_GB>'many'",
      "update DEVICES NAME 'gone' NAME='WEB01' or NOPE=2",
  };
  std::vector<std::string> args = {"--dictionary", kDictionary, "load " + kInventory};
  args.insert(args.end(), refused.begin(), refused.end());
  // A trailing ";" ends a command as in the shells.
  args.insert(args.end(), {"count DEVICES RAM_GB>8 and NAME='WEB01';", "count DEVICES ; "});
  const test::RunResult run = Cfennel(args);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Lines(run.err), (std::vector<std::string>{
                                "cfennel: select: DEVICES has no column FOO",
                                "cfennel: count: the store's criteria do not compare DATE columns (LAST_SEEN)",
                                "cfennel: count: the store's criteria do not compare BOOLEAN columns (MANAGED)",
                                "cfennel: delete: 'many' cannot be compared with RAM_GB, a column of numbers",
                                "cfennel: update: DEVICES has no column NOPE",
                            }));
  EXPECT_EQ(run.out, "1\n3\n");  // every row is still there, WEB01 as it was
}

TEST_F(CfennelTest, ABrokenDictionaryIsReported) {
  const std::string broken =
      Write("broken.xml",
            "<data-dictionary><table name=\"T\"><columns><column name=\"A\"><data-type>TEXT</data-type>"
            "</columns></table></data-dictionary>");
  const test::RunResult run =
      Cfennel({"--dictionary", broken, "--dictionary", kDictionary, "--frob", "count Agentparams"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "0\n");
  const std::vector<std::string> errors = Lines(run.err);
  ASSERT_EQ(errors.size(), 2u) << run.err;
  EXPECT_EQ(errors[0].rfind("cfennel: --dictionary " + broken + ": ", 0), 0u) << errors[0];
  EXPECT_EQ(errors[1], "cfennel: --frob: unknown option (cfennel --help lists them)");
}

TEST_F(CfennelTest, CommandsFromStandardInputWithoutAPrompt) {
  Write("script.txt",
        "# the agent's parameter\r\n"
        "load " +
            kInventory +
            "\n\n"
            "count Agentparams PARAM_NAME='RESOURCE_ID'\r\n"
            "select Agentparams PARAM_NAME='SERVER'\n"
            "select Nowhere\n");
  const test::RunResult run = test::RunCfennel(image_, {"--dictionary", kDictionary}, HostPath("script.txt"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "1\nPARAM_NAME\tPARAM_VALUE\nSERVER\tmgmt.example.com\n");
  EXPECT_EQ(run.err, "cfennel: select: no table Nowhere in the dictionary\n");
}

TEST_F(CfennelTest, EachModeKeepsANullApartFromTheTextNullAndEscapesWhatItMust) {
  // OS is the text "NULL", LAST_SEEN and RAM_GB are nulls; NAME holds a
  // tab, a quote, a comma and a backslash.
  const std::string document = Write(
      "odd.xml", "<r><DEVICES DEVICE_ID='7' NAME='a&#9;\"b\",c\\' OS='NULL' MANAGED='false'/></r>");
  const std::vector<std::string> commands = {"load " + document, "select DEVICES DEVICE_ID=7"};
  auto run = [&](const std::string& mode) {
    std::vector<std::string> args = {"--dictionary", kDictionary, "--mode", mode};
    args.insert(args.end(), commands.begin(), commands.end());
    const test::RunResult result = Cfennel(args);
    EXPECT_EQ(result.err, "") << mode;
    return result.out;
  };
  EXPECT_EQ(run("tsv"),
            "DEVICE_ID\tNAME\tOS\tLAST_SEEN\tMANAGED\tRAM_GB\n"
            "7\ta\\t\"b\",c\\\\\tNULL\t\\N\t0\t\\N\n");
  EXPECT_EQ(run("csv"),
            "DEVICE_ID,NAME,OS,LAST_SEEN,MANAGED,RAM_GB\r\n"
            "7,\"a\t\"\"b\"\",c\\\",NULL,,0,\r\n");
  EXPECT_EQ(run("json"),
            "[\n  {\"DEVICE_ID\": 7, \"NAME\": \"a\\t\\\"b\\\",c\\\\\", \"OS\": \"NULL\", \"LAST_SEEN\": null, "
            "\"MANAGED\": false, \"RAM_GB\": null}\n]\n");
  EXPECT_EQ(run("table"),
            "+-----------+------------+------+-----------+---------+--------+\n"
            "| DEVICE_ID | NAME       | OS   | LAST_SEEN | MANAGED | RAM_GB |\n"
            "+-----------+------------+------+-----------+---------+--------+\n"
            "|         7 | a\\t\"b\",c\\\\ | NULL |           | 0       |        |\n"
            "+-----------+------------+------+-----------+---------+--------+\n");

  // The mode command switches within a run; no rows is an empty array.
  const test::RunResult switched = Cfennel({"--dictionary", kDictionary, "mode", "mode json",
                                            "select Agentparams", "mode", "mode xml"});
  EXPECT_EQ(switched.out, "tsv\n[]\njson\n");
  EXPECT_EQ(switched.err, "cfennel: mode: unknown mode xml (tsv, csv, json or table)\n");
  const test::RunResult version = Cfennel({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("cfennel ", 0), 0u);
  const test::RunResult wrong = Cfennel({"--mode", "xml", "tables"});
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_EQ(wrong.err, "cfennel: --mode xml: unknown mode (tsv, csv, json or table)\n");
}

TEST_F(CfennelTest, FilesOfThisComputerAreReadWhereThePersonNamesThem) {
  // Outside the machine's drive: read through the host's file system.
  const fs::path outside = fs::path(image_.dir()) / "host-files";
  fs::create_directories(outside);
  std::ofstream(outside / "dictionary.xml") << test::SourceFile("examples/store/data/dictionary.xml");
  std::ofstream(outside / "inventory.xml") << test::SourceFile("examples/store/inventory.xml");
  const test::RunResult absolute = Cfennel({"--dictionary", (outside / "dictionary.xml").string(),
                                            "load " + (outside / "inventory.xml").string(), "count DEVICES",
                                            "load " + (outside / "none.xml").string()});
  EXPECT_EQ(absolute.out, "3\n");
  EXPECT_EQ(absolute.err, "cfennel: load: " + (outside / "none.xml").string() + ": the file cannot be read\n");

  // Relative to the working directory; a file inside the machine's drive
  // is the machine's own, whichever name it is given by.
  const test::RunResult relative = test::RunProgram(
      "/usr/bin/env",
      {"-C", outside.string(), test::BinPath("cfennel"), "--dictionary", "dictionary.xml", "load inventory.xml",
       "load " + image_.Path("drive_c/store/inventory.xml"), "count DEVICES"},
      {{"KV_MACHINE", image_.dir()}});
  EXPECT_EQ(relative.out, "6\n") << relative.err;
  EXPECT_EQ(relative.err, "");

  // A data directory is the machine's: the store finds its files there.
  const test::RunResult root = Cfennel({"--root", outside.string(), "tables"});
  EXPECT_EQ(root.exitCode, 1);
  EXPECT_EQ(root.err, "cfennel: --root " + outside.string() +
                          ": a data directory must lie in the machine (C:\\... or a directory of its drive)\n");
}

TEST_F(CfennelTest, HelpListsTheCommands) {
  const test::RunResult run = Cfennel({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out.rfind("Usage: cfennel [--root DIR] [--dictionary FILE]... [--mode MODE] [COMMAND]...\n", 0), 0u);
  for (const char* command : {"load PATH", "select TABLE [CRITERIA]", "count TABLE [CRITERIA]", "delete TABLE CRITERIA",
                              "update TABLE COLUMN VALUE CRITERIA", "xml TABLE", "tables"})
    EXPECT_NE(run.out.find(command), std::string::npos) << command;
}

}  // namespace
}  // namespace kv
