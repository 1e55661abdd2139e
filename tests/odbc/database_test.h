#pragma once
// A test run once on each database, connected to it through the seam.

#include <gtest/gtest.h>

#include <string>

#include "tests/odbc/odbc_session.h"
#include "tests/servers/test_databases.h"

namespace kv::test {

class DatabaseTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (const std::string missing = database().missing(); !missing.empty()) GTEST_SKIP() << missing;
    ASSERT_TRUE(session_.Connect(database().ConnectionString())) << session_.Error();
  }

  const TestDatabase& database() const { return FindTestDatabase(GetParam()); }
  OdbcSession& session() { return session_; }

  // A fresh table: dropped first when an earlier test left it.
  void CreateTable(const std::string& name, const std::string& columns) {
    ASSERT_TRUE(session_.Execute("drop table if exists " + name)) << session_.Error();
    ASSERT_TRUE(session_.Execute("create table " + name + " (" + columns + ")")) << session_.Error();
  }

 private:
  OdbcSession session_;
};

inline std::string DatabaseName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

}  // namespace kv::test
