#include "store/hash_table.h"

#include <cstring>
#include <new>

namespace kv {
namespace {

constexpr std::uint32_t kDefaultBuckets = 10;

HashEntry* Bucket(const HashTable* table, const char* key) {
  if (!table || !key || !table->buckets || table->bucketCount == 0) return nullptr;
  return &table->buckets[HashBucketIndex(key, table->bucketCount)];
}

void FreeChain(HashEntry& head) {
  HashEntry* entry = head.next;
  while (entry) {
    HashEntry* next = entry->next;
    delete entry;
    entry = next;
  }
  head.next = nullptr;
  head.key.reset();
  head.value = nullptr;
}

// Calls visit for every entry, bucket by bucket, until it answers false;
// false when it did.
template <class Visit>
bool ForEachEntry(const HashTable* table, Visit visit) {
  if (!table || !table->buckets) return true;
  for (std::uint32_t i = 0; i < table->bucketCount; ++i) {
    if (!table->buckets[i].key) continue;
    for (const HashEntry* entry = &table->buckets[i]; entry; entry = entry->next) {
      if (!visit(*entry)) return false;
    }
  }
  return true;
}

}  // namespace

HashTable::~HashTable() { FreeHashTable(this); }

std::uint32_t HashBucketIndex(const char* key, std::uint32_t bucketCount) {
  std::uint32_t h = 0;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(key); *c; ++c)
    h = static_cast<std::uint32_t>((static_cast<std::uint64_t>(h) * 26 + *c) % bucketCount);
  return h;
}

bool InitHashTable(HashTable* table, std::uint32_t bucketCount) {
  if (!table) return false;
  FreeHashTable(table);
  if (bucketCount == 0) bucketCount = kDefaultBuckets;
  table->buckets.reset(new (std::nothrow) HashEntry[bucketCount]);
  if (!table->buckets) return false;
  table->bucketCount = bucketCount;
  return true;
}

bool HashPut(HashTable* table, const char* key, void* value) {
  HashEntry* entry = Bucket(table, key);
  if (!entry) return false;
  if (!entry->key) {
    entry->key = CopyText(key);
    if (!entry->key) return false;
    entry->value = value;
    return true;
  }
  for (;; entry = entry->next) {
    if (std::strcmp(entry->key.get(), key) == 0) {
      entry->value = value;
      return true;
    }
    if (!entry->next) break;
  }
  std::unique_ptr<HashEntry> added(new (std::nothrow) HashEntry);
  if (!added) return false;
  added->key = CopyText(key);
  if (!added->key) return false;
  added->value = value;
  entry->next = added.release();
  return true;
}

HashEntry* HashGetEntry(const HashTable* table, const char* key) {
  HashEntry* entry = Bucket(table, key);
  if (!entry || !entry->key) return nullptr;
  for (; entry; entry = entry->next) {
    if (std::strcmp(entry->key.get(), key) == 0) return entry;
  }
  return nullptr;
}

void* HashGet(const HashTable* table, const char* key) {
  const HashEntry* entry = HashGetEntry(table, key);
  return entry ? entry->value : nullptr;
}

bool HashContains(const HashTable* table, const char* key) { return HashGetEntry(table, key) != nullptr; }

bool HashRemove(HashTable* table, const char* key) {
  HashEntry* head = Bucket(table, key);
  if (!head || !head->key) return false;
  if (std::strcmp(head->key.get(), key) == 0) {
    if (HashEntry* next = head->next) {
      head->key = std::move(next->key);
      head->value = next->value;
      head->next = next->next;
      delete next;
    } else {
      head->key.reset();
      head->value = nullptr;
    }
    return true;
  }
  for (HashEntry* previous = head; previous->next; previous = previous->next) {
    HashEntry* entry = previous->next;
    if (std::strcmp(entry->key.get(), key) == 0) {
      previous->next = entry->next;
      delete entry;
      return true;
    }
  }
  return false;
}

int HashCount(const HashTable* table) {
  int count = 0;
  ForEachEntry(table, [&](const HashEntry&) { return ++count > 0; });
  return count;
}

std::vector<const char*> HashKeys(const HashTable* table) {
  std::vector<const char*> keys;
  try {
    keys.reserve(static_cast<std::size_t>(HashCount(table)) + 1);
  } catch (const std::bad_alloc&) {
    return keys;  // no array at all: memory ran out
  }
  ForEachEntry(table, [&](const HashEntry& entry) {
    keys.push_back(entry.key.get());
    return true;
  });
  keys.push_back(nullptr);
  return keys;
}

bool HashMergeInto(const HashTable* source, HashTable* target) {
  return ForEachEntry(source, [&](const HashEntry& entry) {
    return HashContains(target, entry.key.get()) || HashPut(target, entry.key.get(), entry.value);
  });
}

void FreeHashTable(HashTable* table) {
  if (!table || !table->buckets) return;
  for (std::uint32_t i = 0; i < table->bucketCount; ++i) FreeChain(table->buckets[i]);
  table->buckets.reset();
  table->bucketCount = 0;
}

}  // namespace kv
