#pragma once
// The connection pool: per data source a list of open connections, each
// owned by the thread that took it (or shared by all threads when the data
// source has only one). A connection older than 27901 seconds, or one whose
// database went away, is opened anew before it is handed out.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "db/db_provider.h"
#include "platform/win_types.h"

namespace kv {

// Owners of a connection besides a thread identifier.
constexpr DWORD CONNECTION_OWNER_FREE = 0xFFFFFFFF;  // -1
constexpr DWORD CONNECTION_OWNER_SHARED = 1;

// A connection that has been open this long is opened again.
constexpr std::int64_t CONNECTION_MAX_AGE_SECONDS = 27901;
// Connections per data source of the counted EstablishDBConnections when
// asked for 0.
constexpr std::int32_t DEFAULT_CONNECTIONS_PER_SOURCE = 5;

struct DBConnection {
  // Null while the connection could not be (re)opened.
  ProviderConnectionPtr connection;
  std::string connectionName;
  int providerIndex = -1;
  DWORD owner = CONNECTION_OWNER_FREE;
  std::uint8_t inTransaction = 0;
  // Seconds since 1970.
  std::int64_t openedAt = 0;
  // GetConnectionHandle calls of the owner not yet released.
  std::int32_t uses = 0;
};

struct PoolEntry {
  std::string connectionName;
  std::vector<std::unique_ptr<DBConnection>> handles;
  // Serialises the choice of a handle and its reopening.
  std::mutex lock;
};

// One connection per data source; false at the first that cannot be opened
// ("Cannot establish connection.\n"). That data source and the ones after it
// keep a closed handle, opened when it is handed out.
[[nodiscard]] bool EstablishDBConnections();
// count connections per data source (5 for 0); connections that cannot be
// opened are kept closed and opened when they are handed out. False without
// parameter entries ("There is no entry in data source vector\n").
[[nodiscard]] bool EstablishDBConnections(std::int32_t count);

// A connection for the parameters, or null.
std::unique_ptr<DBConnection> OpenDBConnection(const ConnParamsEntry* parameters);
// Disconnects and frees a connection.
void CloseDBConnection(std::unique_ptr<DBConnection> handle);
// Closes every connection of every data source; the pool stays, empty.
void FreeConnectionPool();

// The calling thread's connection of a data source (without a name: of the
// only data source), or null when there is none free or it cannot be
// opened. Every handle given out is given back with ReleaseConnectionHandle.
DBConnection* GetConnectionHandle(const char* connectionName);
// Gives the calling thread's connection back; when the thread took it
// several times it is freed by the last release. Without a name: the first
// data source. False when the thread holds none.
[[nodiscard]] bool ReleaseConnectionHandle(const char* connectionName);

// The calling thread's connection of a data source for as long as the
// object lives: given back on every way out, a failure's included.
class PooledConnection {
 public:
  // Null name: the only data source. A null handle when there is none.
  explicit PooledConnection(const char* connectionName)
      : name_(connectionName), handle_(GetConnectionHandle(connectionName)) {}
  ~PooledConnection() {
    if (handle_) (void)ReleaseConnectionHandle(name_);
  }
  PooledConnection(const PooledConnection&) = delete;
  PooledConnection& operator=(const PooledConnection&) = delete;

  DBConnection* get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  const char* name_;
  DBConnection* handle_;
};

// The clock of connection ages: seconds since 1970 (tests set their own).
using ConnectionClock = std::int64_t (*)();
void SetConnectionClock(ConnectionClock clock);

}  // namespace kv
