// Timer queues: each queue has one worker thread that sleeps until the
// earliest timer is due and runs its callback. The queue's mutex is never
// held while a callback runs, so a callback may arm timers on its own queue.

#include "platform/timer_queue.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/last_error.h"

namespace kv {

using Clock = std::chrono::steady_clock;

struct TimerObject {
  TimerCallback callback = nullptr;
  void* parameter = nullptr;
  DWORD periodMs = 0;
};

class TimerQueue {
 public:
  TimerQueue() : worker_([this] { Run(); }) {}

  DWORD Arm(TimerCallback callback, void* parameter, DWORD dueMs, DWORD periodMs, HTimer* timer) {
    auto object = std::make_unique<TimerObject>(TimerObject{callback, parameter, periodMs});
    const HTimer handle = object.get();
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return ERROR_INVALID_HANDLE;
      pending_.emplace(Clock::now() + std::chrono::milliseconds(dueMs), std::move(object));
    }
    wake_.notify_one();
    if (timer) *timer = handle;
    return ERROR_SUCCESS;
  }

  // Cancels the pending timers and ends the worker. From any thread but the
  // worker this waits for a running callback and frees the queue. From a
  // callback of the queue the worker frees the queue once the callback is
  // done.
  void Delete() {
    std::unique_lock lock(mutex_);
    stopping_ = true;
    pending_.clear();
    if (std::this_thread::get_id() == worker_.get_id()) {
      freeOnExit_ = true;
      worker_.detach();
      return;
    }
    lock.unlock();
    wake_.notify_one();
    worker_.join();
    delete this;
  }

 private:
  ~TimerQueue() = default;

  void Run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      if (pending_.empty()) {
        wake_.wait(lock);
        continue;
      }
      auto first = pending_.begin();
      // A copy: the wait lets go of the mutex, and the timer may go meanwhile.
      const Clock::time_point due = first->first;
      if (due > Clock::now()) {
        wake_.wait_until(lock, due);
        continue;
      }
      std::unique_ptr<TimerObject> object = std::move(first->second);
      pending_.erase(first);
      const TimerObject fired = *object;
      if (fired.periodMs != 0) pending_.emplace(due + std::chrono::milliseconds(fired.periodMs), std::move(object));
      lock.unlock();
      fired.callback(fired.parameter, true);
      lock.lock();
    }
    if (freeOnExit_) {
      lock.unlock();
      delete this;
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  // Timers by due time; equal times fire in the order they were armed.
  std::multimap<Clock::time_point, std::unique_ptr<TimerObject>> pending_;
  bool stopping_ = false;
  bool freeOnExit_ = false;
  std::thread worker_;  // last: starts once everything above is built
};

DWORD CreateTimerQueue(HTimerQueue* queue) {
  if (!queue) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR_INVALID_PARAMETER;
  }
  try {
    *queue = new TimerQueue();
  } catch (...) {
    *queue = nullptr;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  return ERROR_SUCCESS;
}

DWORD CreateTimerQueueTimer(HTimerQueue queue, TimerCallback callback, void* parameter, DWORD dueMs, DWORD periodMs,
                            DWORD flags, HTimer* timer) {
  (void)flags;  // every callback runs on the queue's worker
  if (timer) *timer = nullptr;
  DWORD result = ERROR_INVALID_PARAMETER;
  if (!queue) {
    result = ERROR_INVALID_HANDLE;
  } else if (callback) {
    try {
      result = queue->Arm(callback, parameter, dueMs, periodMs, timer);
    } catch (...) {
      result = ERROR_NOT_ENOUGH_MEMORY;
    }
  }
  if (result) SetLastError(result);
  return result;
}

DWORD DeleteTimerQueue(HTimerQueue queue) {
  if (!queue) {
    SetLastError(ERROR_INVALID_HANDLE);
    return ERROR_INVALID_HANDLE;
  }
  queue->Delete();
  return ERROR_SUCCESS;
}

}  // namespace kv
