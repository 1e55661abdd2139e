// The texts each dialect writes, to the byte, for the select-query model and
// for rows and tables of the test dictionary.

#include <gtest/gtest.h>

#include <string>

#include "db/select_query.h"
#include "db/sql_dialect.h"
#include "db/sql_front.h"
#include "store/column_types.h"
#include "store/data_dictionary.h"
#include "tests/db/db_fixture.h"

namespace kv::test {
namespace {

using SqlTextTest = DatabaseAccessTest;

// The select text of a query in a dialect; "(none)" when it has none.
std::string Select(const SQLDialect& dialect, const SelectQuery& query) {
  return dialect.SelectText(query).value_or("(none)");
}

TEST_F(SqlTextTest, RowWindowInEachDialect) {
  SelectQueryPtr query = CreateSelectQuery();
  ASSERT_TRUE(AddSelectTable(*query, "Agent", "a"));
  SetRowCount(*query, 20);
  SetStartRow(*query, 40);
  EXPECT_EQ(Select(MysqlDialect(), *query), "select * from Agent as a \nlimit 40 , 20");
  EXPECT_EQ(Select(PgsqlDialect(), *query), "select * from Agent as a \nlimit 20 offset 40");
  EXPECT_EQ(Select(SqliteDialect(), *query), "select * from Agent as a \nlimit 20 offset 40");
  EXPECT_EQ(Select(FirebirdDialect(), *query), "select first 20 skip 40  * from Agent a \n");

  SetStartRow(*query, 0);
  EXPECT_EQ(Select(MysqlDialect(), *query), "select * from Agent as a \nlimit 20");
  EXPECT_EQ(Select(SqliteDialect(), *query), "select * from Agent as a \nlimit 20");
  EXPECT_EQ(Select(FirebirdDialect(), *query), "select first 20  * from Agent a \n");
  EXPECT_TRUE(log_.Contains("@@@@@@@@@@@ - INSIDE FirebirdGenSelectQuery - @@@@@@@@@@@@@"));
  EXPECT_TRUE(log_.Contains("\nSelect Query constructed is\nselect first 20  * from Agent a \n\n"));
}

TEST_F(SqlTextTest, ColumnsWithQualifiersAliasesAndFunctions) {
  SelectQueryPtr query = CreateSelectQuery();
  ASSERT_TRUE(AddSelectColumn(*query, MakeSelectColumn(*query, "KV_ITEMS", "i", "LABEL", "L", TARN_SQL_CHAR)));
  ASSERT_TRUE(AddSelectColumn(
      *query, MakeSelectColumn(*query, nullptr, nullptr, nullptr, nullptr, TARN_SQL_INT, SQL_FUNCTION_COUNT)));
  ASSERT_TRUE(AddSelectColumn(
      *query, MakeSelectColumn(*query, "KV_ITEMS", nullptr, "SMALL", nullptr, TARN_SQL_SMALLINT, SQL_FUNCTION_MAX)));
  // TEXT columns are columns like the others.
  ASSERT_TRUE(AddSelectColumn(*query, MakeSelectColumn(*query, nullptr, nullptr, "BODY", nullptr, TARN_SQL_TEXT)));
  ASSERT_TRUE(AddSelectTable(*query, "KV_ITEMS", "i"));
  EXPECT_EQ(Select(MysqlDialect(), *query),
            "select i.LABEL as L , COUNT(*), MAX(KV_ITEMS.SMALL),BODY \nfrom KV_ITEMS as i \n");
  EXPECT_EQ(Select(FirebirdDialect(), *query),
            "select i.LABEL as L , COUNT(*), MAX(KV_ITEMS.SMALL),BODY \nfrom KV_ITEMS i \n");
}

TEST_F(SqlTextTest, OnlyTheFirstJoinWritesItsBaseTable) {
  SelectQueryPtr query = CreateSelectQuery();
  SelectQuery& q = *query;
  SelectColumnList* itemId = MakeColumnList(q);
  SelectColumnList* wideId = MakeColumnList(q);
  ASSERT_TRUE(AppendColumn(q, itemId, MakeSelectColumn(q, nullptr, nullptr, "ITEM_ID", nullptr, TARN_SQL_INT)));
  ASSERT_TRUE(AppendColumn(q, wideId, MakeSelectColumn(q, "KV_BIG", nullptr, "BIG_ID", nullptr, TARN_SQL_INT)));
  ASSERT_TRUE(AddSelectJoin(q, ItemsToOwners(q)));
  ASSERT_TRUE(AddSelectJoin(q, MakeSelectJoin(q, "KV_ITEMS", "i", "KV_BIG", nullptr, SQL_LEFT_JOIN, itemId, wideId)));
  EXPECT_EQ(Select(PgsqlDialect(), q),
            "select * from  KV_ITEMS as i  inner join  KV_OWNERS as o  on i.OWNER_ID = o.OWNER_ID and "
            "i.REGION = o.REGION  left join  KV_BIG  on i.ITEM_ID = KV_BIG.BIG_ID ");
  EXPECT_EQ(Select(FirebirdDialect(), q),
            "select * from  KV_ITEMS i  inner join  KV_OWNERS o  on i.OWNER_ID = o.OWNER_ID and "
            "i.REGION = o.REGION  left join  KV_BIG  on i.ITEM_ID = KV_BIG.BIG_ID ");
  // Tables after joins follow a comma.
  ASSERT_TRUE(AddSelectTable(q, "KV_EXTRA", nullptr));
  EXPECT_TRUE(Select(MysqlDialect(), q).ends_with("KV_BIG.BIG_ID ,KV_EXTRA\n")) << Select(MysqlDialect(), q);

  SelectQueryPtr invalid = CreateSelectQuery();
  ASSERT_TRUE(AddSelectJoin(*invalid, MakeSelectJoin(*invalid, "A", nullptr, "B", nullptr, 2, nullptr, nullptr)));
  EXPECT_FALSE(MysqlDialect().SelectText(*invalid));
  EXPECT_TRUE(log_.Contains("Invalid Join Type\n"));
}

// (X OR Y) AND Z, and the literals of each dialect: text quoted with its
// quote doubled (and MySQL's backslash doubled), Booleans as the dialect
// keeps them.
TEST_F(SqlTextTest, CriteriaMeanTheirTreeAndQuoteTheirValues) {
  SelectQueryPtr query = CreateSelectQuery();
  SelectQuery& q = *query;
  const char* label = "O'Br\\en";
  const char truth = 1;
  CriteriaExp* x = MakeCriteriaLeaf(q, MakeSelectColumn(q, "KV_ITEMS", nullptr, "LABEL", nullptr, TARN_SQL_CHAR), label,
                                    7, SQL_OP_EQ);
  CriteriaExp* y = MakeCriteriaLeaf(q, MakeSelectColumn(q, nullptr, nullptr, "ACTIVE", nullptr, TARN_SQL_BOOLEAN),
                                    &truth, 1, SQL_OP_EQ);
  const std::int32_t five = 5;
  CriteriaExp* z = MakeCriteriaLeaf(q, MakeSelectColumn(q, nullptr, "i", "SMALL", nullptr, TARN_SQL_INT),
                                    reinterpret_cast<const char*>(&five), 4, SQL_OP_GT);
  SetCriteria(q, MakeCriteriaAnd(q, MakeCriteriaOr(q, x, y), z));
  ASSERT_TRUE(AddSelectTable(q, "KV_ITEMS", nullptr));
  EXPECT_EQ(Select(MysqlDialect(), q),
            "select * from KV_ITEMS\nwhere ( KV_ITEMS.LABEL =  'O''Br\\\\en'  OR  ACTIVE =  1 ) AND  i.SMALL >  5 ");
  EXPECT_EQ(Select(PgsqlDialect(), q),
            "select * from KV_ITEMS\nwhere ( KV_ITEMS.LABEL =  'O''Br\\en'  OR  ACTIVE =  't' ) AND  i.SMALL >  5 ");
  EXPECT_EQ(Select(SqliteDialect(), q),
            "select * from KV_ITEMS\nwhere ( KV_ITEMS.LABEL =  'O''Br\\en'  OR  ACTIVE =  1 ) AND  i.SMALL >  5 ");

  // A tree that reads the same without them gets no parentheses.
  SetCriteria(q, MakeCriteriaOr(q, MakeCriteriaAnd(q, x, y), z));
  EXPECT_EQ(Select(FirebirdDialect(), q),
            "select * from KV_ITEMS\nwhere  KV_ITEMS.LABEL =  'O''Br\\en'  AND  ACTIVE =  1  OR  i.SMALL >  5 ");

  // BETWEEN writes its bounds as given; dates are quoted in their column's form.
  const char* bounds = "1 AND 10";
  SetCriteria(q, MakeCriteriaLeaf(q, MakeSelectColumn(q, nullptr, nullptr, "TINY", nullptr, TARN_SQL_TINYINT), bounds,
                                  8, SQL_OP_BETWEEN));
  EXPECT_EQ(Select(SqliteDialect(), q), "select * from KV_ITEMS\nwhere  TINY BETWEEN  1 AND 10 ");
  SetCriteria(q, MakeCriteriaLeaf(q, MakeSelectColumn(q, nullptr, nullptr, "NOTE", nullptr, TARN_SQL_VARCHAR),
                                  "%it''s%", 7, SQL_OP_LIKE));
  EXPECT_EQ(Select(PgsqlDialect(), q), "select * from KV_ITEMS\nwhere  NOTE LIKE  '%it''''s%' ");
}

TEST_F(SqlTextTest, GroupingHavingAndSorting) {
  SelectQueryPtr query = CreateSelectQuery();
  SelectQuery& q = *query;
  SelectColumnList* groups = MakeColumnList(q);
  ASSERT_TRUE(AppendColumn(q, groups, MakeSelectColumn(q, "KV_ITEMS", nullptr, "REGION", nullptr, TARN_SQL_VARCHAR)));
  ASSERT_TRUE(AppendColumn(q, groups, MakeSelectColumn(q, nullptr, nullptr, "NOTE", "N", TARN_SQL_VARCHAR)));
  const std::int32_t one = 1;
  SetGroupBy(
      q, MakeGroupByClause(
             q, groups, MakeSelectColumn(q, "KV_ITEMS", nullptr, "ITEM_ID", nullptr, TARN_SQL_INT, SQL_FUNCTION_COUNT),
             reinterpret_cast<const char*>(&one), 4, SQL_OP_GT));
  SelectColumnList* sorted = MakeColumnList(q);
  ASSERT_TRUE(AppendColumn(q, sorted, MakeSelectColumn(q, "KV_ITEMS", nullptr, "REGION", nullptr, TARN_SQL_VARCHAR)));
  SetSortClause(q, MakeSortClause(q, sorted, 0));
  ASSERT_TRUE(AddSelectTable(q, "KV_ITEMS", nullptr));
  EXPECT_EQ(Select(MysqlDialect(), q),
            "select * from KV_ITEMS\ngroup by KV_ITEMS.REGION,N\nhaving  COUNT(KV_ITEMS.ITEM_ID)  >  1 order by "
            "KV_ITEMS.REGION  desc ");
}

TEST_F(SqlTextTest, QueriesThatCannotBeWritten) {
  SelectQueryPtr query = CreateSelectQuery();
  EXPECT_FALSE(MysqlDialect().SelectText(*query));
  EXPECT_TRUE(log_.Contains("\nNo Tables To Be Selected\n"));
  EXPECT_EQ(MakeSelectColumn(*query, nullptr, nullptr, "X", nullptr, TARN_SQL_LAST_TYPE + 1), nullptr);
  EXPECT_TRUE(log_.Contains("\nInvalid Data Type\n"));
  EXPECT_EQ(MakeSelectColumn(*query, "T", nullptr, nullptr, nullptr, TARN_SQL_INT), nullptr);
  EXPECT_TRUE(log_.Contains("\nColumn Name is NULL\n"));
  EXPECT_EQ(MakeCriteriaLeaf(*query, nullptr, "1", 1, SQL_OP_EQ), nullptr);
  EXPECT_TRUE(log_.Contains("\nEmpty Column Assigned\n"));
  EXPECT_FALSE(GenerateSelectQuery(query.get()));
  EXPECT_TRUE(log_.Contains("No Tables selected in select query.\n"));
}

const std::vector<std::optional<std::string>> kItem = {
    "1", "7", "-300", "O'Brien", "a\\b", "long", "2018-01-19", "06:38:15", "2018-01-19 06:38:15", "TRUE", "5", "EU"};

TEST_F(SqlTextTest, InsertTexts) {
  const TestRow row("KV_ITEMS", kItem);
  EXPECT_EQ(MysqlDialect().InsertText("KV_ITEMS", row.values()),
            "insert into  KV_ITEMS values(1,7,-300,'O''Brien','a\\\\b','long','2018-01-19','06:38:15',"
            "'2018-01-19 06:38:15',1,5,'EU')");
  EXPECT_EQ(PgsqlDialect().InsertText("KV_ITEMS", row.values()),
            "insert into  KV_ITEMS values(1,7,-300,'O''Brien','a\\b','long','2018-01-19','06:38:15',"
            "'2018-01-19 06:38:15','t',5,'EU');");
  EXPECT_EQ(FirebirdDialect().InsertText("KV_ITEMS", row.values()),
            "insert into  KV_ITEMS values(1,7,-300,'O''Brien','a\\b','long','2018-01-19','06:38:15',"
            "'2018-01-19 06:38:15',1,5,'EU');");
  EXPECT_TRUE(log_.Contains("@@@ Inside MysqlGenInsertQuery @@@\n"));
  EXPECT_TRUE(log_.Contains("Insert query is @@@insert into  KV_ITEMS values(1,"));
  // A short row is NULL in its missing columns.
  const TestRow owner("KV_OWNERS", {"5", "EU"});
  EXPECT_EQ(SqliteDialect().InsertText("KV_OWNERS", owner.values()), "insert into  KV_OWNERS values(5,'EU',NULL);");
  // A key column without a value would make a row no statement can name.
  const TestRow keyless("KV_OWNERS", {"5"});
  for (const SQLDialect* dialect : {&MysqlDialect(), &PgsqlDialect(), &SqliteDialect(), &FirebirdDialect()})
    EXPECT_FALSE(dialect->InsertText("KV_OWNERS", keyless.values())) << dialect->name();
  EXPECT_TRUE(log_.Contains("Primary Key column REGION of table KV_OWNERS is NULL: cannot insert the row\n"));
}

TEST_F(SqlTextTest, UpdateAndDeleteTexts) {
  const TestRow row("KV_ITEMS", kItem);
  EXPECT_EQ(MysqlDialect().UpdateText("KV_ITEMS", row.values()),
            "update KV_ITEMS set TINY=7,SMALL=-300,LABEL='O''Brien',NOTE='a\\\\b',BODY='long',MADE_ON='2018-01-19',"
            "MADE_AT='06:38:15',STAMP='2018-01-19 06:38:15',ACTIVE=1,OWNER_ID=5,REGION='EU' where ITEM_ID='1'");
  EXPECT_EQ(PgsqlDialect().UpdateText("KV_ITEMS", row.values()),
            "update KV_ITEMS set TINY=7,SMALL=-300,LABEL='O''Brien',NOTE='a\\b',BODY='long',MADE_ON='2018-01-19',"
            "MADE_AT='06:38:15',STAMP='2018-01-19 06:38:15',ACTIVE='t',OWNER_ID=5,REGION='EU' where ITEM_ID=1");
  EXPECT_TRUE(log_.Contains("@@@ Update Query has Primary Key in Set clause @@@\n"));
  EXPECT_TRUE(log_.Contains("Update query is @@@ update KV_ITEMS set TINY=7,"));
  EXPECT_TRUE(log_.Contains("Update query is @@@update KV_ITEMS set TINY=7,"));

  // A key value that is NULL names no row: a condition on the rest of the
  // key would reach every owner of the region, so no dialect writes one.
  const TestRow keyless("KV_OWNERS", {std::nullopt, "EU", "x"});
  for (const SQLDialect* dialect : {&MysqlDialect(), &PgsqlDialect(), &SqliteDialect(), &FirebirdDialect()}) {
    SCOPED_TRACE(dialect->name());
    EXPECT_FALSE(dialect->UpdateText("KV_OWNERS", keyless.values()));
    EXPECT_FALSE(dialect->DeleteText("KV_OWNERS", keyless.values()));
  }
  EXPECT_TRUE(log_.Contains("Primary Key column OWNER_ID of table KV_OWNERS is NULL: cannot update the row\n"));
  EXPECT_TRUE(log_.Contains("Primary Key column OWNER_ID of table KV_OWNERS is NULL: cannot delete the row\n"));

  EXPECT_EQ(MysqlDialect().DeleteText("KV_ITEMS", row.values()), "delete from KV_ITEMS  where ITEM_ID=1");
  EXPECT_TRUE(log_.Contains("@@@ Inside MysqlGenDelteQuery @@@\n"));
  const TestRow owner("KV_OWNERS", {"5", "E'U", "x"});
  EXPECT_EQ(PgsqlDialect().DeleteText("KV_OWNERS", owner.values()),
            "delete from KV_OWNERS  where OWNER_ID=5 and REGION='E''U'");
  EXPECT_TRUE(log_.Contains("@@@ Inside PgsqlGenDeleteQuery @@@\n"));
  EXPECT_TRUE(log_.Contains("Delete query is @@@delete from KV_OWNERS  where OWNER_ID=5 and REGION='E''U'\n"));

  // No text without a definition.
  EXPECT_FALSE(MysqlDialect().UpdateText("KV_NOWHERE", row.values()));
  EXPECT_FALSE(SqliteDialect().InsertText("KV_NOWHERE", row.values()));
}

TEST_F(SqlTextTest, SqliteLogsNoInsideLines) {
  const TestRow row("KV_ITEMS", kItem);
  ASSERT_TRUE(SqliteDialect().UpdateText("KV_ITEMS", row.values()));
  ASSERT_TRUE(SqliteDialect().DeleteText("KV_ITEMS", row.values()));
  ASSERT_TRUE(SqliteDialect().CreateTableText("KV_ITEMS"));
  EXPECT_FALSE(log_.Contains("Inside Sqlite"));
  EXPECT_TRUE(log_.Contains("Update query is @@@update KV_ITEMS"));
}

TEST_F(SqlTextTest, CreateTableTexts) {
  EXPECT_EQ(MysqlDialect().CreateTableText("KV_OWNERS"),
            "CREATE TABLE KV_OWNERS(\n\tOWNER_ID int   NOT NULL,\n\tREGION varchar(4) DEFAULT 'EU' NOT NULL,\n"
            "\tNAME varchar(40)  ,\n\tPRIMARY KEY(OWNER_ID, REGION)\n) ENGINE = InnoDB;\n\n");
  EXPECT_EQ(PgsqlDialect().CreateTableText("KV_OWNERS"),
            "CREATE TABLE KV_OWNERS(\n\tOWNER_ID int   NOT NULL,\n\tREGION varchar(5) DEFAULT 'EU' NOT NULL,\n"
            "\tNAME varchar(41)  ,\n\tPRIMARY KEY(OWNER_ID, REGION)\n);\n\n");
  EXPECT_TRUE(log_.Contains("Table Name : KV_OWNERS\n"));
  EXPECT_TRUE(log_.Contains("Description: Owners of items.\n"));
  EXPECT_TRUE(log_.Contains("Primary key : REGION\n\n"));

  // One foreign-key group for the two column pairs; MySQL's index named
  // after the table.
  const std::string mysql = MysqlDialect().CreateTableText("KV_ITEMS").value_or("");
  EXPECT_NE(mysql.find("\tNOTE varchar(80) DEFAULT 'it''s new',\n"), std::string::npos) << mysql;
  EXPECT_NE(mysql.find("\tACTIVE tinyint DEFAULT 1 ,\n"), std::string::npos) << mysql;
  EXPECT_NE(mysql.find("\tLABEL varchar(60)   UNIQUE,\n"), std::string::npos) << mysql;
  EXPECT_NE(mysql.find("\tPRIMARY KEY(ITEM_ID),\n\tFOREIGN KEY(OWNER_ID,REGION) REFERENCES KV_OWNERS "
                       "(OWNER_ID,REGION) ON DELETE CASCADE,\n\tINDEX KV_ITEMS_IDX0 (OWNER_ID,REGION)\n) ENGINE = "
                       "InnoDB;\n\n"),
            std::string::npos)
      << mysql;
  const std::string pgsql = PgsqlDialect().CreateTableText("KV_ITEMS").value_or("");
  EXPECT_NE(pgsql.find("\tACTIVE boolean DEFAULT 't' ,\n"), std::string::npos) << pgsql;
  EXPECT_NE(pgsql.find("\tSTAMP timestamp,\n"), std::string::npos) << pgsql;
  EXPECT_NE(pgsql.find("ON DELETE CASCADE\n);\n\n"), std::string::npos) << pgsql;
  EXPECT_EQ(pgsql.find("INDEX"), std::string::npos) << pgsql;
  EXPECT_TRUE(log_.Contains("Ref Column  : REGION\n"));
  EXPECT_TRUE(log_.Contains("Tablename : KV_OWNERS\n"));
  const std::string sqlite = SqliteDialect().CreateTableText("KV_ITEMS").value_or("");
  EXPECT_NE(sqlite.find("\tMADE_ON varchar(30),\n\tMADE_AT varchar(30),\n\tSTAMP varchar(30),\n"), std::string::npos);
  EXPECT_NE(sqlite.find("\tACTIVE boolean DEFAULT 1 ,\n"), std::string::npos) << sqlite;
  const std::string firebird = FirebirdDialect().CreateTableText("KV_ITEMS").value_or("");
  EXPECT_NE(firebird.find("\tBODY blob sub_type text ,\n"), std::string::npos) << firebird;
  EXPECT_NE(firebird.find("\tACTIVE SMALLINT DEFAULT 1 ,\n"), std::string::npos) << firebird;

  // Types a dialect has no column for leave no trace in its text.
  EXPECT_EQ(
      MysqlDialect().CreateTableText("KV_BLOBS"),
      "CREATE TABLE KV_BLOBS(\n\tBLOB_ID int   NOT NULL,\n\tDATA blob  ,\n\tDOC blob  ,\n\tPRIMARY KEY(BLOB_ID)\n) "
      "ENGINE = InnoDB;\n\n");
  EXPECT_EQ(PgsqlDialect().CreateTableText("KV_BLOBS"),
            "CREATE TABLE KV_BLOBS(\n\tBLOB_ID int   NOT NULL,\n\tPRIMARY KEY(BLOB_ID)\n);\n\n");
  EXPECT_EQ(PgsqlDialect().CreateTableText("KV_BIG"),
            "CREATE TABLE KV_BIG(\n\tBIG_ID int   NOT NULL,\n\tBIG bigint  ,\n\tPRIMARY KEY(BIG_ID)\n);\n\n");
  EXPECT_FALSE(MysqlDialect().CreateTableText("KV_NOWHERE"));
}

TEST_F(SqlTextTest, UnsupportedColumnsAndValues) {
  ASSERT_TRUE(LoadDataDictFromXMLFile(access_.PathOf("unsupported.xml").c_str()));
  // Float and double have no column: the table is made without them.
  for (const SQLDialect* dialect : {&MysqlDialect(), &PgsqlDialect(), &SqliteDialect(), &FirebirdDialect()}) {
    const std::string text = dialect->CreateTableText("KV_ODD").value_or("");
    EXPECT_EQ(text.find("RATIO"), std::string::npos) << text;
    EXPECT_EQ(text.find("AMOUNT"), std::string::npos) << text;
    // A character column without a size gets the largest before TEXT.
    EXPECT_NE(text.find("\tODD_ID int  ,\n\tNAME varchar(25"), std::string::npos) << text;
  }
  // Their values are written so that they read back unchanged.
  const TestRow odd("KV_ODD", {"1", "0.1", "0.0000152587890625", "x", std::nullopt});
  EXPECT_EQ(SqliteDialect().InsertText("KV_ODD", odd.values()),
            "insert into  KV_ODD values(1,0.100000001,1.52587890625e-05,'x',NULL);");
  // A value of no known type has no text: no statement.
  const TestRow misc("KV_ODD", {"1", "0.5", "0.5", "x", "raw"});
  EXPECT_FALSE(SqliteDialect().InsertText("KV_ODD", misc.values()));
  EXPECT_TRUE(log_.Contains("Unsupported Datatype Used in Query generation.\n"));
  // Without a primary key there is no telling a row from the others.
  for (const SQLDialect* dialect : {&MysqlDialect(), &PgsqlDialect(), &SqliteDialect(), &FirebirdDialect()}) {
    SCOPED_TRACE(dialect->name());
    EXPECT_FALSE(dialect->DeleteText("KV_ODD", odd.values()));
    EXPECT_FALSE(dialect->UpdateText("KV_ODD", odd.values()));
  }
  EXPECT_TRUE(log_.Contains("No Primary Key to delete a row of table KV_ODD\n"));
  EXPECT_TRUE(log_.Contains("No Primary Key to update a row of table KV_ODD\n"));
}

}  // namespace
}  // namespace kv::test
