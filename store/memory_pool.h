#pragma once
// An arena: many small allocations taken from large blocks and released in
// one step when the pool is released or goes. A select query, a data object
// or a table's rows take all their parts from one pool, so freeing them is
// one operation however many parts they have. Nothing allocated from a pool
// is destroyed one by one: only trivially destructible things belong here.

#include <cstddef>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

namespace kv {

class MemoryPool {
 public:
  static constexpr std::size_t kDefaultBlockSize = 64 * 1024;

  explicit MemoryPool(std::size_t blockSize = kDefaultBlockSize) : blockSize_(blockSize ? blockSize : 1) {}
  MemoryPool(const MemoryPool&) = delete;
  MemoryPool& operator=(const MemoryPool&) = delete;
  MemoryPool(MemoryPool&& other) noexcept;
  MemoryPool& operator=(MemoryPool&& other) noexcept;
  ~MemoryPool() { Release(); }

  // size bytes at the given alignment (a power of two); null when memory
  // runs out. The bytes are not cleared.
  void* Allocate(std::size_t size, std::size_t alignment = alignof(std::max_align_t)) noexcept;
  // A NUL-terminated copy of the bytes; null when memory runs out.
  char* CopyText(std::string_view text) noexcept;
  // n bytes and a terminating NUL; null when memory runs out.
  char* CopyBytes(const void* bytes, std::size_t n) noexcept;

  template <class T, class... Args>
  T* New(Args&&... args) noexcept {
    static_assert(std::is_trivially_destructible_v<T>, "a pool never runs destructors");
    void* place = Allocate(sizeof(T), alignof(T));
    return place ? new (place) T(std::forward<Args>(args)...) : nullptr;
  }

  // The size of the blocks taken from now on (a large pool grows in larger
  // steps).
  void SetBlockSize(std::size_t blockSize) { blockSize_ = blockSize ? blockSize : 1; }
  std::size_t BlockSize() const { return blockSize_; }

  // Frees every block at once.
  void Release() noexcept;
  // Bytes handed out since the last release (for tests and measurements).
  std::size_t BytesUsed() const { return used_; }

 private:
  struct Block {
    Block* previous;
    std::size_t size;
  };

  std::size_t blockSize_;
  Block* current_ = nullptr;
  char* next_ = nullptr;  // free space of the current block
  char* end_ = nullptr;
  std::size_t used_ = 0;
};

}  // namespace kv
