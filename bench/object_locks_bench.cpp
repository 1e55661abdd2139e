// Contended object locks: two threads hand one key back and forth. The
// locks wake a waiter when the key is released, so a handoff costs the same
// however long the process has run. For comparison, the same handoff with a
// process-wide back-off counter that grows by 10 per wait and sleeps
// counter/1000 ms: after a few hundred waits every wait sleeps milliseconds.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "base/object_locks.h"

namespace {

// The growing back-off, as a reference.
class BackoffLocks {
 public:
  void Lock(const void* key) {
    while (!TryLock(key)) {
      counter_ = counter_ == -10 ? 10 : counter_ + 10;
      std::this_thread::sleep_for(std::chrono::milliseconds(counter_ / 1000));
    }
  }
  void Unlock(const void* key) {
    std::lock_guard lock(guard_);
    held_.erase(std::find(held_.begin(), held_.end(), key));
  }

 private:
  bool TryLock(const void* key) {
    std::lock_guard lock(guard_);
    if (std::find(held_.begin(), held_.end(), key) != held_.end()) return false;
    held_.push_back(key);
    return true;
  }
  std::mutex guard_;
  std::vector<const void*> held_;
  std::atomic<int> counter_{0};
};

// Each iteration: the other thread holds the key for 50 us while this one
// waits for it.
template <typename Lock, typename Unlock>
void Handoff(benchmark::State& state, Lock lock, Unlock unlock) {
  static char key;
  for (auto _ : state) {
    std::atomic<bool> held{false};
    std::thread holder([&] {
      lock(&key);
      held = true;
      std::this_thread::sleep_for(std::chrono::microseconds(50));
      unlock(&key);
    });
    while (!held) std::this_thread::yield();
    lock(&key);
    unlock(&key);
    holder.join();
  }
}

void BM_ObjectLocksHandoff(benchmark::State& state) {
  Handoff(
      state, [](const void* k) { (void)kv::LockObject(k); }, [](const void* k) { (void)kv::UnlockObject(k); });
}

void BM_GrowingBackoffHandoff(benchmark::State& state) {
  static BackoffLocks locks;  // shared by all runs: the counter never resets
  Handoff(
      state, [](const void* k) { locks.Lock(k); }, [](const void* k) { locks.Unlock(k); });
}

}  // namespace

// Fixed iteration counts, so the later repetitions show the effect of age.
BENCHMARK(BM_ObjectLocksHandoff)->Iterations(2000)->Repetitions(3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GrowingBackoffHandoff)->Iterations(2000)->Repetitions(3)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
