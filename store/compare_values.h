#pragma once
// Whether two stored values of a column type differ, as the in-memory XML
// writer decides whether a value equals its column's default.

#include <cstdint>

#include "store/stored_value.h"

namespace kv {

// True when the values differ; false when they are equal or the type cannot
// be compared (logged): integers 1, 2, 3, 5, 6 by value, floats 9 and 10
// within 1e-10, texts 14, 15, 22 and Booleans byte for byte, dates, times
// and date-times 16, 17, 18 by their fields. A NULL value equals only NULL.
[[nodiscard]] bool CompareValues(std::uint8_t type, const StoredValue& a, const StoredValue& b);

}  // namespace kv
