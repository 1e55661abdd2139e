// Tables written back to the database by row state.

#include "dbstore/table_save.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "base/log_writer.h"
#include "dbstore/store_init.h"
#include "dbstore/table_load.h"
#include "store/result_data.h"
#include "store/table_data.h"
#include "tests/dbstore/store_fixture.h"

namespace kv::test {
namespace {

// The texts that a statement built without care would break on.
const char* const kAwkwardNames[] = {"O'Brien's PC", "back\\slash \\' and ''quotes''", "x'); drop table DEVICES; --"};

RowObject* Device(const char* name) {
  ResultDataPtr result = SelectRows("DEVICES", ("NAME='" + std::string(name) + "'").c_str());
  return result ? GotoNextRowObject(result.get()) : nullptr;
}

RowObject* NewDevice(const char* name, std::int32_t ram) {
  const StoredValue values[] = {
      {}, {name, static_cast<std::int32_t>(std::strlen(name))}, {}, {}, {}, {reinterpret_cast<const char*>(&ram), 4}};
  return AddNewRow("DEVICES", values);
}

bool SetRam(RowObject* row, std::int32_t ram) {
  return UpdateRowObject("DEVICES", row, "RAM_GB", reinterpret_cast<const char*>(&ram), 4);
}

TEST_P(StoreTest, RowsAreWrittenByTheirStateAndReadBackUnchanged) {
  ASSERT_TRUE(Init()) << LogErrors(log_);
  for (const char* name : kAwkwardNames) ASSERT_NE(NewDevice(name, 2), nullptr);
  RowObject* newThenChanged = NewDevice("LAPTOP", 4);
  ASSERT_TRUE(SetRam(newThenChanged, 8));
  EXPECT_EQ(newThenChanged->state, ROW_STATE_NEW | ROW_STATE_MODIFIED);
  ASSERT_TRUE(SetRam(Device("WEB01"), 32));
  ASSERT_EQ(DeleteRowObject("DEVICES", Device("PC-ANNA")), 1);

  SaveCounts counts;
  ASSERT_EQ(SaveTable("DEVICES", &counts), 1) << LogErrors(log_);
  EXPECT_EQ(counts.inserted, 4);
  EXPECT_EQ(counts.updated, 1);
  EXPECT_EQ(counts.deleted, 1);
  EXPECT_EQ(counts.failed, 0);
  EXPECT_EQ(RowStates("DEVICES"), (std::vector<int>(6, ROW_STATE_IN_DATABASE)));
  EXPECT_EQ(Device("PC-ANNA"), nullptr);

  TextRows inMemory = TableRows("DEVICES");
  EXPECT_EQ(Rows("select NAME, RAM_GB from DEVICES where DEVICE_ID = 1"), (TextRows{{"WEB01", "32"}}));
  EXPECT_EQ(Rows("select count(*) from DEVICES"), (TextRows{{"6"}}));
  // Nothing to write the second time.
  ASSERT_EQ(SaveTable("DEVICES", &counts), 1);
  EXPECT_EQ(counts.inserted + counts.updated + counts.deleted, 0);
  ASSERT_TRUE(UnLoadTable("DEVICES"));
  ASSERT_TRUE(LoadTable("DEVICES"));
  // In the database's order (PostgreSQL returns changed rows last).
  TextRows loaded = TableRows("DEVICES");
  std::sort(loaded.begin(), loaded.end());
  std::sort(inMemory.begin(), inMemory.end());
  EXPECT_EQ(loaded, inMemory);
}

TEST_P(StoreTest, ARowWhoseStatementFailsKeepsItsStateAndIsSavedNextTime) {
  ASSERT_TRUE(Init()) << LogErrors(log_);
  // Another writer took the identifier the next new row gets (the default
  // data used 1 to 3 of the batch).
  ASSERT_TRUE(Execute("insert into DEVICES (DEVICE_ID, NAME) values (4, 'elsewhere')"));
  RowObject* clashing = NewDevice("CLASH", 1);
  RowObject* fine = NewDevice("FINE", 2);
  ASSERT_TRUE(SetRam(Device("DB01"), 96));

  SaveCounts counts;
  EXPECT_EQ(SaveTable("DEVICES", &counts), 1);
  EXPECT_EQ(counts.failed, 1);
  EXPECT_EQ(counts.inserted, 1);
  EXPECT_EQ(counts.updated, 1);
  EXPECT_EQ(clashing->state, ROW_STATE_NEW);
  EXPECT_EQ(fine->state, ROW_STATE_IN_DATABASE);
  EXPECT_TRUE(log_.Contains("Error in executing update query \n"));
  EXPECT_TRUE(log_.Contains("QUERY : insert into  DEVICES values(4,'CLASH',"));
  EXPECT_EQ(Rows("select NAME from DEVICES where DEVICE_ID = 5"), (TextRows{{"FINE"}}));
  EXPECT_EQ(Rows("select RAM_GB from DEVICES where DEVICE_ID = 3"), (TextRows{{"96"}}));

  ASSERT_TRUE(Execute("delete from DEVICES where DEVICE_ID = 4"));
  ASSERT_EQ(SaveTable("DEVICES", &counts), 1);
  EXPECT_EQ(counts.inserted, 1);
  EXPECT_EQ(clashing->state, ROW_STATE_IN_DATABASE);
  EXPECT_EQ(Rows("select NAME from DEVICES where DEVICE_ID = 4"), (TextRows{{"CLASH"}}));
}

TEST_P(StoreTest, AFailedRowAmongNewRowsLeavesTheOthersSaved) {
  ASSERT_TRUE(Init()) << LogErrors(log_);
  // New rows are written together; the one that clashes is found alone.
  ASSERT_TRUE(Execute("insert into DEVICES (DEVICE_ID, NAME) values (6, 'elsewhere')"));
  std::vector<RowObject*> rows;
  for (const char* name : {"A", "B", "C", "D"}) rows.push_back(NewDevice(name, 1));
  SaveCounts counts;
  EXPECT_EQ(SaveTable("DEVICES", &counts), 1);
  EXPECT_EQ(counts.inserted, 3);
  EXPECT_EQ(counts.failed, 1);
  // C drew identifier 6.
  EXPECT_EQ(rows[2]->state, ROW_STATE_NEW);
  EXPECT_EQ(rows[3]->state, ROW_STATE_IN_DATABASE);
  EXPECT_EQ(Rows("select DEVICE_ID, NAME from DEVICES where DEVICE_ID > 3 order by DEVICE_ID"),
            (TextRows{{"4", "A"}, {"5", "B"}, {"6", "elsewhere"}, {"7", "D"}}));
}

TEST_P(StoreTest, ASaveWhoseServerGoesAwayWritesNothingAndIsMadeAgainLater) {
  DatabaseServer* server = database().server();
  if (!server) GTEST_SKIP() << "SQLite has no server to stop";
  ASSERT_TRUE(Init()) << LogErrors(log_);
  constexpr int kNew = 2000;
  for (int i = 0; i < kNew; ++i) ASSERT_NE(NewDevice(("HOST" + std::to_string(i)).c_str(), i), nullptr);
  // The server stops once the save is under way.
  SetTableProgressListener([server](const TableProgress& progress) {
    if (progress.done > 0 && progress.done < progress.total && server->Running()) server->Stop();
  });
  SaveCounts counts;
  EXPECT_EQ(SaveTable("DEVICES", &counts), 0);
  SetTableProgressListener(nullptr);
  EXPECT_FALSE(server->Running());
  EXPECT_EQ(RowStates("DEVICES"), [] {
    std::vector<int> states(3, ROW_STATE_IN_DATABASE);
    states.resize(3 + kNew, ROW_STATE_NEW);
    return states;
  }());

  server->Start();
  EXPECT_EQ(Rows("select count(*) from DEVICES"), (TextRows{{"3"}}));
  ASSERT_EQ(SaveTable("DEVICES", &counts), 1) << LogErrors(log_);
  EXPECT_EQ(counts.inserted, kNew);
  EXPECT_EQ(Rows("select count(*) from DEVICES"), (TextRows{{std::to_string(3 + kNew)}}));
}

// A changed row that its key cannot name is neither updated nor deleted: a
// statement without that condition would reach the table's other rows.
TEST_P(StoreTest, ARowThatItsKeyCannotNameIsNotWrittenAndTheOthersStay) {
  data_->AddTable("nopk.xml",
                  "<table name=\"NOPK\"><columns>"
                  "<column name=\"A\"><data-type>INTEGER</data-type></column>"
                  "<column name=\"B\"><data-type>CHAR</data-type><max-size>16</max-size></column>"
                  "</columns></table>",
                  "NOPK");
  ASSERT_TRUE(Init()) << LogErrors(log_);
  ASSERT_TRUE(Execute("insert into NOPK values (1, 'one')"));
  ASSERT_TRUE(Execute("insert into NOPK values (2, 'two')"));
  ASSERT_TRUE(LoadTable("NOPK")) << LogErrors(log_);
  ResultDataPtr first = SelectRows("NOPK", "A=1");
  RowObject* changed = GotoNextRowObject(first.get());
  ASSERT_NE(changed, nullptr);
  ASSERT_TRUE(UpdateRowObject("NOPK", changed, "B", "changed", 7));
  ResultDataPtr second = SelectRows("NOPK", "A=2");
  ASSERT_EQ(DeleteRowObject("NOPK", GotoNextRowObject(second.get())), 1);

  SaveCounts counts;
  EXPECT_EQ(SaveTable("NOPK", &counts), 1);
  EXPECT_EQ(counts.updated + counts.deleted, 0);
  EXPECT_EQ(counts.failed, 2);
  EXPECT_EQ(Rows("select A, B from NOPK order by A"), (TextRows{{"1", "one"}, {"2", "two"}}));
  EXPECT_EQ(RowStates("NOPK"),
            (std::vector<int>{ROW_STATE_IN_DATABASE | ROW_STATE_MODIFIED, ROW_STATE_IN_DATABASE | ROW_STATE_DELETED}));
  EXPECT_TRUE(Logged("No Primary Key to update a row of table NOPK\n"));
  EXPECT_TRUE(Logged("No Primary Key to delete a row of table NOPK\n"));
}

// A new row that could draw no identifier is not written with a NULL key.
// A row whose identifier cannot be drawn (the sequence exhausted, or its
// database out of reach) is not added: kept without its key, it would fail
// every later save and be lost with the process.
TEST_F(StoreFixture, ARowWithoutItsIdentifierIsNotAdded) {
  ASSERT_TRUE(Init()) << LogErrors(log_);
  ASSERT_TRUE(Execute("update SeqGenState set CURRENTBATCHEND = 2147483647"));
  DeInitCFennel();
  ASSERT_TRUE(Init()) << LogErrors(log_);
  EXPECT_EQ(NewDevice("FIRST", 1), nullptr);
  EXPECT_TRUE(Logged("No identifier could be drawn for DEVICES.DEVICE_ID: the row is not added.\n"));
  EXPECT_EQ(RowStates("DEVICES"), (std::vector<int>(3, ROW_STATE_IN_DATABASE)));
  SaveCounts counts;
  EXPECT_EQ(SaveTable("DEVICES", &counts), 1);
  EXPECT_EQ(counts.failed, 0);
  EXPECT_EQ(Rows("select count(*) from DEVICES"), (TextRows{{"3"}}));
}

TEST_F(StoreFixture, TheSaveListNamesTheTablesSavedFromIt) {
  ASSERT_TRUE(Init()) << LogErrors(log_);
  ASSERT_TRUE(SetRam(Device("WEB01"), 20));
  ASSERT_NE(AddNewRow("PATCHES", {}), nullptr);
  ResultDataPtr parameters = SelectRows("Agentparams", "PARAM_NAME='SERVER'");
  RowObject* server = GotoNextRowObject(parameters.get());
  ASSERT_TRUE(UpdateRowObject("Agentparams", server, "PARAM_VALUE", "other", 5));

  EXPECT_TRUE(SaveTablesFromList());
  EXPECT_EQ(RowStates("DEVICES"), (std::vector<int>(3, ROW_STATE_IN_DATABASE)));
  EXPECT_EQ(RowStates("PATCHES"), (std::vector<int>(3, ROW_STATE_IN_DATABASE)));
  EXPECT_EQ(server->state, ROW_STATE_IN_DATABASE | ROW_STATE_MODIFIED);

  EXPECT_TRUE(SaveAllTables());
  EXPECT_EQ(server->state, ROW_STATE_IN_DATABASE);
  EXPECT_EQ(Rows("select PARAM_VALUE from Agentparams where PARAM_NAME = 'SERVER'"), (TextRows{{"other"}}));

  data_->Remove("savetableslist.txt");
  EXPECT_TRUE(SaveTablesFromList());
  EXPECT_TRUE(log_.Contains("No tables to be saved.\n"));
  EXPECT_EQ(SaveTable("NO_SUCH_TABLE"), 0);
}

// A document naming 51 tables at its top level, and the first again after
// them: each batch of 50 names saves each of its tables once.
TEST_F(StoreFixture, ADocumentIsSavedFiftyTableNamesAtATime) {
  std::string dictionary = "<data-dictionary>\n";
  std::string map = ExampleDataFile("dsn_table_map.txt");
  std::string document = "<Many>\n";
  auto table = [&](const std::string& name) {
    dictionary += "<table name=\"" + name +
                  "\"><columns><column name=\"ID\"><data-type>INTEGER</data-type></column></columns></table>\n";
    map += name + " store\n";
  };
  for (int i = 0; i <= 50; ++i) {
    const std::string name = "T" + std::to_string(i);
    table(name);
    document += "<" + name + " ID=\"" + std::to_string(i) + "\"/>\n";
  }
  table("NESTED");
  document += "<T0 ID=\"100\"><NESTED ID=\"7\"/></T0>\n</Many>\n";
  data_->Write("many.xml", dictionary + "</data-dictionary>\n");
  data_->Write("datadictionary.txt", ExampleDataFile("datadictionary.txt") + "many.xml\n");
  data_->Write("dsn_table_map.txt", map);
  data_->Write("document.xml", document);
  ASSERT_TRUE(Init()) << LogErrors(log_);
  // Count the saves from the trace lines.
  ASSERT_TRUE(SetLoggerParams("test.log", "C:\\logs", LOG_LEVEL_TRACE));
  const std::size_t before = log_.Contents().size();

  ASSERT_TRUE(SaveDataInXML("C:\\store\\data\\document.xml")) << LogErrors(log_);
  const std::string saves = log_.Contents().substr(before);
  std::size_t count = 0;
  for (std::size_t at = saves.find("@@@ Inside SaveTable @@@"); at != std::string::npos;
       at = saves.find("@@@ Inside SaveTable @@@", at + 1))
    ++count;
  EXPECT_EQ(count, 52u);
  EXPECT_EQ(Rows("select ID from T0 order by ID"), (TextRows{{"0"}, {"100"}}));
  EXPECT_EQ(Rows("select ID from T50"), (TextRows{{"50"}}));
  // Rows of a table met only inside another element stay in memory.
  EXPECT_EQ(Rows("select count(*) from NESTED"), (TextRows{{"0"}}));
  EXPECT_EQ(RowStates("NESTED"), (std::vector<int>{ROW_STATE_NEW}));

  EXPECT_FALSE(SaveDataInXML("C:\\store\\data\\missing.xml"));
  EXPECT_TRUE(log_.Contains("Cannot create DO from C:\\store\\data\\missing.xml.\n"));
  for (int i = 0; i <= 50; ++i) (void)Execute("drop table T" + std::to_string(i));
  (void)Execute("drop table NESTED");
}

}  // namespace
}  // namespace kv::test
