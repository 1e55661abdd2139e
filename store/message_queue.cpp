#include "store/message_queue.h"

#include "base/log_writer.h"
#include "base/object_locks.h"
#include "store/converter_log.h"

namespace kv {

bool AddRcvdMsgToQueue(Vector* queue, void* message) {
  LogConverterEntry("AddRcvdMsgToQueue");
  if (AddElementValue(queue, message)) return true;
  LogError("Buffer allocation is failed !!!\n");
  return false;
}

void* ReadMsgFromQueueForProcessing(Vector* queue) {
  LogConverterEntry("ReadMsgFromQueueForProcessing");
  if (!queue) return nullptr;
  // The node is unlinked here rather than through DeleteElementAt, which
  // takes the same (not re-entrant) lock.
  ObjectLockGuard lock(queue);
  VectorNode* first = queue->head;
  if (!first) return nullptr;
  queue->head = first->next;
  if (!queue->head) queue->tail = nullptr;
  --queue->count;
  void* message = first->data;
  delete first;
  return message;
}

}  // namespace kv
