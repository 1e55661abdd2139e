// Locks keyed by address. One guard protects the list of keys held at this
// moment; a caller that finds its key held sleeps on a condition variable
// until some key is released, then looks again. Waiting costs the same at
// any age of the process: there is no back-off that grows with use.

#include "base/object_locks.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <vector>

#include "base/log_writer.h"

namespace kv {
namespace {

struct LockRegistry {
  std::mutex guard;
  std::condition_variable released;
  // The keys held now, compared by identity. Few at any time.
  std::vector<const void*> held;
};

// Built on first use, so the locks work whether or not InitMutex ran, and
// never destroyed, so threads still running at exit can use them.
LockRegistry& Registry() {
  static LockRegistry* registry = new LockRegistry;
  return *registry;
}

// The work of one step; the caller holds the guard.
int StepUnderGuard(LockRegistry& registry, const void* key, int kind) {
  auto& held = registry.held;
  const auto found = std::find(held.begin(), held.end(), key);
  if (kind == LOCK_STEP_TRY) {
    if (found != held.end()) return LOCK_BUSY;
    try {
      held.push_back(key);
    } catch (const std::bad_alloc&) {
      return LOCK_BUSY;  // the caller waits and tries again
    }
    return LOCK_ACQUIRED;
  }
  if (found == held.end()) return LOCK_BUSY;
  held.erase(found);
  return LOCK_RELEASED;
}

}  // namespace

void InitMutex() {
  LogTrace("\n\t@@@@@ Inside InitMutex() @@@@@\n");
  Registry();
}

int ObjectLockStep(const void* key, int kind) {
  auto& registry = Registry();
  int result;
  {
    std::lock_guard lock(registry.guard);
    result = StepUnderGuard(registry, key, kind);
  }
  if (result == LOCK_RELEASED) registry.released.notify_all();
  return result;
}

int LockObject(const void* key) {
  auto& registry = Registry();
  std::unique_lock lock(registry.guard);
  while (StepUnderGuard(registry, key, LOCK_STEP_TRY) == LOCK_BUSY) {
    const bool held = std::find(registry.held.begin(), registry.held.end(), key) != registry.held.end();
    if (held)
      registry.released.wait(lock);
    else  // no memory for the entry: try again shortly
      registry.released.wait_for(lock, std::chrono::milliseconds(1));
  }
  return LOCK_ACQUIRED;
}

int UnlockObject(const void* key) { return ObjectLockStep(key, LOCK_STEP_UNLOCK); }

void ResetObjectLocks() {
  auto& registry = Registry();
  {
    std::lock_guard lock(registry.guard);
    registry.held.clear();
  }
  registry.released.notify_all();
}

void CloseObjectLocks() {
  // The guard lives for the whole process: code that still locks after the
  // agent log has stopped (the store, a late thread) stays serialised.
}

}  // namespace kv
