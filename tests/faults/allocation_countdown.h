#pragma once
// Allocation failures on demand: while a countdown is armed, the Nth
// allocation of the C++ allocator (every form of operator new) or of
// libxml2 fails; every other allocation goes through. The test program
// replaces the global allocator for that, so this is for the fault tests'
// own program only.

#include <cstddef>

namespace kv::test {

class AllocationCountdown {
 public:
  // Arms the countdown: allocation number n (from 1) of this thread fails.
  explicit AllocationCountdown(std::size_t n);
  // Disarms it.
  ~AllocationCountdown();
  AllocationCountdown(const AllocationCountdown&) = delete;
  AllocationCountdown& operator=(const AllocationCountdown&) = delete;

  // Whether the failure happened: false when the work made fewer than n
  // allocations, which ends a loop over n.
  bool fired() const;
};

// Routes libxml2's allocations through the countdown; once, before any
// document is read.
void CountXmlAllocations();

}  // namespace kv::test
