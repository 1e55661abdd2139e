#include "store/hash_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kv {
namespace {

std::vector<std::string> SortedKeys(const HashTable& table) {
  std::vector<const char*> keys = HashKeys(&table);
  EXPECT_EQ(keys.back(), nullptr);
  keys.pop_back();
  std::vector<std::string> names(keys.begin(), keys.end());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(HashTableTest, BucketsAndTheIndexFormula) {
  HashTable table;
  ASSERT_TRUE(InitHashTable(&table, 0));
  EXPECT_EQ(table.bucketCount, 10u);
  EXPECT_EQ(HashBucketIndex("ab", 50), (('a' * 26u) % 50 * 26 + 'b') % 50);
  EXPECT_LT(HashBucketIndex("\xFF\xFE\xE9", 7), 7u);  // bytes above 127 stay in range
  EXPECT_EQ(HashKeys(&table), (std::vector<const char*>{nullptr}));
  EXPECT_EQ(HashCount(&table), 0);
}

TEST(HashTableTest, PutReplacesAndKeepsOneEntry) {
  HashTable table;
  ASSERT_TRUE(InitHashTable(&table, 1));  // one bucket: every key in one chain
  int one = 1, two = 2, three = 3;
  ASSERT_TRUE(HashPut(&table, "a", &one));
  ASSERT_TRUE(HashPut(&table, "b", &two));
  ASSERT_TRUE(HashPut(&table, "a", &three));
  EXPECT_EQ(HashCount(&table), 2);
  EXPECT_EQ(HashGet(&table, "a"), &three);
  EXPECT_EQ(HashGet(&table, "A"), nullptr);  // keys keep their case
  EXPECT_TRUE(HashContains(&table, "b"));
  EXPECT_EQ(HashGetEntry(&table, "b")->value, &two);
  EXPECT_EQ(HashGet(&table, nullptr), nullptr);
}

TEST(HashTableTest, RemovingHeadsAndChainEntries) {
  HashTable table;
  ASSERT_TRUE(InitHashTable(&table, 1));
  int v = 0;
  for (const char* key : {"a", "b", "c", "d"}) ASSERT_TRUE(HashPut(&table, key, &v));
  EXPECT_TRUE(HashRemove(&table, "a"));  // the head: the next entry takes its place
  EXPECT_TRUE(HashRemove(&table, "c"));  // inside the chain
  EXPECT_FALSE(HashRemove(&table, "c"));
  EXPECT_EQ(SortedKeys(table), (std::vector<std::string>{"b", "d"}));
  EXPECT_TRUE(HashRemove(&table, "b"));
  EXPECT_TRUE(HashRemove(&table, "d"));  // the last: the bucket is empty again
  EXPECT_EQ(HashCount(&table), 0);
  ASSERT_TRUE(HashPut(&table, "e", &v));
  EXPECT_EQ(SortedKeys(table), (std::vector<std::string>{"e"}));
}

TEST(HashTableTest, MergeAddsOnlyMissingKeys) {
  HashTable source, target;
  ASSERT_TRUE(InitHashTable(&source, 5));
  ASSERT_TRUE(InitHashTable(&target, 3));
  int s1 = 1, s2 = 2, t1 = 3;
  ASSERT_TRUE(HashPut(&source, "x", &s1));
  ASSERT_TRUE(HashPut(&source, "y", &s2));
  ASSERT_TRUE(HashPut(&target, "x", &t1));
  EXPECT_TRUE(HashMergeInto(&source, &target));
  EXPECT_EQ(HashGet(&target, "x"), &t1);
  EXPECT_EQ(HashGet(&target, "y"), &s2);
  FreeHashTable(&target);
  EXPECT_EQ(HashCount(&target), 0);
  EXPECT_FALSE(HashPut(&target, "z", &s1));  // no buckets after freeing
}

}  // namespace
}  // namespace kv
