#pragma once
// A queue of received messages on a Vector: appended at the tail, taken
// from the head under the queue's object lock. The queue never owns the
// messages.

#include "store/vector.h"

namespace kv {

// Appends the message; false with "Buffer allocation is failed !!!\n" when
// the node cannot be allocated.
[[nodiscard]] bool AddRcvdMsgToQueue(Vector* queue, void* message);
// Removes and returns the first message, or null when the queue is empty.
void* ReadMsgFromQueueForProcessing(Vector* queue);

}  // namespace kv
