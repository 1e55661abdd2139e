// The test database servers themselves: scripts through each server's own
// client, and a server that goes away under a connected client and comes
// back with its data.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "tests/odbc/database_test.h"
#include "tests/servers/firebird_server.h"
#include "tests/servers/mariadb_server.h"
#include "tests/servers/postgres_server.h"

namespace kv::test {
namespace {

struct ServerKind {
  const char* name;
  std::string (*missing)();
  DatabaseServer& (*shared)();
};

const ServerKind kServers[] = {
    {"PostgreSQL", PostgresServer::Missing, []() -> DatabaseServer& { return PostgresServer::Shared(); }},
    {"MariaDB", MariaDbServer::Missing, []() -> DatabaseServer& { return MariaDbServer::Shared(); }},
    {"Firebird", FirebirdServer::Missing, []() -> DatabaseServer& { return FirebirdServer::Shared(); }},
};

class ServerScriptTest : public ::testing::TestWithParam<ServerKind> {
 protected:
  void SetUp() override {
    if (const std::string missing = GetParam().missing(); !missing.empty()) GTEST_SKIP() << missing;
  }
  DatabaseServer& server() { return GetParam().shared(); }
};

TEST_P(ServerScriptTest, ScriptGivesBackItsRows) {
  const ScriptResult result = server().RunScript(
      "create table kv_script (id integer, name varchar(20));\n"
      "insert into kv_script values (42, 'O''Brien');\n"
      "insert into kv_script values (43, 'plain');\n"
      "commit;\n"
      "select id, name from kv_script order by id;\n");
  ASSERT_TRUE(result.Succeeded()) << result.output;
  const std::size_t first = result.output.find("O'Brien");
  EXPECT_NE(first, std::string::npos) << result.output;
  EXPECT_NE(result.output.find("42"), std::string::npos) << result.output;
  EXPECT_GT(result.output.find("plain"), first) << result.output;
}

TEST_P(ServerScriptTest, ScriptStopsAtAnError) {
  const ScriptResult result = server().RunScript(
      "create table kv_halted (id integer);\n"
      "insert into kv_no_such_table values (1);\n"
      "insert into kv_halted values (1);\n"
      "commit;\n");
  EXPECT_FALSE(result.Succeeded()) << result.output;
  const ScriptResult count = server().RunScript("select count(*) from kv_halted;\n");
  ASSERT_TRUE(count.Succeeded()) << count.output;
  EXPECT_EQ(count.output.find('1'), std::string::npos) << count.output;
}

TEST_P(ServerScriptTest, DataOutlivesARestart) {
  ASSERT_TRUE(server()
                  .RunScript("create table kv_lasting (id integer);\n"
                             "insert into kv_lasting values (7531);\n"
                             "commit;\n")
                  .Succeeded());
  const auto before = std::chrono::steady_clock::now();
  server().Stop();
  EXPECT_FALSE(server().Running());
  EXPECT_FALSE(server().RunScript("select id from kv_lasting;\n").Succeeded());
  server().Start();
  std::printf(
      "%s stopped and started again in %lld ms\n", GetParam().name,
      static_cast<long long>(
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before).count()));
  const ScriptResult result = server().RunScript("select id from kv_lasting;\n");
  ASSERT_TRUE(result.Succeeded()) << result.output;
  EXPECT_NE(result.output.find("7531"), std::string::npos) << result.output;
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerScriptTest, ::testing::ValuesIn(kServers),
                         [](const ::testing::TestParamInfo<ServerKind>& info) { return info.param.name; });

// A client connected through ODBC whose server goes away between statements.
using ServerGoneTest = DatabaseTest;

TEST_P(ServerGoneTest, StatementFailsWhileDownAndNewConnectionWorksAfter) {
  CreateTable("kv_kept", "id integer");
  ASSERT_TRUE(session().Execute("insert into kv_kept values (1)")) << session().Error();

  DatabaseServer& server = *database().server();
  server.Stop();
  EXPECT_FALSE(session().Execute("insert into kv_kept values (2)"));
  EXPECT_FALSE(session().Error().empty());
  OdbcSession refused;
  EXPECT_FALSE(refused.Connect(database().ConnectionString()));
  server.Start();

  OdbcSession again;
  ASSERT_TRUE(again.Connect(database().ConnectionString())) << again.Error();
  const auto result = again.Query("select id from kv_kept");
  ASSERT_TRUE(result) << again.Error();
  EXPECT_EQ(result->rows, (std::vector<TextRow>{{"1"}}));
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerGoneTest, ::testing::Values("PostgreSQL", "MariaDB"), DatabaseName);

}  // namespace
}  // namespace kv::test
