#pragma once
// Where a table keeps its rows and their values: one arena per table, so
// that building a table of many rows costs a few large allocations and
// freeing it costs one step. Rows and values that are freed one by one (a
// deleted row, a replaced value) go to free lists by size and are reused by
// the next row or value of that size; their memory returns to the system
// when the table goes.

#include <array>
#include <cstddef>
#include <cstdint>

#include "store/memory_pool.h"
#include "store/stored_value.h"

namespace kv {

struct TableData;

// One row of a table. Its values (null data: NULL) are in the order of the
// table's columns, as many as the table has; rows are linked in insertion
// order.
struct RowObject {
  StoredValue* values = nullptr;
  RowObject* next = nullptr;
  // The table that holds the row; null once the row is freed.
  TableData* table = nullptr;
  std::uint8_t state = 0;
};

class RowStorage {
 public:
  explicit RowStorage(std::int32_t columnCount);
  RowStorage(const RowStorage&) = delete;
  RowStorage& operator=(const RowStorage&) = delete;

  // A row with every value NULL and state 0; null when memory runs out.
  RowObject* NewRow();
  // Gives a row and its values back for reuse.
  void FreeRow(RowObject* row);

  // A copy of the value's bytes with a NUL after them (texts stay
  // terminated); the NULL value for NULL. False when memory runs out.
  [[nodiscard]] bool CopyValue(const StoredValue& value, StoredValue& copy);
  // Gives the bytes of a value made by CopyValue back for reuse.
  void FreeValue(const StoredValue& value);

  [[nodiscard]] std::int32_t columnCount() const { return columnCount_; }

 private:
  // Sizes up to kSmallLimit come in steps of 8 bytes, larger ones in powers
  // of two: a freed block is found again by the length of its value.
  static constexpr std::size_t kSmallLimit = 256;
  static constexpr std::size_t kSmallClasses = kSmallLimit / 8;
  static constexpr std::size_t kClasses = kSmallClasses + 64;
  static constexpr std::size_t kFirstBlock = 16 * 1024;
  static constexpr std::size_t kLargestBlock = 4 * 1024 * 1024;

  struct FreeBlock {
    FreeBlock* next;
  };
  static std::size_t ClassOf(std::size_t bytes);
  static std::size_t ClassSize(std::size_t sizeClass);

  std::int32_t columnCount_;
  MemoryPool pool_{kFirstBlock};
  RowObject* freeRows_ = nullptr;
  std::array<FreeBlock*, kClasses> freeValues_{};
};

}  // namespace kv
