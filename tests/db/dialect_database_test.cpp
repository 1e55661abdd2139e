// Every dialect's texts run on the database they are written for: tables of
// every type the dialect makes columns for are created, rows go in, are
// read back, changed and deleted, and come back as they went in, texts that
// would break a statement or inject one included.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "db/database_state.h"
#include "db/db_statements.h"
#include "db/select_query.h"
#include "db/sql_front.h"
#include "store/column_types.h"
#include "store/data_dictionary.h"
#include "tests/db/database_fixture.h"

namespace kv::test {
namespace {

using Texts = std::vector<std::optional<std::string>>;

// A text of every byte a literal could trip on, and of more than one line.
std::string LongBody() {
  std::string body =
      "Gr\xC3\xBC\xC3\x9F"
      "e \xE2\x9C\x93 'quoted' \"double\" back\\slash\nsecond line\t";
  while (body.size() < 1200) body += "0123456789";
  return body;
}

// Values that end a literal early or carry a statement of their own.
const std::string kInjection = "x'); drop table KV_OWNERS; --";
const std::string kBackslashInjection = "\\'; drop table KV_OWNERS; -- ";

// The rows each table gets, as texts of their dictionary columns; owners
// before the items that reference them.
const std::vector<std::pair<std::string, std::vector<Texts>>>& SampleRows() {
  static const std::vector<std::pair<std::string, std::vector<Texts>>> rows = {
      {"KV_OWNERS", {{"5", "EU", "O'Brien"}, {"6", "US", kBackslashInjection}}},
      {"KV_ITEMS",
       {{"1", "7", "-300", "O'Brien", "a\\b", "long", "2018-01-19", "06:38:15", "2018-01-19 06:38:15", "TRUE", "5",
         "EU"},
        {"2", std::nullopt, "0", kInjection, kBackslashInjection, LongBody(), "2000-02-29", "23:59:59",
         "1999-12-31 00:00:01", "FALSE", "6", "US"},
        {"3", "-128", "32767", "", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
         std::nullopt, std::nullopt}}},
      {"KV_BLOBS", {{"1", "bytes ' and \\ and \"", "text ' clob"}, {"2", std::nullopt, ""}}},
      {"KV_BIG", {{"1", "9000000000"}, {"2", "0"}}},
  };
  return rows;
}

const std::vector<Texts>& RowsOf(const std::string& table) {
  for (const auto& [name, rows] : SampleRows())
    if (name == table) return rows;
  throw std::invalid_argument("no sample rows of " + table);
}

// What a stored row reads as: Booleans as "1" or "0", the rest as written.
Texts Expected(const char* table, const Texts& texts) {
  const TableDefn* definition = GetTableDefn(table);
  Texts expected;
  std::size_t index = 0;
  for (const ColumnDefn& column : definition->columns) {
    std::optional<std::string> text = texts[index++];
    if (text && column.type == TARN_SQL_BOOLEAN) text = *text == "TRUE" ? "1" : "0";
    expected.push_back(text);
  }
  return expected;
}

// Whether the dialect makes a column of every type of the table.
bool MakesEveryColumn(const SQLDialect& dialect, const char* table) {
  for (const ColumnDefn& column : GetTableDefn(table)->columns)
    if (!dialect.rules().columnTypes[column.type].type) return false;
  return true;
}

class DialectOnDatabaseTest : public OnDatabaseTest {
 protected:
  const SQLDialect& dialect() const { return *FindSQLDialect(database().dialect); }

  // The rows of a select query on a table, each converted to the table's
  // stored values and read as texts.
  std::vector<Texts> Select(const SelectQuery& query, const char* table) {
    std::vector<Texts> rows;
    const std::optional<std::string> sql = GenerateSelectQuery(&query);
    if (!sql) {
      ADD_FAILURE() << LogErrors(log_);
      return rows;
    }
    DBResultSetPtr result = Query(*sql);
    if (!result) {
      ADD_FAILURE() << *sql << "\n" << LogErrors(log_);
      return rows;
    }
    const TableDefn* definition = GetTableDefn(table);
    while (GetNextResultRow(result.get())) {
      const std::unique_ptr<RowValues> row = ConvertResultSetToRow(result.get(), table);
      if (!row) {
        ADD_FAILURE() << LogErrors(log_);
        break;
      }
      rows.emplace_back();
      std::size_t index = 0;
      for (const ColumnDefn& column : definition->columns)
        rows.back().push_back(ValueText(row->values[index++], column.type));
    }
    return rows;
  }

  // Every row of a table in key order.
  std::vector<Texts> SelectAll(const char* table) {
    SelectQueryPtr query = CreateSelectQuery();
    const ColumnDefn* key = GetTableDefn(table)->columns.First();
    SelectColumnList* order = MakeColumnList(*query);
    EXPECT_TRUE(
        AppendColumn(*query, order, MakeSelectColumn(*query, table, nullptr, key->name.c_str(), nullptr, key->type)));
    SetSortClause(*query, MakeSortClause(*query, order, 1));
    EXPECT_TRUE(AddSelectTable(*query, table, nullptr));
    return Select(*query, table);
  }

  void Run(const std::optional<std::string>& sql) {
    ASSERT_TRUE(sql) << LogErrors(log_);
    ASSERT_TRUE(Execute(*sql)) << *sql << "\n" << LogErrors(log_);
  }
};

TEST_P(DialectOnDatabaseTest, RowsComeBackAsTheyWentIn) {
  ASSERT_TRUE(CreateTables()) << LogErrors(log_);
  int tables = 0;
  for (const auto& [table, rows] : SampleRows()) {
    if (!MakesEveryColumn(dialect(), table.c_str())) continue;
    ++tables;
    std::vector<Texts> expected;
    for (const Texts& texts : rows) {
      Run(GenerateInsertQuery(table.c_str(), TestRow(table.c_str(), texts).values()));
      expected.push_back(Expected(table.c_str(), texts));
    }
    EXPECT_EQ(SelectAll(table.c_str()), expected) << table;
  }
  EXPECT_EQ(tables, GetParam() == "SQLite" ? 2 : 3);
  // The crafted values were values, nothing more.
  EXPECT_EQ(SelectAll("KV_OWNERS").size(), 2u);
}

TEST_P(DialectOnDatabaseTest, UpdatesAndDeletesReachTheirRow) {
  ASSERT_TRUE(CreateTables()) << LogErrors(log_);
  for (const char* table : {"KV_OWNERS", "KV_ITEMS"})
    for (const Texts& texts : RowsOf(table)) Run(GenerateInsertQuery(table, TestRow(table, texts).values()));

  const Texts changed = {"2", "-1",         "12",       "Mc'Donald \\' x",     "it's",
                         "",  "2024-02-29", "00:00:00", "2024-02-29 12:30:00", "TRUE",
                         "5", "EU"};
  Run(GenerateUpdateQuery("KV_ITEMS", TestRow("KV_ITEMS", changed).values()));
  Texts flipped = RowsOf("KV_ITEMS")[0];
  flipped[9] = "FALSE";
  Run(GenerateUpdateQuery("KV_ITEMS", TestRow("KV_ITEMS", flipped).values()));
  Run(GenerateDeleteQuery("KV_ITEMS", TestRow("KV_ITEMS", RowsOf("KV_ITEMS")[2]).values()));
  EXPECT_EQ(SelectAll("KV_ITEMS"), (std::vector<Texts>{Expected("KV_ITEMS", flipped), Expected("KV_ITEMS", changed)}));

  // A row whose text key holds a quote is found by its key.
  const Texts quoted = {"7", "O'K", "gone"};
  Run(GenerateInsertQuery("KV_OWNERS", TestRow("KV_OWNERS", quoted).values()));
  Run(GenerateUpdateQuery("KV_OWNERS", TestRow("KV_OWNERS", {"7", "O'K", "it's"}).values()));
  EXPECT_EQ(Rows("select NAME from KV_OWNERS where OWNER_ID = 7"), (std::vector<Texts>{{"it's"}}));
  Run(GenerateDeleteQuery("KV_OWNERS", TestRow("KV_OWNERS", quoted).values()));
  EXPECT_EQ(SelectAll("KV_OWNERS").size(), 2u);

  // A delete of the owners cascades to their items (SQLite enforces
  // foreign keys only when its data source asks for it).
  Run(GenerateDeleteQuery("KV_OWNERS", TestRow("KV_OWNERS", RowsOf("KV_OWNERS")[0]).values()));
  if (GetParam() != "SQLite") {
    EXPECT_TRUE(SelectAll("KV_ITEMS").empty()) << "both items belong to owner 5 now";
  }
}

TEST_P(DialectOnDatabaseTest, SelectQueriesFindTheirRows) {
  ASSERT_TRUE(CreateTables()) << LogErrors(log_);
  for (const char* table : {"KV_OWNERS", "KV_ITEMS"})
    for (const Texts& texts : RowsOf(table)) Run(GenerateInsertQuery(table, TestRow(table, texts).values()));

  // Criteria on a quoted text and a Boolean.
  {
    SelectQueryPtr query = CreateSelectQuery();
    SelectQuery& q = *query;
    const char truth = 0;
    CriteriaExp* label = MakeCriteriaLeaf(q, MakeSelectColumn(q, "KV_ITEMS", nullptr, "LABEL", nullptr, TARN_SQL_CHAR),
                                          kInjection.c_str(), static_cast<std::int32_t>(kInjection.size()), SQL_OP_EQ);
    CriteriaExp* active = MakeCriteriaLeaf(
        q, MakeSelectColumn(q, nullptr, nullptr, "ACTIVE", nullptr, TARN_SQL_BOOLEAN), &truth, 1, SQL_OP_EQ);
    const char* other = "O'Brien";
    CriteriaExp* obrien = MakeCriteriaLeaf(q, MakeSelectColumn(q, nullptr, nullptr, "LABEL", nullptr, TARN_SQL_CHAR),
                                           other, 7, SQL_OP_EQ);
    // (label OR O'Brien) AND not active: only item 2.
    SetCriteria(q, MakeCriteriaAnd(q, MakeCriteriaOr(q, label, obrien), active));
    ASSERT_TRUE(AddSelectTable(q, "KV_ITEMS", nullptr));
    const std::vector<Texts> rows = Select(q, "KV_ITEMS");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "2");
  }
  // A join of items and owners over two columns, with a row window.
  {
    SelectQueryPtr query = CreateSelectQuery();
    SelectQuery& q = *query;
    ASSERT_TRUE(AddSelectColumn(q, MakeSelectColumn(q, nullptr, "i", "ITEM_ID", "ITEM", TARN_SQL_INT)));
    ASSERT_TRUE(AddSelectColumn(q, MakeSelectColumn(q, nullptr, "o", "NAME", "OWNER", TARN_SQL_CHAR)));
    ASSERT_TRUE(AddSelectJoin(q, ItemsToOwners(q)));
    SelectColumnList* order = MakeColumnList(q);
    ASSERT_TRUE(AppendColumn(q, order, MakeSelectColumn(q, nullptr, "i", "ITEM_ID", nullptr, TARN_SQL_INT)));
    SetSortClause(q, MakeSortClause(q, order, 0));
    SetRowCount(q, 1);
    SetStartRow(q, 1);
    const std::optional<std::string> sql = GenerateSelectQuery(&q);
    ASSERT_TRUE(sql);
    // Items 2 and 1 have owners (item 3 has none); the second of them is 1.
    EXPECT_EQ(Rows(*sql), (std::vector<Texts>{{"1", "O'Brien"}})) << *sql;
  }
  // Grouping with a having condition.
  {
    SelectQueryPtr query = CreateSelectQuery();
    SelectQuery& q = *query;
    ASSERT_TRUE(AddSelectColumn(q, MakeSelectColumn(q, nullptr, nullptr, "REGION", nullptr, TARN_SQL_VARCHAR)));
    ASSERT_TRUE(AddSelectColumn(
        q, MakeSelectColumn(q, nullptr, nullptr, "ITEM_ID", nullptr, TARN_SQL_INT, SQL_FUNCTION_COUNT)));
    SelectColumnList* groups = MakeColumnList(q);
    ASSERT_TRUE(AppendColumn(q, groups, MakeSelectColumn(q, "KV_ITEMS", nullptr, "REGION", nullptr, TARN_SQL_VARCHAR)));
    const char* region = "E'U";
    SetGroupBy(
        q, MakeGroupByClause(
               q, groups, MakeSelectColumn(q, nullptr, nullptr, "REGION", nullptr, TARN_SQL_VARCHAR, SQL_FUNCTION_MAX),
               region, 3, SQL_OP_NE));
    ASSERT_TRUE(AddSelectTable(q, "KV_ITEMS", nullptr));
    SelectColumnList* order = MakeColumnList(q);
    ASSERT_TRUE(AppendColumn(q, order, MakeSelectColumn(q, nullptr, nullptr, "REGION", nullptr, TARN_SQL_VARCHAR)));
    SetSortClause(q, MakeSortClause(q, order, 1));
    const std::optional<std::string> sql = GenerateSelectQuery(&q);
    ASSERT_TRUE(sql);
    EXPECT_EQ(Rows(*sql), (std::vector<Texts>{{"EU", "1"}, {"US", "1"}})) << *sql;
  }
}

INSTANTIATE_TEST_SUITE_P(Databases, DialectOnDatabaseTest, ::testing::ValuesIn(StoreDatabaseNames()), DatabaseName);

}  // namespace
}  // namespace kv::test
