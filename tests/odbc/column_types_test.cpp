// The SQL type codes each driver reports for the column types the store's
// tables use, under ODBC 3 and ODBC 2 behaviour: the codes the store's type
// map must know. The test prints the whole table and holds the drivers to the
// codes the store relies on.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tests/odbc/odbc_session.h"
#include "tests/servers/test_databases.h"

namespace kv::test {
namespace {

// A column type as each database spells it; null where it has none.
struct ColumnType {
  const char* label;
  const char* sqlite;
  const char* postgresql;
  const char* mariadb;
};

constexpr ColumnType kColumnTypes[] = {
    {"int", "int", "int", "int"},
    {"smallint", "smallint", "smallint", "smallint"},
    {"bigint", "bigint", "bigint", "bigint"},
    {"tinyint", "tinyint", nullptr, "tinyint"},
    {"boolean", "boolean", "boolean", "boolean"},
    {"real", "real", "real", "real"},
    {"float", "float", "float", "float"},
    {"double", "double", "double precision", "double"},
    {"decimal(10,2)", "decimal(10,2)", "decimal(10,2)", "decimal(10,2)"},
    {"numeric(10,2)", "numeric(10,2)", "numeric(10,2)", "numeric(10,2)"},
    {"char(10)", "char(10)", "char(10)", "char(10)"},
    {"varchar(40)", "varchar(40)", "varchar(40)", "varchar(40)"},
    {"text", "text", "text", "text"},
    {"date", "date", "date", "date"},
    {"time", "time", "time", "time"},
    {"timestamp", "timestamp", "timestamp", "timestamp"},
    {"datetime", "datetime", nullptr, "datetime"},
    {"blob", "blob", "bytea", "blob"},
    {"longblob", nullptr, nullptr, "longblob"},
    {"uuid", nullptr, "uuid", nullptr},
    {"interval", nullptr, "interval", nullptr},
};

const char* Spelling(const ColumnType& type, const std::string& database) {
  if (database == "SQLite") return type.sqlite;
  if (database == "MariaDB") return type.mariadb;
  return type.postgresql;
}

// Column c<i> for kColumnTypes[i], for the types the database has.
std::string CreateText(const std::string& database) {
  std::string columns;
  for (std::size_t i = 0; i < std::size(kColumnTypes); ++i)
    if (const char* spelling = Spelling(kColumnTypes[i], database))
      columns += (columns.empty() ? "" : ", ") + ("c" + std::to_string(i)) + " " + spelling;
  return "create table kv_types (" + columns + ")";
}

// label -> code, for one database and one ODBC behaviour.
using Codes = std::map<std::string, SQLSMALLINT>;

Codes DescribeTypes(const TestDatabase& database, SQLULEN version) {
  OdbcSession session(version);
  EXPECT_TRUE(session.Connect(database.ConnectionString())) << session.Error();
  EXPECT_TRUE(session.Execute("drop table if exists kv_types")) << session.Error();
  EXPECT_TRUE(session.Execute(CreateText(database.name))) << session.Error();
  const auto columns = session.Describe("select * from kv_types");
  EXPECT_TRUE(columns) << session.Error();
  Codes codes;
  if (!columns) return codes;
  for (const auto& column : *columns) codes[kColumnTypes[std::stoul(column.name.substr(1))].label] = column.type;
  return codes;
}

TEST(ColumnTypesTest, DriversReportTheCodesTheStoreMaps) {
  std::map<std::string, Codes> odbc3, odbc2;
  std::vector<std::string> reported;
  for (const auto& database : TestDatabases()) {
    if (const std::string missing = database.missing(); !missing.empty()) {
      std::printf("%s: not reported, %s\n", database.name, missing.c_str());
      continue;
    }
    reported.push_back(database.name);
    odbc3[database.name] = DescribeTypes(database, SQL_OV_ODBC3);
    odbc2[database.name] = DescribeTypes(database, SQL_OV_ODBC2);
  }
  if (reported.empty()) GTEST_SKIP() << "no database to report on";

  // The table: ODBC 3's code, and ODBC 2's after a slash where it differs.
  std::printf("%-14s", "column");
  for (const auto& name : reported) std::printf(" | %-34s", name.c_str());
  std::printf("\n");
  for (const auto& type : kColumnTypes) {
    std::printf("%-14s", type.label);
    for (const auto& name : reported) {
      std::string cell = "-";
      if (const auto found = odbc3[name].find(type.label); found != odbc3[name].end()) {
        cell = SqlTypeName(found->second);
        if (const SQLSMALLINT two = odbc2[name][type.label]; two != found->second) cell += " / " + SqlTypeName(two);
      }
      std::printf(" | %-34s", cell.c_str());
    }
    std::printf("\n");
  }

  for (const auto& name : reported) {
    SCOPED_TRACE(name);
    const Codes& three = odbc3[name];
    const Codes& two = odbc2[name];
    EXPECT_EQ(three.at("int"), SQL_INTEGER);
    EXPECT_EQ(three.at("smallint"), SQL_SMALLINT);
    EXPECT_EQ(three.at("bigint"), SQL_BIGINT);
    // ODBC 3 names dates and times with the SQL_TYPE_ codes, ODBC 2 with
    // the old ones.
    EXPECT_EQ(three.at("date"), SQL_TYPE_DATE);
    EXPECT_EQ(two.at("date"), SQL_DATE);
    EXPECT_EQ(three.at("timestamp"), SQL_TYPE_TIMESTAMP);
    EXPECT_EQ(two.at("timestamp"), SQL_TIMESTAMP);
  }
}

// A Boolean column gives back true and false written as '1' and '0' as the
// texts "1" and "0" on every database (the store reads a Boolean's text).
TEST(ColumnTypesTest, BooleanColumnsReadBackAsText) {
  bool reported = false;
  for (const auto& database : TestDatabases()) {
    if (!database.missing().empty()) continue;
    reported = true;
    SCOPED_TRACE(database.name);
    OdbcSession session;
    ASSERT_TRUE(session.Connect(database.ConnectionString())) << session.Error();
    ASSERT_TRUE(session.Execute("drop table if exists kv_flags")) << session.Error();
    ASSERT_TRUE(session.Execute("create table kv_flags (id int, flag boolean)")) << session.Error();
    ASSERT_TRUE(session.Execute("insert into kv_flags values (1, '1')")) << session.Error();
    ASSERT_TRUE(session.Execute("insert into kv_flags values (2, '0')")) << session.Error();
    const auto result = session.Query("select flag from kv_flags order by id");
    ASSERT_TRUE(result) << session.Error();
    EXPECT_EQ(result->rows, (std::vector<TextRow>{{"1"}, {"0"}}));
  }
  if (!reported) GTEST_SKIP() << "no database to report on";
}

}  // namespace
}  // namespace kv::test
