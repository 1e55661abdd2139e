#pragma once
// The store's list container: an ordered collection of untyped element
// pointers, built as a singly linked list with a head, a tail and a count.
// Appending is constant-time through the tail; positions are counted from 0
// and found by walking from the head, so callers that visit every element
// follow `next` (or the ranges below) instead of asking for each index.
//
// A vector owns its nodes and never the elements they point to. Operations
// that change or search a vector serialise on an object lock keyed by the
// vector's address; the lock is not re-entrant, so no locking operation calls
// another one on the same vector. Walking the nodes takes no lock: a caller
// that iterates must not let another thread change the vector meanwhile.

#include <cstdint>
#include <iterator>
#include <memory>

#include "store/store_results.h"

namespace kv {

struct VectorNode {
  void* data = nullptr;
  VectorNode* next = nullptr;
};

struct Vector {
  VectorNode* head = nullptr;
  std::int32_t count = 0;
  VectorNode* tail = nullptr;  // meaningful while the vector is not empty
  void* comparator = nullptr;  // always null in this system

  Vector() = default;
  Vector(const Vector&) = delete;
  Vector& operator=(const Vector&) = delete;
  // Frees the nodes left in it, never the elements.
  ~Vector();
};

// Clears head, count, tail and comparator; nodes still held are freed.
void InitVector(Vector* vector);
// A new empty vector, or null with "MEMORY_ALLOCATION_FAILURE\n".
std::unique_ptr<Vector> NewVector();
// Frees every node (not the elements); the count becomes 0.
void FreeVector(Vector* vector);
// Appends a node, which the vector then owns; 1.
[[nodiscard]] int AddElement(Vector* vector, std::unique_ptr<VectorNode> node);
// Wraps the element in a new node and appends it; false when the node
// cannot be allocated.
[[nodiscard]] bool AddElementValue(Vector* vector, void* element);
// Inserts a node before position index (index == count appends); false when
// index < 0 or index > count.
[[nodiscard]] bool InsertElementAt(Vector* vector, std::unique_ptr<VectorNode> node, std::int32_t index);
// Unlinks and frees the node. True whenever the vector is not empty, whether
// or not the node was in it; false on an empty vector.
[[nodiscard]] bool DeleteElement(Vector* vector, VectorNode* node);
// 1 after removing the node at index; 0 when there is none.
[[nodiscard]] int DeleteElementAt(Vector* vector, std::int32_t index);
// The node at index, or null when there is none.
VectorNode* ElementAt(Vector* vector, std::int32_t index);
// The node n steps after start, or null when n < 0, n >= count or the vector
// is empty.
VectorNode* GetNthElement(Vector* vector, std::int32_t n, VectorNode* start);
// Moves every element of source to the end of target, in order; source ends
// empty. 1, or 99 when a node cannot be allocated (then nothing has moved).
[[nodiscard]] int MergeVector(Vector* target, Vector* source);
// Removes the first node that holds exactly this element pointer; true when
// one was found.
[[nodiscard]] bool DeleteLCDVector(Vector* vector, const void* element);

// Iteration over the elements of a vector as T, without locking.
template <class T>
class VectorIterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = T;
  using difference_type = std::ptrdiff_t;
  using pointer = T*;
  using reference = T&;

  VectorIterator() = default;
  explicit VectorIterator(VectorNode* node) : node_(node) {}
  T& operator*() const { return *static_cast<T*>(node_->data); }
  T* operator->() const { return static_cast<T*>(node_->data); }
  VectorIterator& operator++() {
    node_ = node_->next;
    return *this;
  }
  VectorIterator operator++(int) {
    VectorIterator before = *this;
    node_ = node_->next;
    return before;
  }
  bool operator==(const VectorIterator& other) const { return node_ == other.node_; }
  VectorNode* node() const { return node_; }

 private:
  VectorNode* node_ = nullptr;
};

template <class T>
struct VectorRange {
  VectorNode* first = nullptr;
  VectorIterator<T> begin() const { return VectorIterator<T>(first); }
  VectorIterator<T> end() const { return VectorIterator<T>(); }
};

// The elements of a vector (which may be null) viewed as T.
template <class T>
VectorRange<T> ElementsOf(const Vector* vector) {
  return VectorRange<T>{vector ? vector->head : nullptr};
}

// A Vector that owns its elements: each is freed with Deleter when it is
// removed or when the holder goes. Definitions, listeners and other records
// that the store keeps in Vectors live in one of these.
template <class T, class Deleter = std::default_delete<T>>
class VectorOf {
 public:
  VectorOf() = default;
  VectorOf(const VectorOf&) = delete;
  VectorOf& operator=(const VectorOf&) = delete;
  ~VectorOf() { Clear(); }

  // Takes the element; false when memory runs out (the element is then freed).
  [[nodiscard]] bool Append(std::unique_ptr<T, Deleter> element) {
    if (!element || !AddElementValue(&list_, element.get())) return false;
    element.release();
    return true;
  }
  // Removes and frees the first occurrence; false when it is not held.
  [[nodiscard]] bool Remove(T* element) {
    if (!DeleteLCDVector(&list_, element)) return false;
    Deleter()(element);
    return true;
  }
  void Clear() {
    for (VectorNode* node = list_.head; node; node = node->next) Deleter()(static_cast<T*>(node->data));
    FreeVector(&list_);
  }

  [[nodiscard]] std::int32_t Count() const { return list_.count; }
  [[nodiscard]] bool Empty() const { return list_.count == 0; }
  T* First() const { return list_.head ? static_cast<T*>(list_.head->data) : nullptr; }
  // The element at a position (a walk from the head), or null.
  T* At(std::int32_t index) const {
    if (index < 0) return nullptr;
    VectorNode* node = list_.head;
    for (; node && index > 0; --index) node = node->next;
    return node ? static_cast<T*>(node->data) : nullptr;
  }
  VectorIterator<T> begin() const { return VectorIterator<T>(list_.head); }
  VectorIterator<T> end() const { return VectorIterator<T>(); }
  // The underlying list, for the Vector operations that only read it.
  const Vector& list() const { return list_; }

 private:
  Vector list_;
};

// Frees a text element allocated as an array.
struct TextDeleter {
  void operator()(char* text) const { delete[] text; }
};
using TextVector = VectorOf<char, TextDeleter>;

// A new vector holding a copy of every element read as a NUL-terminated
// text; null with a logged reason when the vector is null or memory runs out.
std::unique_ptr<TextVector> CloneVector(const Vector* vector);

}  // namespace kv
