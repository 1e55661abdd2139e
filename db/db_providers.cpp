// The provider list, the two provider slots and the switches that choose a
// dialect.

#include <cstring>
#include <new>

#include "base/log_writer.h"
#include "db/database_state.h"
#include "db/odbc_provider.h"

namespace kv {
namespace {

constexpr const char* kDefaultDialects[] = {"MYSQL", "PGSQL", "FIREBIRD", "SQLITE"};

const DBProvider* FindRegisteredProvider(const char* name) {
  if (!name) return nullptr;
  for (const DBProvider* provider : DatabaseAccess().providers)
    if (std::strcmp(provider->name, name) == 0) return provider;
  return nullptr;
}

}  // namespace

bool InitDBProvider() {
  DatabaseAccessState& state = DatabaseAccess();
  if (state.providerSlots[0]) {
    LogError("InitDBProvider Failed as already initialized\n");
    return false;
  }
  try {
    state.providerSlots = {};
    RegisterDBProvider(&OdbcProvider());
    (void)LoadDBProvider("ODBC");
    // Not a provider of this system: its slot stays free.
    (void)LoadDBProvider("SQLITE");
    state.connParams.clear();
    FreeConnectionPool();
    state.pool = std::make_unique<std::vector<std::unique_ptr<PoolEntry>>>();
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
  return true;
}

void RegisterDBProvider(const DBProvider* provider) {
  if (provider && !FindRegisteredProvider(provider->name)) DatabaseAccess().providers.push_back(provider);
}

int LoadDBProvider(const char* name) {
  const DBProvider* provider = FindRegisteredProvider(name);
  if (!provider) return -1;
  auto& slots = DatabaseAccess().providerSlots;
  for (int slot = 0; slot < DB_PROVIDER_SLOTS; ++slot)
    if (slots[static_cast<std::size_t>(slot)] == provider) return slot;
  for (int slot = 0; slot < DB_PROVIDER_SLOTS; ++slot) {
    if (!slots[static_cast<std::size_t>(slot)]) {
      slots[static_cast<std::size_t>(slot)] = provider;
      return slot;
    }
  }
  return -1;
}

bool UnloadDBProvider(const char* name) {
  for (const DBProvider*& slot : DatabaseAccess().providerSlots) {
    if (slot && name && std::strcmp(slot->name, name) == 0) {
      slot = nullptr;
      return true;
    }
  }
  return false;
}

void FreeDBProviders() {
  DatabaseAccessState& state = DatabaseAccess();
  state.providerSlots = {};
  state.providers.clear();
}

const DBProvider* GetLoadedDBProvider(int slot) {
  if (slot < 0 || slot >= DB_PROVIDER_SLOTS) return nullptr;
  return DatabaseAccess().providerSlots[static_cast<std::size_t>(slot)];
}

bool LoadDefaultDBProvider() {
  const auto& entries = DatabaseAccess().connParams;
  if (entries.empty()) {
    LogError("Cannot Load DB provider.\n");
    return false;
  }
  if (LoadDBProvider(entries.front().databaseType.c_str()) < 0) {
    LogError("Cannot Load %s provider.\n", entries.front().databaseType.c_str());
    return false;
  }
  return true;
}

const char* DefaultDialectName(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kDefaultDialects))) return nullptr;
  return kDefaultDialects[index];
}

void SetDSNMapValid(int status, int index) {
  LogTrace("@@@ Inside SetDSNMapValid @@@\n");
  DatabaseAccessState& state = DatabaseAccess();
  if (status == 1) {
    state.perTableDataSources = 1;
  } else if (status == 0) {
    state.perTableDataSources = 0;
    state.defaultDialectIndex = index;
    (void)LoadDBProvider(DefaultDialectName(index));
  } else {
    LogError("\nInvalid Status\n");
  }
}

}  // namespace kv
