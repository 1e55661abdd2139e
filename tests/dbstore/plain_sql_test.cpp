// The store's own SQL texts for one row.

#include "dbstore/plain_sql.h"

#include <gtest/gtest.h>

#include "store/data_dictionary.h"
#include "store/date_time.h"
#include "store/table_data.h"
#include "tests/dbstore/store_fixture.h"

namespace kv::test {
namespace {

class PlainSqlTest : public StoreFixture {
 protected:
  // A DEVICES row: 7, the name, no OS, 2024-05-02, the Boolean, no RAM.
  RowObject* Row(const char* name, char managed) {
    static const std::int32_t id = 7;
    static const TarnDate seen{2024, 5, 2};
    const StoredValue values[] = {{reinterpret_cast<const char*>(&id), 4},
                                  {name, static_cast<std::int32_t>(std::strlen(name))},
                                  {},
                                  {reinterpret_cast<const char*>(&seen), TARN_DATE_LENGTH},
                                  {&managed, 1},
                                  {}};
    return AddNewRow("DEVICES", values);
  }
  const TableDefn* devices() const { return GetTableDefn("DEVICES"); }
};

TEST_F(PlainSqlTest, ValuesAreWrittenAsLiteralsAndTextsCannotEndTheirsEarly) {
  ASSERT_TRUE(Init()) << LogErrors(log_);
  const RowObject* row = Row("O'Brien's \"PC\"", 1);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(MakeInsertQuery("DEVICES", row, devices()),
            "insert into  DEVICES values(7,'O''Brien''s \"PC\"',NULL,'2024-05-02',1,NULL)");
  EXPECT_EQ(MakeUpdateQuery("DEVICES", row, devices()),
            "update DEVICES set DEVICE_ID=7,NAME='O''Brien''s \"PC\"',OS=NULL,LAST_SEEN='2024-05-02',MANAGED='t',"
            "RAM_GB=NULL where DEVICE_ID=7");
  // Every column is a condition; a NULL one holds only as IS NULL.
  EXPECT_EQ(MakeDeleteQuery("DEVICES", row, devices()),
            "delete from DEVICES where DEVICE_ID=7 and NAME='O''Brien''s \"PC\"' and OS IS NULL and "
            "LAST_SEEN='2024-05-02' and MANAGED='t' and RAM_GB IS NULL");
  EXPECT_EQ(MakeInsertQuery("DEVICES", Row("x", 0), devices()),
            "insert into  DEVICES values(7,'x',NULL,'2024-05-02',0,NULL)");
  EXPECT_EQ(MakeInsertQuery("DEVICES", nullptr, devices()), std::nullopt);
  EXPECT_EQ(MakeInsertQuery("DEVICES", row, nullptr), std::nullopt);
}

TEST_F(PlainSqlTest, AnUpdateOrDeleteThatCannotNameItsRowIsRefused) {
  ASSERT_TRUE(Init()) << LogErrors(log_);
  RowObject* row = Row("x", 0);
  ASSERT_NE(row, nullptr);
  row->values[0] = StoredValue{};
  EXPECT_EQ(MakeUpdateQuery("DEVICES", row, devices()), std::nullopt);
  EXPECT_EQ(MakeDeleteQuery("DEVICES", row, devices()), std::nullopt);
  EXPECT_TRUE(log_.Contains("Primary Key column DEVICE_ID of table DEVICES is NULL: cannot update the row\n"));
  // Nor is the row written with a NULL key, which could never be named.
  EXPECT_EQ(MakeInsertQuery("DEVICES", row, devices()), std::nullopt);
  EXPECT_TRUE(log_.Contains("Primary Key column DEVICE_ID of table DEVICES is NULL: cannot insert the row\n"));
  // Without a key at all, "where" would be followed by nothing.
  TableDefn keyless;
  keyless.name = "DEVICES";
  for (const ColumnDefn& column : devices()->columns) {
    auto copy = std::make_unique<ColumnDefn>();
    copy->name = column.name;
    copy->type = column.type;
    ASSERT_TRUE(keyless.columns.Append(std::move(copy)));
  }
  EXPECT_EQ(MakeUpdateQuery("DEVICES", row, &keyless), std::nullopt);
  EXPECT_TRUE(log_.Contains("No Primary Key to update a row of table DEVICES\n"));
}

TEST_F(PlainSqlTest, TheTextsRunAndFindTheirRow) {
  ASSERT_TRUE(Init()) << LogErrors(log_);
  const char* name = "x'); delete from DEVICES; --";
  const RowObject* row = Row(name, 0);
  // SQLite keeps the Boolean as the insert wrote it; the other texts
  // compare it with 'f', so the row is found by its other columns here.
  ASSERT_TRUE(Execute(*MakeInsertQuery("DEVICES", row, devices()))) << LogErrors(log_);
  EXPECT_EQ(Rows("select NAME from DEVICES where DEVICE_ID = 7"), (TextRows{{name}}));
  EXPECT_EQ(Rows("select count(*) from DEVICES"), (TextRows{{"4"}}));
}

}  // namespace
}  // namespace kv::test
