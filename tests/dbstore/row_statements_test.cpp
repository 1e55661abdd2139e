// Inserts of one table joined into one statement of several rows.

#include "dbstore/row_statements.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

using Statements = std::vector<std::optional<std::string>>;

TEST(JoinInserts, JoinsTheValuesOfInsertsOfOneTable) {
  const Statements inserts = {"insert into  T values(1,'a),(b');", "insert into  T values(2,NULL);"};
  EXPECT_EQ(JoinInserts("T", SqliteDialect().rules(), inserts), "insert into  T values(1,'a),(b'),(2,NULL);");
  // MySQL's inserts end without a semicolon.
  EXPECT_EQ(
      JoinInserts("T", MysqlDialect().rules(), Statements{"insert into  T values(1)", "insert into  T values(2)"}),
      "insert into  T values(1),(2)");
  // Anything else runs as it is.
  EXPECT_EQ(JoinInserts("T", FirebirdDialect().rules(), inserts), std::nullopt);
  EXPECT_EQ(JoinInserts("U", SqliteDialect().rules(), inserts), std::nullopt);
  EXPECT_EQ(JoinInserts("T", SqliteDialect().rules(), Statements{inserts[0], "update T set A=1 where B=2;"}),
            std::nullopt);
  EXPECT_EQ(JoinInserts("T", SqliteDialect().rules(), Statements{inserts[0], std::nullopt}), std::nullopt);
}

}  // namespace
}  // namespace kv
