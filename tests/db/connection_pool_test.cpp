// The pool, the providers and the statement front, on a provider of the
// test's own that records what it is asked and can be told to fail: handles
// per thread, the shared single handle, ages, reopening, transactions, the
// dialect of each table, and the result-set access functions.

#include "db/connection_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "db/database_state.h"
#include "db/db_statements.h"
#include "db/sql_front.h"
#include "store/column_types.h"
#include "tests/db/db_fixture.h"

namespace kv::test {
namespace {

struct FakeConnection : ProviderConnection {
  explicit FakeConnection(int serial) : serial(serial) {}
  int serial;
};

struct FakeProviderState {
  std::atomic<int> attempts{0};
  std::atomic<int> connects{0};
  std::atomic<int> disconnects{0};
  std::atomic<bool> refuse{false};
  std::atomic<bool> failStatements{false};
  std::vector<std::string> statements;
  std::atomic<int> begins{0}, commits{0}, rollbacks{0};
};

FakeProviderState& Fake() {
  static FakeProviderState state;
  return state;
}

int Serial(const DBConnection* handle) { return static_cast<FakeConnection*>(handle->connection.get())->serial; }

const DBProvider& FakeProvider() {
  static const DBProvider provider = {
      "FAKE",
      [](const ConnParamsEntry*) -> ProviderConnectionPtr {
        ++Fake().attempts;
        if (Fake().refuse) return nullptr;
        return std::make_unique<FakeConnection>(++Fake().connects);
      },
      [](ProviderConnection*, const char* sql) {
        Fake().statements.push_back(sql);
        return !Fake().failStatements.load();
      },
      [](ProviderConnection*, const char* sql) -> DBResultSetPtr {
        Fake().statements.push_back(sql);
        auto result = std::make_unique<DBResultSet>(std::vector<DBColumnDescriptor>{{"NUMBER", TARN_SQL_INT},
                                                                                    {"Name", TARN_SQL_VARCHAR},
                                                                                    {"FLAG", TARN_SQL_BOOLEAN},
                                                                                    {"SMALL", TARN_SQL_TINYINT}});
        const std::int32_t numbers[] = {7, -2};
        for (int row = 0; row < 2; ++row) {
          EXPECT_TRUE(result->AddRow());
          EXPECT_TRUE(result->SetValue(0, std::string_view(reinterpret_cast<const char*>(&numbers[row]), 4)));
          if (row == 0) {
            EXPECT_TRUE(result->SetValue(1, "first"));
          }
          EXPECT_TRUE(result->SetValue(2, std::string_view(row == 0 ? "\1" : "\0", 1)));
          EXPECT_TRUE(result->SetValue(3, std::string_view("\5", 1)));
        }
        return result;
      },
      [](ProviderConnectionPtr) {
        ++Fake().disconnects;
        return true;
      },
      [](ProviderConnection*) { return ++Fake().begins, true; },
      [](ProviderConnection*) { return ++Fake().commits, true; },
      [](ProviderConnection*) { return ++Fake().rollbacks, true; },
      [](ProviderConnection*, const char*, BlobProducer, void*) { return true; },
      [](ProviderConnection*, const char*, BlobConsumer, void*) -> DBResultSetPtr { return nullptr; },
  };
  return provider;
}

std::int64_t g_now = 1000000;
std::int64_t TestClock() { return g_now; }

ConnParamsEntry Source(const char* name, const char* type = "SQLITE") {
  ConnParamsEntry entry;
  entry.dsn = "fake";
  entry.connectionName = name;
  entry.providerName = "FAKE";
  entry.databaseType = type;
  return entry;
}

class ConnectionPoolTest : public DatabaseAccessTest {
 protected:
  ConnectionPoolTest() {
    Fake().attempts = Fake().connects = Fake().disconnects = Fake().begins = Fake().commits = Fake().rollbacks = 0;
    Fake().refuse = Fake().failStatements = false;
    Fake().statements.clear();
    RegisterDBProvider(&FakeProvider());
    EXPECT_EQ(LoadDBProvider("FAKE"), 1);  // the slot "SQLITE" left free
    g_now = 1000000;
    SetConnectionClock(TestClock);
  }
};

TEST_F(ConnectionPoolTest, ProvidersAreLoadedOnce) {
  EXPECT_EQ(GetLoadedDBProvider(0)->name, std::string("ODBC"));
  EXPECT_FALSE(InitDBProvider());
  EXPECT_TRUE(log_.Contains("InitDBProvider Failed as already initialized\n"));
  EXPECT_EQ(LoadDBProvider("NOSUCH"), -1);
  EXPECT_TRUE(UnloadDBProvider("FAKE"));
  EXPECT_EQ(GetLoadedDBProvider(1), nullptr);
  EXPECT_FALSE(LoadDefaultDBProvider());
  EXPECT_TRUE(log_.Contains("Cannot Load DB provider.\n"));
  ASSERT_TRUE(AddConnParamsEntry(Source("main")));
  EXPECT_FALSE(LoadDefaultDBProvider());
  EXPECT_TRUE(log_.Contains("Cannot Load SQLITE provider.\n"));
  // Without its provider a data source cannot be opened.
  EXPECT_FALSE(EstablishDBConnections());
  EXPECT_TRUE(log_.Contains("Cannot establish connection.\n"));
}

TEST_F(ConnectionPoolTest, AConnectionIsOpenedAgainAfter27901Seconds) {
  ASSERT_TRUE(AddConnParamsEntry(Source("main")));
  ASSERT_TRUE(EstablishDBConnections());
  EXPECT_TRUE(log_.Contains(" main : Connection Established\n"));
  DBConnection* handle = GetConnectionHandle("main");
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(Serial(handle), 1);
  EXPECT_EQ(handle->owner, CONNECTION_OWNER_SHARED);
  EXPECT_TRUE(ReleaseConnectionHandle("main"));

  g_now += 27900;
  handle = GetConnectionHandle("main");
  EXPECT_EQ(Serial(handle), 1);
  EXPECT_TRUE(ReleaseConnectionHandle("main"));
  g_now += 1;
  DBConnection* renewed = GetConnectionHandle(nullptr);  // the only data source
  ASSERT_EQ(renewed, handle);                            // the same handle, holding a new connection
  EXPECT_EQ(Serial(renewed), 2);
  EXPECT_EQ(renewed->openedAt, g_now);
  EXPECT_EQ(Fake().disconnects, 1);
  EXPECT_TRUE(ReleaseConnectionHandle(nullptr));
}

TEST_F(ConnectionPoolTest, OneHandleIsSharedByEveryThread) {
  ASSERT_TRUE(AddConnParamsEntry(Source("main")));
  ASSERT_TRUE(EstablishDBConnections());
  std::vector<DBConnection*> got(4);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < got.size(); ++i)
    threads.emplace_back([&got, i] { got[i] = GetConnectionHandle("main"); });
  for (auto& thread : threads) thread.join();
  for (DBConnection* handle : got) EXPECT_EQ(handle, got[0]);
  EXPECT_NE(got[0], nullptr);
}

TEST_F(ConnectionPoolTest, FiveHandlesForFiveThreadsAndNoneForTheSixth) {
  ASSERT_TRUE(AddConnParamsEntry(Source("main")));
  ASSERT_TRUE(EstablishDBConnections(0));
  EXPECT_TRUE(log_.Contains(" 4 : main : Connection Established\n"));
  constexpr int kThreads = 6;
  std::vector<DBConnection*> got(kThreads);
  std::barrier taken(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      // The first five take a handle each and keep it until all have tried.
      if (i == kThreads - 1) taken.arrive_and_wait();
      got[static_cast<std::size_t>(i)] = GetConnectionHandle("main");
      // Taking it again gives the same handle, which then needs two releases.
      if (DBConnection* handle = got[static_cast<std::size_t>(i)]) {
        EXPECT_EQ(GetConnectionHandle("main"), handle);
      }
      if (i != kThreads - 1) taken.arrive_and_wait();
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<DBConnection*> distinct(got.begin(), got.end() - 1);
  EXPECT_EQ(distinct.size(), 5u);
  EXPECT_EQ(distinct.count(nullptr), 0u);
  EXPECT_EQ(got.back(), nullptr);

  // One release of a handle taken twice keeps it with its thread.
  DBConnection* mine = nullptr;
  std::thread([&] {
    for (const auto& handle : (*DatabaseAccess().pool)[0]->handles) {
      handle->owner = CONNECTION_OWNER_FREE;
      handle->uses = 0;
    }
    mine = GetConnectionHandle("main");
    ASSERT_EQ(GetConnectionHandle("main"), mine);
    EXPECT_TRUE(ReleaseConnectionHandle("main"));
    EXPECT_NE(mine->owner, CONNECTION_OWNER_FREE);
    EXPECT_TRUE(ReleaseConnectionHandle("main"));
    EXPECT_EQ(mine->owner, CONNECTION_OWNER_FREE);
    EXPECT_FALSE(ReleaseConnectionHandle("main"));
  }).join();
}

TEST_F(ConnectionPoolTest, ADataSourceThatWasDownComesIntoUseWhenItIsBack) {
  ASSERT_TRUE(AddConnParamsEntry(Source("main")));
  ASSERT_TRUE(AddConnParamsEntry(Source("second")));
  Fake().refuse = true;
  EXPECT_FALSE(EstablishDBConnections());
  EXPECT_TRUE(log_.Contains("Cannot establish connection.\n"));
  // The data source after the one that failed was not tried.
  EXPECT_EQ(Fake().attempts, 1);
  ASSERT_EQ(DatabaseAccess().pool->size(), 2u);
  EXPECT_EQ(GetConnectionHandle("main"), nullptr);
  EXPECT_TRUE(log_.Contains(
      "Cannot return connection handle. Error in opening connection while re-establishing connection hanlde.\n"));
  EXPECT_FALSE(ExecuteUpdate(nullptr, "update x"));
  EXPECT_TRUE(log_.Contains("ConnectionHandle NULL in ExecuteUpdate for Query update x \n"));

  Fake().refuse = false;
  DBConnection* handle = GetConnectionHandle("main");
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(ExecuteUpdate(handle, "update x"));

  // A connection whose database went away is opened again when handed out.
  handle->connection->lost = true;
  EXPECT_TRUE(ReleaseConnectionHandle("main"));
  DBConnection* again = GetConnectionHandle("main");
  EXPECT_EQ(again, handle);
  EXPECT_EQ(Serial(again), 2);
  EXPECT_FALSE(again->connection->lost);
  // So does the data source that was never tried.
  DBConnection* second = GetConnectionHandle("second");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(Serial(second), 3);
}

TEST_F(ConnectionPoolTest, AConnectionWhoseParametersAreGoneCannotBeReopened) {
  ASSERT_TRUE(AddConnParamsEntry(Source("main")));
  ASSERT_TRUE(EstablishDBConnections());
  ASSERT_TRUE(FreeConnParamsEntry("main"));
  g_now += CONNECTION_MAX_AGE_SECONDS;
  EXPECT_EQ(GetConnectionHandle("main"), nullptr);
  EXPECT_TRUE(log_.Contains("Cannot return connection handle. Error in fetching connection parameters.\n"));
}

TEST_F(ConnectionPoolTest, StatementsAndTransactions) {
  ASSERT_TRUE(AddConnParamsEntry(Source("main")));
  ASSERT_TRUE(EstablishDBConnections());
  DBConnection* handle = GetConnectionHandle("main");
  EXPECT_FALSE(ExecuteUpdate(handle, nullptr));
  EXPECT_TRUE(log_.Contains(" No Query To be Updated \n"));
  EXPECT_FALSE(ExecuteQuery(handle, nullptr));
  EXPECT_TRUE(log_.Contains(" No Query To be Executed \n"));
  EXPECT_FALSE(ExecuteQueryBlob(nullptr, "select", nullptr, nullptr));
  EXPECT_TRUE(log_.Contains("ConnectionHandle NULL in ExecuteQueryBlob for Query select \n"));

  EXPECT_FALSE(CommitTransaction(handle));  // none begun
  EXPECT_EQ(Fake().commits, 0);
  ASSERT_TRUE(BeginTransaction(handle));
  EXPECT_EQ(handle->inTransaction, 1);
  EXPECT_TRUE(CommitTransaction(handle));
  EXPECT_EQ(handle->inTransaction, 0);
  EXPECT_FALSE(RollbackTransaction(handle));
  ASSERT_TRUE(BeginTransaction(handle));
  EXPECT_TRUE(RollbackTransaction(handle));
  EXPECT_EQ(Fake().commits, 1);
  EXPECT_EQ(Fake().rollbacks, 1);

  EXPECT_TRUE(CreateDB("kvnew"));
  EXPECT_EQ(Fake().statements.back(), "create database kvnew");
  EXPECT_TRUE(log_.Contains("@@ Inside CreateDB @@\n"));
  Fake().failStatements = true;
  EXPECT_FALSE(CreateDB("kvnew"));
  EXPECT_TRUE(log_.Contains("Cannot create database kvnew.\n"));
  FreeConnectionPool();
  EXPECT_FALSE(CreateDB("kvnew"));
  EXPECT_TRUE(log_.Contains("Cannot create DB.  Connection not established.\n"));
}

TEST_F(ConnectionPoolTest, EachTableHasItsDataSourceAndDialect) {
  ASSERT_TRUE(AddConnParamsEntry(Source("lite", "SQLITE")));
  ASSERT_TRUE(AddConnParamsEntry(Source("pg", "PGSQL")));
  ASSERT_TRUE(CreateDataSourceMapEntry("KV_OWNERS", "pg"));
  ASSERT_TRUE(CreateDataSourceMapEntry("KV_BIG", "gone"));
  ASSERT_TRUE(CreateDataSourceMapEntry("KV_ITEMS", "lite"));

  // Off at start: one dialect for all, MYSQL at index 0.
  EXPECT_EQ(GetDialectOfTable("KV_OWNERS"), &MysqlDialect());
  SetDSNMapValid(0, 2);
  EXPECT_EQ(GetDialectOfTable("KV_OWNERS"), &FirebirdDialect());
  EXPECT_STREQ(GetDataSourceOfTable("KV_OWNERS"), "lite");  // the first data source
  SetDSNMapValid(2, 0);
  EXPECT_TRUE(log_.Contains("\nInvalid Status\n"));
  EXPECT_EQ(GetDialectOfTable("KV_OWNERS"), &FirebirdDialect());

  SetDSNMapValid(1, 0);
  EXPECT_EQ(GetDialectOfTable("kv_owners"), &PgsqlDialect());
  EXPECT_STREQ(GetDataSourceOfTable("KV_ITEMS"), "lite");
  EXPECT_EQ(GetDialectOfTable("KV_ITEMS"), &SqliteDialect());
  EXPECT_EQ(GetDialectOfTable("SeqGenState"), nullptr);
  EXPECT_TRUE(log_.Contains("No DataSourceMap Entry for Table name SeqGenState \n"));
  EXPECT_EQ(GetDialectOfTable("KV_BIG"), nullptr);
  EXPECT_TRUE(log_.Contains("dbConnPtr is NULL for Connection Name gone \n"));
  EXPECT_FALSE(GenerateCreateTableQuery("KV_BIG"));
  EXPECT_TRUE(GenerateCreateTableQuery("KV_OWNERS"));
  EXPECT_TRUE(log_.Contains("Generated Create Table Query: CREATE TABLE KV_OWNERS(\n"));

  // CreateTables stops at the first table without a data source.
  ASSERT_TRUE(EstablishDBConnections());
  EXPECT_FALSE(CreateTables());
  ASSERT_EQ(Fake().statements.size(), 2u);
  EXPECT_EQ(Fake().statements[0].rfind("CREATE TABLE KV_OWNERS(", 0), 0u);
  EXPECT_EQ(Fake().statements[1].rfind("CREATE TABLE KV_ITEMS(", 0), 0u);
  // Every handle was given back.
  for (const auto& entry : *DatabaseAccess().pool)
    for (const auto& handle : entry->handles) EXPECT_EQ(handle->owner, CONNECTION_OWNER_FREE);
}

TEST_F(ConnectionPoolTest, ResultSetAccess) {
  ASSERT_TRUE(AddConnParamsEntry(Source("main")));
  ASSERT_TRUE(EstablishDBConnections());
  DBResultSetPtr result = ExecuteQuery(GetConnectionHandle("main"), "select");
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->rowCount(), 2);
  std::int32_t length = -1;
  EXPECT_EQ(GetResultSetValue(result.get(), "NUMBER", &length), nullptr);  // before the first row
  ASSERT_TRUE(GetNextResultRow(result.get()));
  EXPECT_STREQ(GetResultSetValue(result.get(), "name", &length), "first");
  EXPECT_EQ(length, 5);
  EXPECT_EQ(GetResultSetColumnType(result.get(), "NAME"), TARN_SQL_VARCHAR);
  EXPECT_EQ(GetResultSetColumnType(result.get(), "MISSING"), 0);
  EXPECT_STREQ(GetResultSetColumnName(result.get(), 2), "FLAG");
  EXPECT_EQ(GetResultSetColumnName(result.get(), 4), nullptr);
  ASSERT_TRUE(GetNextResultRow(result.get()));
  EXPECT_EQ(GetResultSetValue(result.get(), "Name", &length), nullptr);  // NULL
  EXPECT_FALSE(GetNextResultRow(result.get()));
  ResetResultSetCursor(result.get());
  ASSERT_TRUE(GetNextResultRow(result.get()));
  EXPECT_EQ(*reinterpret_cast<const std::int32_t*>(GetResultSetValue(result.get(), "NUMBER", &length)), 7);

  // Numbers print at the width they are stored with.
  PrintResultSet(result.get());
  EXPECT_TRUE(log_.Contains("NUMBER\tName\tFLAG\tSMALL\t\n"));
  EXPECT_TRUE(log_.Contains("7\tfirst\t1\t5\t\n"));
  EXPECT_TRUE(log_.Contains("-2\tNULL\t0\t5\t\n"));
  FreeResultSet(std::move(result));
}

}  // namespace
}  // namespace kv::test
