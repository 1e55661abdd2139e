// Timer queues through kernel32. Windows calls back with its own calling
// convention, so each timer holds the seam's callback and parameter and a
// trampoline of Windows' kind calls it.

#include "platform/timer_queue.h"

#include <memory>
#include <mutex>
#include <vector>

#include "platform/win32/wide.h"

namespace kv {

struct TimerObject {
  HTimerQueue queue = nullptr;
  TimerCallback callback = nullptr;
  void* parameter = nullptr;
};

class TimerQueue {
 public:
  ::HANDLE handle = nullptr;
  std::mutex mutex;
  std::vector<std::unique_ptr<TimerObject>> timers;
};

namespace {

// The queue whose callback the current thread is running, if any.
thread_local HTimerQueue runningQueue = nullptr;

VOID CALLBACK Fire(PVOID context, BOOLEAN fired) {
  const TimerObject timer = *static_cast<TimerObject*>(context);
  runningQueue = timer.queue;
  timer.callback(timer.parameter, fired != FALSE);
  runningQueue = nullptr;
}

}  // namespace

DWORD CreateTimerQueue(HTimerQueue* queue) {
  if (!queue) return win32::Fail(ERROR_INVALID_PARAMETER);
  *queue = nullptr;
  const ::HANDLE handle = ::CreateTimerQueue();
  if (!handle) return win32::LastFailure();
  *queue = new TimerQueue;
  (*queue)->handle = handle;
  return ERROR_SUCCESS;
}

DWORD CreateTimerQueueTimer(HTimerQueue queue, TimerCallback callback, void* parameter, DWORD dueMs, DWORD periodMs,
                            DWORD flags, HTimer* timer) {
  if (timer) *timer = nullptr;
  if (!queue) return win32::Fail(ERROR_INVALID_HANDLE);
  if (!callback) return win32::Fail(ERROR_INVALID_PARAMETER);
  auto object = std::make_unique<TimerObject>(TimerObject{queue, callback, parameter});
  ::HANDLE handle = nullptr;
  std::lock_guard lock(queue->mutex);
  if (!::CreateTimerQueueTimer(&handle, queue->handle, Fire, object.get(), dueMs, periodMs, flags))
    return win32::LastFailure();
  if (timer) *timer = object.get();
  queue->timers.push_back(std::move(object));
  return ERROR_SUCCESS;
}

DWORD DeleteTimerQueue(HTimerQueue queue) {
  if (!queue) return win32::Fail(ERROR_INVALID_HANDLE);
  if (runningQueue == queue) {
    // From one of its own callbacks the queue cannot wait for that callback
    // to end. Windows frees its timers once they are done; the few bytes of
    // the seam's timers stay, since a callback of the queue may still be
    // reading them.
    ::DeleteTimerQueueEx(queue->handle, nullptr);
    for (auto& timer : queue->timers) timer.release();
    return ERROR_SUCCESS;
  }
  // Waits for running callbacks, so nothing they use goes under them.
  ::DeleteTimerQueueEx(queue->handle, INVALID_HANDLE_VALUE);
  delete queue;
  return ERROR_SUCCESS;
}

}  // namespace kv
