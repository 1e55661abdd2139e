#pragma once
// What the store's operations that answer a number report: success, failure,
// or an allocation that failed (logged as such where an operation says so).

#include "base/status.h"

namespace kv {

constexpr int STORE_SUCCESS = 1;
constexpr int STORE_FAILURE = 0;
constexpr int STORE_NO_MEMORY = 99;

// The answer of an operation whose steps returned status.
inline int StoreResult(const Status& status) {
  if (status.ok()) return STORE_SUCCESS;
  return status.code() == Status::Code::kOutOfMemory ? STORE_NO_MEMORY : STORE_FAILURE;
}

}  // namespace kv
