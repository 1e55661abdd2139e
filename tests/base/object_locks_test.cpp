#include "base/object_locks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace kv {
namespace {

TEST(ObjectLocksTest, ResultsOfLockingAndUnlocking) {
  InitMutex();
  const char key = 0;
  EXPECT_EQ(UnlockObject(&key), LOCK_BUSY);  // not held: nothing changes
  EXPECT_EQ(LockObject(&key), LOCK_ACQUIRED);
  EXPECT_EQ(ObjectLockStep(&key, LOCK_STEP_TRY), LOCK_BUSY);
  EXPECT_EQ(UnlockObject(&key), LOCK_RELEASED);
  EXPECT_EQ(UnlockObject(&key), LOCK_BUSY);
  EXPECT_EQ(ObjectLockStep(&key, LOCK_STEP_TRY), LOCK_ACQUIRED);
  EXPECT_EQ(ObjectLockStep(&key, LOCK_STEP_UNLOCK), LOCK_RELEASED);
}

TEST(ObjectLocksTest, ResetFreesHeldKeysAndWakesTheirWaiters) {
  const char key = 0;
  ASSERT_EQ(LockObject(&key), LOCK_ACQUIRED);
  std::thread waiter([&] {
    EXPECT_EQ(LockObject(&key), LOCK_ACQUIRED);
    EXPECT_EQ(UnlockObject(&key), LOCK_RELEASED);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ResetObjectLocks();
  waiter.join();
  EXPECT_EQ(UnlockObject(&key), LOCK_BUSY);
}

TEST(ObjectLocksTest, SecondLockerWaitsForTheFirst) {
  const char key = 0;
  ASSERT_EQ(LockObject(&key), LOCK_ACQUIRED);
  std::atomic<bool> acquired{false};
  std::thread second([&] {
    EXPECT_EQ(LockObject(&key), LOCK_ACQUIRED);
    acquired = true;
    EXPECT_EQ(UnlockObject(&key), LOCK_RELEASED);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(acquired);
  EXPECT_EQ(UnlockObject(&key), LOCK_RELEASED);
  second.join();
  EXPECT_TRUE(acquired);
}

TEST(ObjectLocksTest, DifferentKeysDoNotWait) {
  const char first = 0, second = 0;
  ASSERT_EQ(LockObject(&first), LOCK_ACQUIRED);
  std::thread other([&] {
    EXPECT_EQ(LockObject(&second), LOCK_ACQUIRED);
    EXPECT_EQ(UnlockObject(&second), LOCK_RELEASED);
  });
  other.join();  // would hang if the other key's lock waited for this one
  EXPECT_EQ(UnlockObject(&first), LOCK_RELEASED);
}

TEST(ObjectLocksTest, ClosingKeepsTheLocksWorking) {
  const char key = 0;
  CloseObjectLocks();
  EXPECT_EQ(LockObject(&key), LOCK_ACQUIRED);
  EXPECT_EQ(ObjectLockStep(&key, LOCK_STEP_TRY), LOCK_BUSY);
  EXPECT_EQ(UnlockObject(&key), LOCK_RELEASED);
}

// Many threads over a few keys, many times: every critical section is
// exclusive (plain counters stay exact) and nobody is left waiting.
TEST(ObjectLocksTest, HeavyContentionStaysCorrect) {
  constexpr int kThreads = 8, kRounds = 20000, kKeys = 3;
  struct Slot {
    char key = 0;
    long counter = 0;
    int inside = 0;
  };
  std::vector<Slot> slots(kKeys);
  std::atomic<int> overlaps{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        Slot& slot = slots[(t + i) % kKeys];
        const ObjectLockGuard guard(&slot.key);
        if (++slot.inside != 1) ++overlaps;
        ++slot.counter;
        --slot.inside;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  long total = 0;
  for (const auto& slot : slots) {
    total += slot.counter;
    EXPECT_EQ(ObjectLockStep(&slot.key, LOCK_STEP_TRY), LOCK_ACQUIRED);  // all released
    EXPECT_EQ(UnlockObject(&slot.key), LOCK_RELEASED);
  }
  EXPECT_EQ(total, static_cast<long>(kThreads) * kRounds);
  EXPECT_EQ(overlaps, 0);
}

}  // namespace
}  // namespace kv
