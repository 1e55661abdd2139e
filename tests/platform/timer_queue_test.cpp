#include "platform/timer_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kv {
namespace {

// A count that tests can wait on.
struct Counter {
  std::mutex mutex;
  std::condition_variable changed;
  int value = 0;
  bool firedFlag = true;
  HTimerQueue queue = nullptr;
  int rearmUntil = 0;

  void Add(bool fired) {
    std::lock_guard lock(mutex);
    ++value;
    firedFlag = firedFlag && fired;
    changed.notify_all();
  }
  void WaitFor(int target) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return value >= target; });
  }
};

void Count(void* parameter, bool fired) { static_cast<Counter*>(parameter)->Add(fired); }

void CountAndRearm(void* parameter, bool fired) {
  auto* counter = static_cast<Counter*>(parameter);
  int value;
  {
    std::lock_guard lock(counter->mutex);
    value = counter->value + 1;
  }
  if (value < counter->rearmUntil) {
    HTimer timer = nullptr;
    EXPECT_EQ(CreateTimerQueueTimer(counter->queue, CountAndRearm, counter, 1, 0, WT_EXECUTEDEFAULT, &timer), 0u);
    EXPECT_NE(timer, nullptr);
  }
  counter->Add(fired);
}

TEST(TimerQueueTest, OneShotTimerFiresOnceWithItsParameter) {
  HTimerQueue queue = nullptr;
  ASSERT_EQ(CreateTimerQueue(&queue), 0u);
  Counter counter;
  HTimer timer = nullptr;
  ASSERT_EQ(CreateTimerQueueTimer(queue, Count, &counter, 5, 0, WT_EXECUTEDEFAULT, &timer), 0u);
  EXPECT_NE(timer, nullptr);
  counter.WaitFor(1);
  EXPECT_EQ(DeleteTimerQueue(queue), 0u);
  EXPECT_EQ(counter.value, 1);
  EXPECT_TRUE(counter.firedFlag);
}

TEST(TimerQueueTest, PeriodicTimerFiresUntilTheQueueGoes) {
  HTimerQueue queue = nullptr;
  ASSERT_EQ(CreateTimerQueue(&queue), 0u);
  Counter counter;
  ASSERT_EQ(CreateTimerQueueTimer(queue, Count, &counter, 0, 1, WT_EXECUTEDEFAULT, nullptr), 0u);
  counter.WaitFor(3);
  EXPECT_EQ(DeleteTimerQueue(queue), 0u);
}

TEST(TimerQueueTest, CallbackArmsTheNextTimerOnItsOwnQueue) {
  Counter counter;
  ASSERT_EQ(CreateTimerQueue(&counter.queue), 0u);
  counter.rearmUntil = 5;
  ASSERT_EQ(CreateTimerQueueTimer(counter.queue, CountAndRearm, &counter, 1, 0, WT_EXECUTEDEFAULT, nullptr), 0u);
  counter.WaitFor(5);
  EXPECT_EQ(DeleteTimerQueue(counter.queue), 0u);
  EXPECT_EQ(counter.value, 5);
}

struct SlowCallback {
  std::atomic<bool> started{false};
  std::atomic<bool> finished{false};
};

void RunSlowly(void* parameter, bool) {
  auto* state = static_cast<SlowCallback*>(parameter);
  state->started = true;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  state->finished = true;
}

TEST(TimerQueueTest, DeleteWaitsForTheRunningCallback) {
  HTimerQueue queue = nullptr;
  ASSERT_EQ(CreateTimerQueue(&queue), 0u);
  SlowCallback state;
  ASSERT_EQ(CreateTimerQueueTimer(queue, RunSlowly, &state, 0, 0, WT_EXECUTEDEFAULT, nullptr), 0u);
  while (!state.started) std::this_thread::yield();
  EXPECT_EQ(DeleteTimerQueue(queue), 0u);
  // The callback's data may go now: the callback is done with it.
  EXPECT_TRUE(state.finished);
}

TEST(TimerQueueTest, DeleteCancelsPendingTimers) {
  HTimerQueue queue = nullptr;
  ASSERT_EQ(CreateTimerQueue(&queue), 0u);
  Counter counter;
  ASSERT_EQ(CreateTimerQueueTimer(queue, Count, &counter, 3600 * 1000, 0, WT_EXECUTEDEFAULT, nullptr), 0u);
  EXPECT_EQ(DeleteTimerQueue(queue), 0u);
  EXPECT_EQ(counter.value, 0);
}

struct SelfDeleting {
  HTimerQueue queue = nullptr;
  std::atomic<DWORD> result{99};
  std::atomic<DWORD> rearm{99};
  std::atomic<bool> done{false};
};

void DeleteOwnQueue(void* parameter, bool) {
  auto* state = static_cast<SelfDeleting*>(parameter);
  state->result = DeleteTimerQueue(state->queue);
  // The queue is going: no new timer on it.
  state->rearm = CreateTimerQueueTimer(state->queue, DeleteOwnQueue, state, 0, 0, WT_EXECUTEDEFAULT, nullptr);
  state->done = true;
}

TEST(TimerQueueTest, CallbackMayDeleteItsOwnQueue) {
  SelfDeleting state;
  ASSERT_EQ(CreateTimerQueue(&state.queue), 0u);
  ASSERT_EQ(CreateTimerQueueTimer(state.queue, DeleteOwnQueue, &state, 0, 0, WT_EXECUTEDEFAULT, nullptr), 0u);
  while (!state.done) std::this_thread::yield();
  EXPECT_EQ(state.result, 0u);
  EXPECT_EQ(state.rearm, ERROR_INVALID_HANDLE);
  // Give the worker time to leave; a leak or a late use shows under the sanitizers.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

TEST(TimerQueueTest, InvalidArguments) {
  Counter counter;
  EXPECT_EQ(CreateTimerQueueTimer(nullptr, Count, &counter, 0, 0, WT_EXECUTEDEFAULT, nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(DeleteTimerQueue(nullptr), ERROR_INVALID_HANDLE);
  HTimerQueue queue = nullptr;
  ASSERT_EQ(CreateTimerQueue(&queue), 0u);
  EXPECT_EQ(CreateTimerQueueTimer(queue, nullptr, &counter, 0, 0, WT_EXECUTEDEFAULT, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(DeleteTimerQueue(queue), 0u);
}

}  // namespace
}  // namespace kv
