#pragma once
// The string-keyed hash table the store maps names with (sequence counters,
// reference texts of a document, ...). Each bucket embeds the head entry of
// its chain; keys are owned copies compared case-sensitively, values are the
// caller's pointers and are never freed by the table.

#include <cstdint>
#include <memory>
#include <vector>

#include "store/value_text.h"

namespace kv {

struct HashEntry {
  OwnedText key;  // null while the bucket is empty
  void* value = nullptr;
  HashEntry* next = nullptr;  // owned
};

struct HashTable {
  std::unique_ptr<HashEntry[]> buckets;
  std::uint32_t bucketCount = 0;

  HashTable() = default;
  HashTable(const HashTable&) = delete;
  HashTable& operator=(const HashTable&) = delete;
  ~HashTable();
};

// Makes the buckets (0 means 10), dropping what the table held; false when
// memory runs out (the table is then empty and without buckets).
[[nodiscard]] bool InitHashTable(HashTable* table, std::uint32_t bucketCount);
// Inserts, or replaces the value of an existing key; false when memory runs
// out or the table has no buckets.
[[nodiscard]] bool HashPut(HashTable* table, const char* key, void* value);
void* HashGet(const HashTable* table, const char* key);
HashEntry* HashGetEntry(const HashTable* table, const char* key);
[[nodiscard]] bool HashContains(const HashTable* table, const char* key);
[[nodiscard]] bool HashRemove(HashTable* table, const char* key);
[[nodiscard]] int HashCount(const HashTable* table);
// The keys (not copied), bucket by bucket, followed by a null entry; an
// empty array when memory runs out.
std::vector<const char*> HashKeys(const HashTable* table);
// Adds every key of source that target lacks, with source's value; false
// when memory runs out.
[[nodiscard]] bool HashMergeInto(const HashTable* source, HashTable* target);
// Frees the keys and entries (never the values); the table keeps no buckets.
void FreeHashTable(HashTable* table);

// The bucket of a key: h = (h * 26 + byte) mod count, bytes taken unsigned.
std::uint32_t HashBucketIndex(const char* key, std::uint32_t bucketCount);

}  // namespace kv
