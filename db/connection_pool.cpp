#include "db/connection_pool.h"

#include <ctime>
#include <new>

#include "base/log_writer.h"
#include "base/object_locks.h"
#include "db/database_state.h"
#include "platform/system.h"

namespace kv {
namespace {

std::int64_t Now() {
  const ConnectionClock clock = DatabaseAccess().clock;
  return clock ? clock() : static_cast<std::int64_t>(std::time(nullptr));
}

// A handle of the data source that is not open yet: it is opened when it is
// handed out, so that a data source that was down at start comes into use
// once it is back.
std::unique_ptr<DBConnection> ClosedHandle(const ConnParamsEntry& parameters) {
  auto handle = std::make_unique<DBConnection>();
  handle->connectionName = parameters.connectionName;
  return handle;
}

PoolEntry* AddPoolEntry(const ConnParamsEntry& parameters) {
  DatabaseAccessState& state = DatabaseAccess();
  if (!state.pool) state.pool = std::make_unique<std::vector<std::unique_ptr<PoolEntry>>>();
  auto entry = std::make_unique<PoolEntry>();
  entry->connectionName = parameters.connectionName;
  state.pool->push_back(std::move(entry));
  return state.pool->back().get();
}

// The entry of a data source; without a name the only one there is.
PoolEntry* FindPoolEntry(const char* connectionName, bool firstWithoutName) {
  const auto& pool = DatabaseAccess().pool;
  if (!pool || pool->empty()) return nullptr;
  if (!connectionName) return firstWithoutName || pool->size() == 1 ? pool->front().get() : nullptr;
  for (const auto& entry : *pool)
    if (entry->connectionName == connectionName) return entry.get();
  return nullptr;
}

// Whose handle the calling thread takes: its own, or the one handle all
// threads share when the data source has only one.
DWORD OwnerKey(const PoolEntry& entry) {
  return entry.handles.size() == 1 ? CONNECTION_OWNER_SHARED : GetCurrentThreadId();
}

bool NeedsOpening(const DBConnection& handle) {
  return !handle.connection || handle.connection->lost.load() || Now() - handle.openedAt >= CONNECTION_MAX_AGE_SECONDS;
}

// Disconnects the handle's provider connection, if it has one.
void Disconnect(DBConnection& handle) {
  if (!handle.connection) return;
  if (const DBProvider* provider = GetLoadedDBProvider(handle.providerIndex))
    provider->disconnect(std::move(handle.connection));
  handle.connection.reset();
}

// Opens the handle's connection anew, in place, so that whoever holds the
// handle keeps a valid one.
bool Reestablish(DBConnection& handle) {
  const ConnParamsEntry* parameters = GetConnParamsEntry(handle.connectionName.c_str());
  if (!parameters) {
    LogError("Cannot return connection handle. Error in fetching connection parameters.\n");
    return false;
  }
  ObjectLockGuard statements(&handle);
  Disconnect(handle);
  std::unique_ptr<DBConnection> fresh = OpenDBConnection(parameters);
  if (!fresh) {
    LogError("Cannot return connection handle. Error in opening connection while re-establishing connection hanlde.\n");
    return false;
  }
  handle.connection = std::move(fresh->connection);
  handle.providerIndex = fresh->providerIndex;
  handle.openedAt = fresh->openedAt;
  handle.inTransaction = 0;
  LogDebug(" %s : Connection Established\n", handle.connectionName.c_str());
  return true;
}

}  // namespace

void SetConnectionClock(ConnectionClock clock) { DatabaseAccess().clock = clock; }

std::unique_ptr<DBConnection> OpenDBConnection(const ConnParamsEntry* parameters) {
  LogTrace("## Inside OpenDBConnection ##\n");
  if (!parameters) return nullptr;
  for (int slot = 0; slot < DB_PROVIDER_SLOTS; ++slot) {
    const DBProvider* provider = GetLoadedDBProvider(slot);
    if (!provider || parameters->providerName != provider->name) continue;
    ProviderConnectionPtr connection = provider->connect(parameters);
    if (!connection) return nullptr;
    std::unique_ptr<DBConnection> handle(new (std::nothrow) DBConnection);
    if (!handle) {
      provider->disconnect(std::move(connection));
      LogError("MEMORY_ALLOCATION_FAILURE\n");
      return nullptr;
    }
    handle->connection = std::move(connection);
    try {
      handle->connectionName = parameters->connectionName;
    } catch (const std::bad_alloc&) {
      provider->disconnect(std::move(handle->connection));
      LogError("MEMORY_ALLOCATION_FAILURE\n");
      return nullptr;
    }
    handle->providerIndex = slot;
    handle->owner = CONNECTION_OWNER_FREE;
    handle->inTransaction = 0;
    handle->openedAt = Now();
    return handle;
  }
  return nullptr;
}

void CloseDBConnection(std::unique_ptr<DBConnection> handle) {
  if (!handle) return;
  ObjectLockGuard statements(handle.get());
  Disconnect(*handle);
}

void FreeConnectionPool() {
  const auto& pool = DatabaseAccess().pool;
  if (!pool) return;
  for (const auto& entry : *pool) {
    std::lock_guard<std::mutex> lock(entry->lock);
    for (auto& handle : entry->handles) CloseDBConnection(std::move(handle));
    entry->handles.clear();
  }
  pool->clear();
}

bool EstablishDBConnections() {
  bool established = true;
  try {
    for (const ConnParamsEntry& parameters : DatabaseAccess().connParams) {
      PoolEntry* entry = AddPoolEntry(parameters);
      // After the first failure the other data sources are not tried now;
      // they get their handle all the same, opened when it is handed out.
      std::unique_ptr<DBConnection> handle = established ? OpenDBConnection(&parameters) : nullptr;
      if (!handle) {
        entry->handles.push_back(ClosedHandle(parameters));
        if (established) LogError("Cannot establish connection.\n");
        established = false;
        continue;
      }
      entry->handles.push_back(std::move(handle));
      LogDebug(" %s : Connection Established\n", parameters.connectionName.c_str());
    }
  } catch (const std::bad_alloc&) {
    LogError("Unable to allocate memory for connection pool\n");
    return false;
  }
  return established;
}

bool EstablishDBConnections(std::int32_t count) {
  const auto& parameters = DatabaseAccess().connParams;
  if (parameters.empty()) {
    LogError("There is no entry in data source vector\n");
    return false;
  }
  if (count <= 0) count = DEFAULT_CONNECTIONS_PER_SOURCE;
  try {
    for (const ConnParamsEntry& source : parameters) {
      PoolEntry* entry = AddPoolEntry(source);
      for (std::int32_t i = 0; i < count; ++i) {
        std::unique_ptr<DBConnection> handle = OpenDBConnection(&source);
        if (handle)
          LogDebug(" %d : %s : Connection Established\n", i, source.connectionName.c_str());
        else
          handle = ClosedHandle(source);
        entry->handles.push_back(std::move(handle));
      }
    }
  } catch (const std::bad_alloc&) {
    LogError("Unable to allocate memory for connection pool\n");
    return false;
  }
  return true;
}

DBConnection* GetConnectionHandle(const char* connectionName) {
  PoolEntry* entry = FindPoolEntry(connectionName, false);
  if (!entry) return nullptr;
  std::lock_guard<std::mutex> lock(entry->lock);
  const DWORD key = OwnerKey(*entry);
  DBConnection* handle = nullptr;
  for (const auto& candidate : entry->handles)
    if (!handle && candidate->owner == key) handle = candidate.get();
  // A free open handle before a free one that still has to be opened.
  for (int pass = 0; pass < 2 && !handle; ++pass)
    for (const auto& candidate : entry->handles)
      if (!handle && candidate->owner == CONNECTION_OWNER_FREE && (pass == 1 || candidate->connection))
        handle = candidate.get();
  if (!handle) return nullptr;
  if (NeedsOpening(*handle) && !Reestablish(*handle)) return nullptr;
  handle->owner = key;
  ++handle->uses;
  return handle;
}

bool ReleaseConnectionHandle(const char* connectionName) {
  PoolEntry* entry = FindPoolEntry(connectionName, true);
  if (!entry) return false;
  std::lock_guard<std::mutex> lock(entry->lock);
  const DWORD key = OwnerKey(*entry);
  for (const auto& handle : entry->handles) {
    if (handle->owner != key) continue;
    if (--handle->uses <= 0) {
      handle->uses = 0;
      handle->owner = CONNECTION_OWNER_FREE;
    }
    return true;
  }
  return false;
}

}  // namespace kv
