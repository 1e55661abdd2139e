#pragma once
// Timer queues: timers whose callbacks run on a worker thread of the queue.

#include <memory>

#include "platform/win_types.h"

namespace kv {

class TimerQueue;
using HTimerQueue = TimerQueue*;
struct TimerObject;
using HTimer = TimerObject*;

// The callback gets the timer's parameter and whether the timer fired (as
// opposed to having been waited for).
using TimerCallback = void (*)(void* parameter, bool fired);

constexpr DWORD WT_EXECUTEDEFAULT = 0;

[[nodiscard]] DWORD CreateTimerQueue(HTimerQueue* queue);

// Arms a timer: the callback runs once after dueMs, then every periodMs
// (0: once only). A callback may create timers on its own queue.
[[nodiscard]] DWORD CreateTimerQueueTimer(HTimerQueue queue, TimerCallback callback, void* parameter, DWORD dueMs, DWORD periodMs,
                            DWORD flags, HTimer* timer);

// Cancels the queue's pending timers and frees it. A callback that is
// running is allowed to finish first (unless the caller is that callback),
// so that nothing it uses is torn down under it.
DWORD DeleteTimerQueue(HTimerQueue queue);

}  // namespace kv
