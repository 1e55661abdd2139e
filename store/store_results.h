#pragma once
// What the store's operations that answer a number report: success, failure,
// or an allocation that failed (logged as such where an operation says so).

namespace kv {

constexpr int STORE_SUCCESS = 1;
constexpr int STORE_FAILURE = 0;
constexpr int STORE_NO_MEMORY = 99;

}  // namespace kv
