// The FIREBIRD dialect's texts on a real Firebird server. Debian has no
// ODBC driver for Firebird, so the texts run through Firebird's own isql,
// and the rows come back as isql lists them ("set list on": one "COLUMN
// value" line per column, a blank line between rows).

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "db/select_query.h"
#include "db/sql_dialect.h"
#include "store/column_types.h"
#include "store/data_dictionary.h"
#include "tests/db/db_fixture.h"
#include "tests/servers/firebird_server.h"

namespace kv::test {
namespace {

using Listed = std::map<std::string, std::string>;

// The rows of isql's list output: column name to value as shown.
std::vector<Listed> ListedRows(const std::string& output) {
  std::vector<Listed> rows;
  std::istringstream lines(output);
  std::string line;
  bool inRow = false;
  while (std::getline(lines, line)) {
    if (line.empty()) {
      inRow = false;
      continue;
    }
    const std::size_t gap = line.find(' ');
    if (gap == std::string::npos) continue;
    if (!inRow) rows.emplace_back();
    inRow = true;
    const std::size_t value = line.find_first_not_of(' ', gap);
    rows.back()[line.substr(0, gap)] = value == std::string::npos ? "" : line.substr(value);
  }
  return rows;
}

// Drops a table when it is there (Firebird has no "drop table if exists").
std::string DropIfThere(const char* table) {
  return std::string("execute block as begin if (exists(select 1 from rdb$relations where rdb$relation_name = '") +
         table + "')) then execute statement 'drop table " + table + "'; end^\n";
}

class FirebirdDialectTest : public DatabaseAccessTest {
 protected:
  void SetUp() override {
    if (const std::string missing = FirebirdServer::Missing(); !missing.empty()) GTEST_SKIP() << missing;
  }
  const SQLDialect& dialect() { return FirebirdDialect(); }

  std::string Insert(const char* table, const std::vector<std::optional<std::string>>& texts) {
    return dialect().InsertText(table, TestRow(table, texts).values()).value_or("(no insert text)") + "\n";
  }

  // Every item in key order, as isql lists them.
  std::string SelectItems() {
    SelectQueryPtr query = CreateSelectQuery();
    SelectColumnList* order = MakeColumnList(*query);
    EXPECT_TRUE(AppendColumn(*query, order, MakeSelectColumn(*query, nullptr, "i", "ITEM_ID", nullptr, TARN_SQL_INT)));
    SetSortClause(*query, MakeSortClause(*query, order, 1));
    EXPECT_TRUE(AddSelectTable(*query, "KV_ITEMS", "i"));
    return "set list on;\n" + dialect().SelectText(*query).value_or("(no select text)") + ";\n";
  }
};

TEST_F(FirebirdDialectTest, TextsRunOnFirebird) {
  FirebirdServer& server = FirebirdServer::Shared();
  std::string script = "set term ^;\n" + DropIfThere("KV_ITEMS") + DropIfThere("KV_OWNERS") + "set term ;^\ncommit;\n";
  for (const char* table : {"KV_OWNERS", "KV_ITEMS"})
    script += dialect().CreateTableText(table).value_or("(no create text)");
  script += "commit;\n";
  script += Insert("KV_OWNERS", {"5", "EU", "O'Brien"});
  script += Insert("KV_OWNERS", {"6", "US", "x'); drop table KV_OWNERS; --"});
  // An owner whose key holds a quote goes again.
  script += Insert("KV_OWNERS", {"7", "O'K", "gone"});
  script +=
      dialect().DeleteText("KV_OWNERS", TestRow("KV_OWNERS", {"7", "O'K", "gone"}).values()).value_or("(none)") + ";\n";
  const std::vector<std::optional<std::string>> first = {
      "1",    "7", "-300", "O'Brien", "a\\b", "long ' text", "2018-01-19", "06:38:15", "2018-01-19 06:38:15",
      "TRUE", "5", "EU"};
  const std::vector<std::optional<std::string>> second = {
      "2",      std::nullopt, "0",        "x'); drop table KV_OWNERS; --", "it's",
      "second", "2000-02-29", "23:59:59", "1999-12-31 00:00:01",           "FALSE",
      "6",      "US"};
  const std::vector<std::optional<std::string>> third = {
      "3", "1", "1", "third", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, "TRUE", "6", "US"};
  script += Insert("KV_ITEMS", first) + Insert("KV_ITEMS", second) + Insert("KV_ITEMS", third);
  // Item 2 changes, item 3 goes.
  std::vector<std::optional<std::string>> changed = second;
  changed[3] = "Mc'Donald";
  changed[9] = "TRUE";
  script +=
      dialect().UpdateText("KV_ITEMS", TestRow("KV_ITEMS", changed).values()).value_or("(no update text)") + ";\n";
  script += dialect().DeleteText("KV_ITEMS", TestRow("KV_ITEMS", third).values()).value_or("(no delete text)") + ";\n";
  script += "commit;\n" + SelectItems();

  const ScriptResult result = server.RunScript(script);
  ASSERT_TRUE(result.Succeeded()) << script << "\n" << result.output;
  const std::vector<Listed> rows = ListedRows(result.output);
  ASSERT_EQ(rows.size(), 2u) << result.output;
  EXPECT_EQ(rows[0].at("ITEM_ID"), "1");
  EXPECT_EQ(rows[0].at("TINY"), "7");
  EXPECT_EQ(rows[0].at("SMALL"), "-300");
  EXPECT_EQ(rows[0].at("LABEL"), "O'Brien");
  EXPECT_EQ(rows[0].at("NOTE"), "a\\b");
  EXPECT_EQ(rows[0].at("MADE_ON"), "2018-01-19");
  EXPECT_EQ(rows[0].at("MADE_AT").substr(0, 8), "06:38:15");
  EXPECT_EQ(rows[0].at("STAMP").substr(0, 19), "2018-01-19 06:38:15");
  EXPECT_EQ(rows[0].at("ACTIVE"), "1");
  EXPECT_EQ(rows[1].at("LABEL"), "Mc'Donald");
  EXPECT_EQ(rows[1].at("TINY"), "<null>");
  EXPECT_EQ(rows[1].at("NOTE"), "it's");
  EXPECT_EQ(rows[1].at("MADE_ON"), "2000-02-29");
  EXPECT_EQ(rows[1].at("ACTIVE"), "1");
  EXPECT_NE(result.output.find("long ' text"), std::string::npos) << result.output;

  // Criteria and having values with quotes in them.
  {
    SelectQueryPtr query = CreateSelectQuery();
    SelectQuery& q = *query;
    ASSERT_TRUE(AddSelectColumn(q, MakeSelectColumn(q, nullptr, "i", "ITEM_ID", nullptr, TARN_SQL_INT)));
    const std::string label = "Mc'Donald";
    const char truth = 1;
    SetCriteria(
        q, MakeCriteriaAnd(q,
                           MakeCriteriaLeaf(q, MakeSelectColumn(q, nullptr, "i", "LABEL", nullptr, TARN_SQL_CHAR),
                                            label.c_str(), static_cast<std::int32_t>(label.size()), SQL_OP_EQ),
                           MakeCriteriaLeaf(q, MakeSelectColumn(q, nullptr, "i", "ACTIVE", nullptr, TARN_SQL_BOOLEAN),
                                            &truth, 1, SQL_OP_EQ)));
    ASSERT_TRUE(AddSelectTable(q, "KV_ITEMS", "i"));
    const ScriptResult found = server.RunScript("set list on;\n" + dialect().SelectText(q).value_or("(none)") + ";\n");
    ASSERT_TRUE(found.Succeeded()) << found.output;
    ASSERT_EQ(ListedRows(found.output).size(), 1u) << found.output;
    EXPECT_EQ(ListedRows(found.output)[0].at("ITEM_ID"), "2");
  }
  {
    SelectQueryPtr query = CreateSelectQuery();
    SelectQuery& q = *query;
    ASSERT_TRUE(AddSelectColumn(q, MakeSelectColumn(q, nullptr, nullptr, "REGION", nullptr, TARN_SQL_CHAR)));
    SelectColumnList* groups = MakeColumnList(q);
    ASSERT_TRUE(AppendColumn(q, groups, MakeSelectColumn(q, "KV_ITEMS", nullptr, "REGION", nullptr, TARN_SQL_CHAR)));
    const std::string label = "Mc'Donald";
    SetGroupBy(
        q, MakeGroupByClause(q, groups,
                             MakeSelectColumn(q, nullptr, nullptr, "LABEL", nullptr, TARN_SQL_CHAR, SQL_FUNCTION_MAX),
                             label.c_str(), static_cast<std::int32_t>(label.size()), SQL_OP_EQ));
    ASSERT_TRUE(AddSelectTable(q, "KV_ITEMS", nullptr));
    const ScriptResult grouped =
        server.RunScript("set list on;\n" + dialect().SelectText(q).value_or("(none)") + ";\n");
    ASSERT_TRUE(grouped.Succeeded()) << grouped.output;
    ASSERT_EQ(ListedRows(grouped.output).size(), 1u) << grouped.output;
    EXPECT_EQ(ListedRows(grouped.output)[0].at("REGION"), "US");
  }

  // The crafted owner name was a value: both owners are there.
  const ScriptResult owners = server.RunScript("set list on;\nselect count(*) as OWNERS from KV_OWNERS;\n");
  ASSERT_TRUE(owners.Succeeded()) << owners.output;
  EXPECT_EQ(ListedRows(owners.output).at(0).at("OWNERS"), "2") << owners.output;
}

}  // namespace
}  // namespace kv::test
