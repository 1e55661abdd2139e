#include "store/row_storage.h"

#include <bit>
#include <cstring>
#include <limits>
#include <new>

namespace kv {

RowStorage::RowStorage(std::int32_t columnCount) : columnCount_(columnCount < 0 ? 0 : columnCount) {}

std::size_t RowStorage::ClassOf(std::size_t bytes) {
  if (bytes <= kSmallLimit) return bytes == 0 ? 0 : (bytes - 1) / 8;
  return kSmallClasses + static_cast<std::size_t>(std::bit_width(bytes - 1)) -
         static_cast<std::size_t>(std::bit_width(kSmallLimit));
}

std::size_t RowStorage::ClassSize(std::size_t sizeClass) {
  if (sizeClass < kSmallClasses) return (sizeClass + 1) * 8;
  return kSmallLimit << (sizeClass - kSmallClasses + 1);
}

RowObject* RowStorage::NewRow() {
  RowObject* row = freeRows_;
  if (row) {
    freeRows_ = row->next;
  } else {
    // A table that grows takes its memory in ever larger blocks: few
    // allocations for many rows, little unused room for a few.
    if (pool_.BytesUsed() >= 4 * pool_.BlockSize() && pool_.BlockSize() < kLargestBlock)
      pool_.SetBlockSize(pool_.BlockSize() * 2);
    const std::size_t size = sizeof(RowObject) + sizeof(StoredValue) * static_cast<std::size_t>(columnCount_);
    void* place = pool_.Allocate(size, alignof(RowObject));
    if (!place) return nullptr;
    row = new (place) RowObject;
    row->values = reinterpret_cast<StoredValue*>(static_cast<char*>(place) + sizeof(RowObject));
  }
  StoredValue* values = row->values;
  *row = RowObject{};
  row->values = values;
  for (std::int32_t i = 0; i < columnCount_; ++i) new (&values[i]) StoredValue;
  return row;
}

void RowStorage::FreeRow(RowObject* row) {
  if (!row) return;
  for (std::int32_t i = 0; i < columnCount_; ++i) {
    FreeValue(row->values[i]);
    row->values[i] = StoredValue{};
  }
  row->table = nullptr;
  row->state = 0;
  row->next = freeRows_;
  freeRows_ = row;
}

bool RowStorage::CopyValue(const StoredValue& value, StoredValue& copy) {
  copy = StoredValue{};
  if (value.IsNull()) return true;
  if (value.length < 0 || static_cast<std::size_t>(value.length) >= std::numeric_limits<std::size_t>::max() / 2)
    return false;
  const std::size_t bytes = static_cast<std::size_t>(value.length) + 1;
  const std::size_t sizeClass = ClassOf(bytes);
  char* place = reinterpret_cast<char*>(freeValues_[sizeClass]);
  if (place) {
    freeValues_[sizeClass] = freeValues_[sizeClass]->next;
  } else {
    place = static_cast<char*>(pool_.Allocate(ClassSize(sizeClass), alignof(FreeBlock)));
    if (!place) return false;
  }
  std::memcpy(place, value.data, bytes - 1);
  place[bytes - 1] = '\0';
  copy = StoredValue{place, value.length};
  return true;
}

void RowStorage::FreeValue(const StoredValue& value) {
  if (value.IsNull()) return;
  const std::size_t sizeClass = ClassOf(static_cast<std::size_t>(value.length) + 1);
  freeValues_[sizeClass] = new (const_cast<char*>(value.data)) FreeBlock{freeValues_[sizeClass]};
}

}  // namespace kv
