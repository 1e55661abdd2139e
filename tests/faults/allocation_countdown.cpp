#include "allocation_countdown.h"

#include <libxml/xmlerror.h>
#include <libxml/xmlmemory.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace kv::test {
namespace {

// The countdown belongs to the thread that armed it: the allocations of
// other threads (a database driver's, the log's) are left alone.
thread_local std::size_t remaining = 0;  // 0: disarmed
thread_local bool failed = false;

// Whether the allocation about to be made is the one that fails.
bool FailNow() {
  if (remaining == 0) return false;
  if (--remaining > 0) return false;
  failed = true;
  return true;
}

void* Allocate(std::size_t size) noexcept {
  if (FailNow()) return nullptr;
  return std::malloc(size ? size : 1);
}

void* XmlMalloc(std::size_t size) { return Allocate(size); }
void* XmlRealloc(void* block, std::size_t size) {
  if (FailNow()) return nullptr;
  return std::realloc(block, size ? size : 1);
}
char* XmlStrdup(const char* text) {
  const std::size_t size = std::strlen(text) + 1;
  char* copy = static_cast<char*>(Allocate(size));
  if (copy) std::memcpy(copy, text, size);
  return copy;
}
void XmlFree(void* block) { std::free(block); }

// libxml2 reports its allocation failures on standard error whatever the
// parse options say; here they are expected.
void IgnoreXmlMessage(void*, const char*, ...) {}

}  // namespace

AllocationCountdown::AllocationCountdown(std::size_t n) {
  failed = false;
  remaining = n;
}

AllocationCountdown::~AllocationCountdown() { remaining = 0; }

bool AllocationCountdown::fired() const { return failed; }

void CountXmlAllocations() {
  static const bool done = xmlMemSetup(XmlFree, XmlMalloc, XmlRealloc, XmlStrdup) == 0;
  if (!done) std::abort();
  xmlSetGenericErrorFunc(nullptr, IgnoreXmlMessage);
}

}  // namespace kv::test

// The global allocator of the fault tests' program.
void* operator new(std::size_t size) {
  if (void* block = kv::test::Allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return kv::test::Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return kv::test::Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
