#include "store/memory_pool.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace kv {
namespace {

constexpr std::size_t kHeader = (sizeof(void*) * 2 + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);

char* AlignUp(char* p, std::size_t alignment) {
  const auto value = reinterpret_cast<std::uintptr_t>(p);
  return reinterpret_cast<char*>((value + alignment - 1) & ~(static_cast<std::uintptr_t>(alignment) - 1));
}

}  // namespace

MemoryPool::MemoryPool(MemoryPool&& other) noexcept
    : blockSize_(other.blockSize_), current_(other.current_), next_(other.next_), end_(other.end_), used_(other.used_) {
  other.current_ = nullptr;
  other.next_ = other.end_ = nullptr;
  other.used_ = 0;
}

MemoryPool& MemoryPool::operator=(MemoryPool&& other) noexcept {
  if (this != &other) {
    Release();
    blockSize_ = other.blockSize_;
    current_ = std::exchange(other.current_, nullptr);
    next_ = std::exchange(other.next_, nullptr);
    end_ = std::exchange(other.end_, nullptr);
    used_ = std::exchange(other.used_, 0);
  }
  return *this;
}

void* MemoryPool::Allocate(std::size_t size, std::size_t alignment) noexcept {
  if (alignment == 0 || (alignment & (alignment - 1)) != 0) return nullptr;
  if (current_) {
    char* place = AlignUp(next_, alignment);
    if (place <= end_ && static_cast<std::size_t>(end_ - place) >= size) {
      next_ = place + size;
      used_ += size;
      return place;
    }
  }
  // A new block: the usual size, or a block of its own for a large request.
  const std::size_t slack = alignment > alignof(std::max_align_t) ? alignment : 0;
  if (size > SIZE_MAX - kHeader - slack) return nullptr;
  const std::size_t need = size + slack;
  const std::size_t payload = need > blockSize_ ? need : blockSize_;
  // The C++ allocator, so that a failing allocation is the same event for
  // the pool as for the rest of the store.
  char* raw = static_cast<char*>(::operator new(kHeader + payload, std::nothrow));
  if (!raw) return nullptr;
  Block* block = reinterpret_cast<Block*>(raw);
  block->size = payload;
  char* begin = raw + kHeader;
  char* place = AlignUp(begin, alignment);
  used_ += size;
  if (current_ && payload > blockSize_) {
    // A large request gets a block of its own behind the current one, whose
    // free space stays in use.
    block->previous = current_->previous;
    current_->previous = block;
    return place;
  }
  block->previous = current_;
  current_ = block;
  end_ = begin + payload;
  next_ = place + size;
  return place;
}

char* MemoryPool::CopyBytes(const void* bytes, std::size_t n) noexcept {
  if (n == SIZE_MAX) return nullptr;
  char* copy = static_cast<char*>(Allocate(n + 1, 1));
  if (!copy) return nullptr;
  if (n) std::memcpy(copy, bytes, n);
  copy[n] = '\0';
  return copy;
}

char* MemoryPool::CopyText(std::string_view text) noexcept { return CopyBytes(text.data(), text.size()); }

void MemoryPool::Release() noexcept {
  while (current_) {
    Block* previous = current_->previous;
    ::operator delete(current_);
    current_ = previous;
  }
  next_ = end_ = nullptr;
  used_ = 0;
}

}  // namespace kv
