// Stored queries read back from their tables into the select-query model,
// written and run on SQLite, PostgreSQL and MariaDB.

#include "dataobjects/stored_query.h"

#include <gtest/gtest.h>

#include "db/sql_front.h"
#include "store/column_types.h"
#include "tests/dataobjects/shop_fixture.h"

namespace kv::test {
namespace {

const std::vector<std::string> kStoredTables = {
    "QueryDetails (QUERY_ID int)",
    // Numbers kept as text read as numbers; one that is none is a fault.
    "QueryvsColumns (QUERY_ID int, COLUMN_ID varchar(10))",
    "ColumnDetails (COLUMN_ID int, COLUMNNAME varchar(40), COLUMNALIAS varchar(40), TABLENAME varchar(40), "
    "TABLEALIAS varchar(40), FUNCTIONNAME varchar(20))",
    "QueryvsTables (QUERY_ID int, TABLE_ID int)",
    "TableDetails (TABLE_ID int, TABLENAME varchar(40), TABLEALIAS varchar(40))",
    "QueryvsJoins (QUERY_ID int, JOIN_ID int)",
    "JoinDetails (JOIN_ID int, BASETABLENAME varchar(40), BASETABLEALIAS varchar(40), REFTABLENAME varchar(40), "
    "REFTABLEALIAS varchar(40), BASETABLECOLUMN varchar(40), REFTABLECOLUMN varchar(40), JOINTYPE varchar(20))",
    "QueryvsGB (QUERY_ID int, GB_ID int)",
    "GroupByDetails (GB_ID int, TABLENAME varchar(40), COLUMNNAME varchar(40))",
    "QueryvsSort (QUERY_ID int, SORT_ID int)",
    "SortDetails (SORT_ID int, TABLENAME varchar(40), COLUMNNAME varchar(40), SORTTYPE varchar(10))",
    "QueryvsCriteria (QUERY_ID int, B_ID int)",
    "BooleanExp (B_ID int, LEXPRESSION int, OPERATOR varchar(10), REXPRESSION int)",
    "RelationalExp (R_ID int, LIDENTIFIER varchar(40), OPERATOR varchar(10), RIDENTIFIER varchar(80))",
};

// The stored queries:
//   1  the names of Ann and Bob ("and" in lower case joins with OR) with
//      their count of orders, left-joined, grouped, sorted by city and
//      name in the direction of the last sort row
//   2  a column the dictionary lacks with an unknown function, a COUNT(*),
//      a table alias, a criteria number with no rows
//   3  criteria whose right part is not there
//   4  criteria that contain themselves
//   5  a column number that is no number
//   6  customers named Bob
const std::vector<std::string> kStoredRows = {
    "insert into QueryDetails values (1)",
    "insert into QueryDetails values (6)",
    "insert into QueryvsColumns values (1, '1')",
    "insert into QueryvsColumns values (1, '2')",
    "insert into ColumnDetails values (1, 'NAME', 'N', 'CUSTOMERS', NULL, NULL)",
    "insert into ColumnDetails values (2, 'ORDER_ID', NULL, 'ORDERS', NULL, 'COUNT')",
    "insert into QueryvsJoins values (1, 1)",
    "insert into JoinDetails values (1, 'CUSTOMERS', NULL, 'ORDERS', NULL, 'CUSTOMER_ID', 'CUSTOMER_ID', 'LEFT_JOIN')",
    "insert into QueryvsGB values (1, 1)",
    "insert into QueryvsGB values (1, 2)",
    "insert into GroupByDetails values (1, 'CUSTOMERS', 'NAME')",
    "insert into GroupByDetails values (2, 'CUSTOMERS', 'CITY')",
    "insert into QueryvsSort values (1, 1)",
    "insert into QueryvsSort values (1, 2)",
    "insert into SortDetails values (1, 'CUSTOMERS', 'CITY', 'DESC')",
    "insert into SortDetails values (2, 'CUSTOMERS', 'NAME', 'ASC')",
    "insert into QueryvsCriteria values (1, 100)",
    "insert into BooleanExp values (100, 101, 'and', 102)",
    "insert into RelationalExp values (101, 'NAME', '=', 'Ann O''Neil')",
    "insert into RelationalExp values (102, 'NAME', '=', 'Bob')",

    "insert into QueryvsColumns values (2, '3')",
    "insert into QueryvsColumns values (2, '4')",
    "insert into ColumnDetails values (3, 'NICKNAME', NULL, 'CUSTOMERS', NULL, 'MEDIAN')",
    "insert into ColumnDetails values (4, NULL, NULL, NULL, NULL, 'COUNT')",
    "insert into QueryvsTables values (2, 1)",
    "insert into TableDetails values (1, 'CUSTOMERS', 'c')",
    "insert into QueryvsCriteria values (2, 200)",

    "insert into QueryvsTables values (3, 1)",
    "insert into QueryvsCriteria values (3, 300)",
    "insert into BooleanExp values (300, 101, 'AND', 999)",

    "insert into QueryvsTables values (4, 1)",
    "insert into QueryvsCriteria values (4, 400)",
    "insert into BooleanExp values (400, 400, 'OR', 101)",

    "insert into QueryvsColumns values (5, 'abc')",

    "insert into QueryvsTables values (6, 2)",
    "insert into TableDetails values (2, 'CUSTOMERS', NULL)",
    "insert into QueryvsCriteria values (6, 102)",
};

std::string TableName(const std::string& definition) { return definition.substr(0, definition.find(' ')); }

class StoredQueryOnDatabase : public ShopOnDatabase {
 protected:
  void SetUp() override {
    for (const std::string& table : kStoredTables) extraTables_.push_back(TableName(table));
    ShopOnDatabase::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    for (const std::string& table : kStoredTables) ASSERT_TRUE(Execute("create table " + table)) << table;
    for (const std::string& row : kStoredRows) ASSERT_TRUE(Execute(row)) << row << "\n" << LogErrors(log_);
  }

  // A result's rows as texts.
  static std::vector<Texts> ResultRows(DBResultSet& result) {
    std::vector<Texts> rows;
    while (GetNextResultRow(&result)) {
      rows.emplace_back();
      for (std::int32_t column = 0; column < result.columnCount(); ++column)
        rows.back().push_back(ValueText(result.Value(result.cursor(), column), result.columns()[column].type));
    }
    return rows;
  }
};

TEST_P(StoredQueryOnDatabase, AStoredQueryIsWrittenAndRunsWithEveryAspect) {
  const std::optional<std::string> sql = BuildStoredQuery(1);
  ASSERT_TRUE(sql) << LogErrors(log_);
  for (const char* part : {"CUSTOMERS.NAME as N , COUNT(ORDERS.ORDER_ID)", " left join ",
                           "where  NAME =  'Ann O''Neil'  OR  NAME =  'Bob' ", "group by CUSTOMERS.NAME,CUSTOMERS.CITY",
                           "order by CUSTOMERS.CITY,CUSTOMERS.NAME  asc "})
    EXPECT_NE(sql->find(part), std::string::npos) << part << " in " << *sql;
  DBResultSetPtr result = RunStoredQuery(1);
  ASSERT_TRUE(result) << LogErrors(log_);
  EXPECT_EQ(ResultRows(*result), (std::vector<Texts>{{"Bob", "1"}, {"Ann O'Neil", "2"}}));
  EXPECT_EQ(PrintStoredCriteria(1), "NAME=Ann O'NeilandNAME=Bob");
  EXPECT_TRUE(log_.Contains("\nNAME=Ann O'NeilandNAME=Bob\n"));
  EXPECT_TRUE(log_.Contains("\nNo Tables to be selected\n"));
}

TEST_P(StoredQueryOnDatabase, ColumnsTakeTheirTypeAndFunctionByName) {
  SelectQueryPtr query = ReadStoredQuery(2);
  ASSERT_TRUE(query) << LogErrors(log_);
  const SelectColumn& unknown = *query->columns.first->item;
  EXPECT_EQ(unknown.type, TARN_SQL_CHAR);
  EXPECT_EQ(unknown.function, SQL_FUNCTION_NONE);
  const SelectColumn& count = *query->columns.first->next->item;
  EXPECT_EQ(count.function, SQL_FUNCTION_COUNT);
  EXPECT_FALSE(count.columnName);
  EXPECT_STREQ(query->tables.first->item->alias, "c");
  EXPECT_TRUE(log_.Contains("\nTable Alias = c"));
  // A criteria number without rows gives no criteria.
  EXPECT_FALSE(query->criteria);
  EXPECT_TRUE(log_.Contains("\nInvalid ID\n"));
  EXPECT_TRUE(log_.Contains("\nNo Join details\n"));
  EXPECT_TRUE(log_.Contains("\nNo Sort details\n"));
  EXPECT_FALSE(query->groupBy);
}

TEST_P(StoredQueryOnDatabase, BrokenCriteriaAndNumbersFailTheQuery) {
  EXPECT_FALSE(ReadStoredQuery(3));
  EXPECT_TRUE(log_.Contains("Stored criteria 999 name an expression that is not there."));
  EXPECT_FALSE(BuildStoredQuery(4));
  EXPECT_TRUE(log_.Contains("an expression contains itself."));
  EXPECT_FALSE(PrintStoredCriteria(4));
  EXPECT_FALSE(ReadStoredQuery(5));
  EXPECT_TRUE(log_.Contains("SELECT COLUMN_ID FROM QueryvsColumns WHERE QUERY_ID = 5: abc is not a number."));
  EXPECT_TRUE(log_.Contains("Cannot read stored query 5."));
}

// Expressions that share a sub-expression: each row is read once, and
// criteria that would spell out more than the bound are refused at once
// (twenty levels that each name the next twice: a million leaves).
TEST_P(StoredQueryOnDatabase, SharedSubExpressionsAreReadOnceAndBounded) {
  ASSERT_TRUE(Execute("insert into QueryvsTables values (7, 1)"));
  ASSERT_TRUE(Execute("insert into QueryvsCriteria values (7, 700)"));
  ASSERT_TRUE(Execute("insert into BooleanExp values (700, 701, 'AND', 701)"));
  ASSERT_TRUE(Execute("insert into BooleanExp values (701, 102, 'OR', 102)"));
  EXPECT_EQ(PrintStoredCriteria(7), "NAME=BobORNAME=BobANDNAME=BobORNAME=Bob");
  DBResultSetPtr bob = RunStoredQuery(7);
  ASSERT_TRUE(bob) << LogErrors(log_);
  EXPECT_EQ(ResultRows(*bob).size(), 1u);

  ASSERT_TRUE(Execute("insert into QueryvsTables values (8, 1)"));
  ASSERT_TRUE(Execute("insert into QueryvsCriteria values (8, 800)"));
  for (int level = 0; level < 20; ++level) {
    const std::string next = std::to_string(801 + level);
    ASSERT_TRUE(Execute("insert into BooleanExp values (" + std::to_string(800 + level) + ", " + next + ", 'OR', " +
                        next + ")"));
  }
  ASSERT_TRUE(Execute("insert into RelationalExp values (820, 'NAME', '=', 'Bob')"));
  EXPECT_FALSE(ReadStoredQuery(8));
  EXPECT_TRUE(log_.Contains("spell out more than 10000 expressions."));
  EXPECT_FALSE(PrintStoredCriteria(8));
  EXPECT_TRUE(log_.Contains("spell out more than 1048576 characters."));
}

TEST_P(StoredQueryOnDatabase, EveryQueryOfTheListRuns) {
  DBResultSetPtr bob = RunStoredQuery(6);
  ASSERT_TRUE(bob) << LogErrors(log_);
  EXPECT_EQ(ResultRows(*bob), (std::vector<Texts>{{"1002", "Bob", "Leeds", "0", std::nullopt}}));
  EXPECT_TRUE(ExecuteStoredQueries()) << LogErrors(log_);
  ASSERT_TRUE(Execute("drop table QueryDetails"));
  EXPECT_FALSE(ExecuteStoredQueries());
  EXPECT_TRUE(log_.Contains("Query failed\n"));
}

TEST(StoredQueryNames, NamesGiveTheirCodesExactly) {
  EXPECT_EQ(SqlOperatorCode("BETWEEN"), SQL_OP_BETWEEN);
  EXPECT_EQ(SqlOperatorCode("like"), SQL_OP_INVALID);
  EXPECT_EQ(SqlFunctionCode("AVG"), SQL_FUNCTION_AVG);
  EXPECT_EQ(SqlFunctionCode(nullptr), SQL_FUNCTION_NONE);
  EXPECT_EQ(SqlJoinTypeCode("LEFT_JOIN"), SQL_LEFT_JOIN);
  EXPECT_EQ(SqlJoinTypeCode("OUTER"), SQL_INVALID_JOIN);

  SelectQueryPtr query = CreateSelectQuery();
  SelectColumnList* columns = MakeColumnVectorForJoin(*query, "ORDERS", {"ORDER_ID", "CUSTOMER_ID"});
  ASSERT_TRUE(columns);
  ASSERT_EQ(columns->count, 2);
  EXPECT_STREQ(columns->last->item->tableName, "ORDERS");
  EXPECT_EQ(columns->last->item->op, SQL_OP_EQ);
  EXPECT_EQ(MakeColumnVector(*query, {"A", "B", "C"})->count, 3);
}

INSTANTIATE_TEST_SUITE_P(Databases, StoredQueryOnDatabase, ::testing::ValuesIn(StoreDatabaseNames()), DatabaseName);

}  // namespace
}  // namespace kv::test
