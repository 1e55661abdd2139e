#pragma once
// Locks keyed by an object's address, so that any code can serialise work on
// an object without the object carrying a lock of its own.

namespace kv {

// Results.
constexpr int LOCK_ACQUIRED = 1;  // LockObject, and a try-to-lock step that took the key
constexpr int LOCK_BUSY = 2;      // try-to-lock: the key is held; unlock: the key was not held
constexpr int LOCK_RELEASED = 4;  // unlock: the key was held and is now free

// Kinds of ObjectLockStep.
constexpr int LOCK_STEP_TRY = 1;
constexpr int LOCK_STEP_UNLOCK = 2;

void InitMutex();
[[nodiscard]] int LockObject(const void* key);
[[nodiscard]] int UnlockObject(const void* key);
[[nodiscard]] int ObjectLockStep(const void* key, int kind);
void CloseObjectLocks();
// Forgets every held key and wakes its waiters (tests).
void ResetObjectLocks();

// Holds a key for the life of a scope.
class ObjectLockGuard {
 public:
  // The guards' keys are never null, and a key that is not null is always
  // taken and given back.
  explicit ObjectLockGuard(const void* key) : key_(key) { (void)LockObject(key_); }
  ~ObjectLockGuard() { (void)UnlockObject(key_); }
  ObjectLockGuard(const ObjectLockGuard&) = delete;
  ObjectLockGuard& operator=(const ObjectLockGuard&) = delete;

 private:
  const void* key_;
};

}  // namespace kv
