#include "store/vector.h"

#include <cstring>
#include <new>

#include "base/log_writer.h"
#include "base/object_locks.h"
#include "store/value_text.h"

namespace kv {
namespace {

void FreeNodes(Vector* vector) {
  VectorNode* node = vector->head;
  while (node) {
    VectorNode* next = node->next;
    delete node;
    node = next;
  }
  vector->head = nullptr;
  vector->tail = nullptr;
  vector->count = 0;
}

// The node before position index (index >= 1); the caller holds the lock.
VectorNode* NodeBefore(Vector* vector, std::int32_t index) {
  VectorNode* node = vector->head;
  for (std::int32_t i = 1; i < index; ++i) node = node->next;
  return node;
}

// Unlinks the node that follows previous (null: the head); the caller holds
// the lock and knows that such a node exists.
void UnlinkAfter(Vector* vector, VectorNode* previous) {
  VectorNode* node = previous ? previous->next : vector->head;
  if (previous)
    previous->next = node->next;
  else
    vector->head = node->next;
  if (vector->tail == node) vector->tail = previous;
  --vector->count;
  delete node;
}

}  // namespace

Vector::~Vector() { FreeNodes(this); }

void InitVector(Vector* vector) {
  LogTrace("\n\t@@@@@ Inside InitVector() @@@@@ \n");
  if (!vector) return;
  FreeNodes(vector);
  vector->comparator = nullptr;
}

std::unique_ptr<Vector> NewVector() {
  std::unique_ptr<Vector> vector(new (std::nothrow) Vector);
  if (!vector) LogError("MEMORY_ALLOCATION_FAILURE\n");
  return vector;
}

void FreeVector(Vector* vector) {
  LogTrace("\n\t@@@@@ Inside FreeVector() @@@@@ \n");
  if (!vector) return;
  ObjectLockGuard lock(vector);
  FreeNodes(vector);
}

int AddElement(Vector* vector, std::unique_ptr<VectorNode> node) {
  LogTrace("\n\t@@@@@ Inside AddElement() @@@@@ \n");
  if (!vector || !node) return STORE_FAILURE;
  ObjectLockGuard lock(vector);
  VectorNode* added = node.release();
  added->next = nullptr;
  if (!vector->head)
    vector->head = added;
  else
    vector->tail->next = added;
  vector->tail = added;
  ++vector->count;
  return STORE_SUCCESS;
}

bool AddElementValue(Vector* vector, void* element) {
  std::unique_ptr<VectorNode> node(new (std::nothrow) VectorNode);
  if (!node) return false;
  node->data = element;
  return AddElement(vector, std::move(node)) == STORE_SUCCESS;
}

bool InsertElementAt(Vector* vector, std::unique_ptr<VectorNode> node, std::int32_t index) {
  LogTrace("\n\t@@@@@ Inside InsertElementAt() @@@@@ \n");
  if (!vector || !node) return false;
  ObjectLockGuard lock(vector);
  if (index < 0 || index > vector->count) return false;
  VectorNode* added = node.release();
  added->next = nullptr;
  if (index == vector->count) vector->tail = added;
  if (index == 0) {
    added->next = vector->head;
    vector->head = added;
  } else {
    VectorNode* previous = NodeBefore(vector, index);
    added->next = previous->next;
    previous->next = added;
  }
  ++vector->count;
  return true;
}

bool DeleteElement(Vector* vector, VectorNode* node) {
  LogTrace("\n\t@@@@@ Inside DeleteElement() @@@@@ \n");
  if (!vector) return false;
  ObjectLockGuard lock(vector);
  if (!vector->head) return false;
  VectorNode* previous = nullptr;
  for (VectorNode* current = vector->head; current; previous = current, current = current->next) {
    if (current == node) {
      UnlinkAfter(vector, previous);
      break;
    }
  }
  return true;
}

int DeleteElementAt(Vector* vector, std::int32_t index) {
  LogTrace("\n\t@@@@@ Inside DeleteElementAt() @@@@@ \n");
  if (!vector) return STORE_FAILURE;
  ObjectLockGuard lock(vector);
  if (!vector->head || index < 0 || index >= vector->count) return STORE_FAILURE;
  UnlinkAfter(vector, index == 0 ? nullptr : NodeBefore(vector, index));
  return STORE_SUCCESS;
}

VectorNode* ElementAt(Vector* vector, std::int32_t index) {
  LogTrace("\n\t@@@@@ Inside ElementAt() @@@@@ \n");
  if (!vector) return nullptr;
  ObjectLockGuard lock(vector);
  if (!vector->head || index < 0 || index >= vector->count) return nullptr;
  VectorNode* node = vector->head;
  for (std::int32_t i = 0; i < index; ++i) node = node->next;
  return node;
}

VectorNode* GetNthElement(Vector* vector, std::int32_t n, VectorNode* start) {
  LogTrace("\n\t@@@@@ Inside GetNthElement() @@@@@ \n");
  if (!vector || !vector->head || n < 0 || n >= vector->count) return nullptr;
  VectorNode* node = start;
  for (std::int32_t i = 0; node && i < n; ++i) node = node->next;
  return node;
}

int MergeVector(Vector* target, Vector* source) {
  LogTrace("\n\t@@@@@ Inside MergeVector() @@@@@ \n");
  if (!target || !source || target == source) return STORE_SUCCESS;
  // New nodes for every element first, so that running out of memory
  // leaves both vectors as they were.
  Vector moved;
  for (VectorNode* node = source->head; node; node = node->next) {
    if (!AddElementValue(&moved, node->data)) {
      LogError("MEMORY_ALLOCATION_FAILURE\n");
      return STORE_NO_MEMORY;
    }
  }
  if (moved.head) {
    ObjectLockGuard lock(target);
    if (!target->head)
      target->head = moved.head;
    else
      target->tail->next = moved.head;
    target->tail = moved.tail;
    target->count += moved.count;
    moved.head = moved.tail = nullptr;
    moved.count = 0;
  }
  FreeVector(source);
  return STORE_SUCCESS;
}

bool DeleteLCDVector(Vector* vector, const void* element) {
  LogTrace("\n\t@@@@@ Inside DeleteLCDVector() @@@@@ \n");
  if (!vector) return false;
  std::int32_t index = 0;
  for (VectorNode* node = vector->head; node; node = node->next, ++index) {
    if (node->data == element) return DeleteElementAt(vector, index) == 1;
  }
  return false;
}

std::unique_ptr<TextVector> CloneVector(const Vector* vector) {
  LogTrace("@@@@ Inside CloneVector @@@@\n");
  if (!vector) {
    LogError("Cannot clone vector.  Vector is NULL.\n");
    return nullptr;
  }
  std::unique_ptr<TextVector> clone(new (std::nothrow) TextVector);
  if (!clone) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
  for (VectorNode* node = vector->head; node; node = node->next) {
    const char* text = static_cast<const char*>(node->data);
    OwnedText copy;
    if (AllocateAndSetStringN(copy, text, SafeStrLen(text)) != STORE_SUCCESS) return nullptr;
    if (!clone->Append(std::unique_ptr<char, TextDeleter>(copy.release()))) return nullptr;
  }
  return clone;
}

}  // namespace kv
