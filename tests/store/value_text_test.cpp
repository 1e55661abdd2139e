#include "store/value_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "store/key_scrambler.h"
#include "store/memory_pool.h"
#include "store/text_scan.h"

namespace kv {
namespace {

TEST(ValueTextTest, CopiesAreFreshAndTerminated) {
  OwnedText out;
  ASSERT_EQ(AllocateAndSetString(out, "abc"), 1);
  EXPECT_STREQ(out.get(), "abc");
  ASSERT_EQ(AllocateAndSetStringN(out, "abcdef", 2), 1);
  EXPECT_STREQ(out.get(), "ab");
  ASSERT_EQ(ReallocateAndSetString(out, nullptr), 1);
  EXPECT_EQ(out, nullptr);
}

TEST(ValueTextTest, NullSafeComparisons) {
  EXPECT_EQ(SafeStrCmp(nullptr, nullptr), 0);
  EXPECT_EQ(SafeStrCmp(nullptr, ""), -1);
  EXPECT_EQ(SafeStrCmp("", nullptr), 1);
  EXPECT_LT(SafeStrCmp("ab", "abc"), 0);
  EXPECT_GT(SafeStrCmp("b", "a"), 0);
  EXPECT_LT(SafeStrCmp("\xE9", "a"), 0);  // bytes are signed
  EXPECT_EQ(SafeStrICmp("Agentparams", "AGENTPARAMS"), 0);
  EXPECT_LT(SafeStrICmp("a", "B"), 0);
  EXPECT_EQ(SafeStrLen(nullptr), 0u);
}

TEST(ValueTextTest, BoundedCopyRefusesWhatDoesNotFit) {
  char buffer[4] = "xyz";
  EXPECT_EQ(SafeStrCpy(buffer, sizeof buffer, "abc"), buffer);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(SafeStrCpy(buffer, sizeof buffer, "abcd"), nullptr);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(SafeStrCpy(buffer, sizeof buffer, nullptr), nullptr);
}

TEST(ValueTextTest, SubstringsAndListItems) {
  const char* text = "one,two,three";
  EXPECT_EQ(SubString(text, "two"), text + 4);
  EXPECT_EQ(SubString("ab", "abc"), nullptr);
  EXPECT_EQ(SubString(text, ""), nullptr);
  EXPECT_TRUE(FindSubString(text, "e,t"));
  EXPECT_FALSE(FindSubString(nullptr, "a"));
  EXPECT_TRUE(IsStringMatched(text, std::strlen(text), "three", 5));
  EXPECT_FALSE(IsStringMatched(text, std::strlen(text), "thre", 4));  // a whole item only
  EXPECT_TRUE(IsStringMatched("a,,b", 4, "", 0));
  EXPECT_EQ(GetIndex("abc", 3, 'c'), 2);
  EXPECT_EQ(GetIndex("abc", 2, 'c'), -1);
}

TEST(TextScanTest, FollowsScanfWithoutOverrunningOrOverflowing) {
  int a = 0, b = 0, c = 0;
  EXPECT_EQ(Scan("2018-01-19 junk", "%d-%d-%d", &a, &b, &c), 3);
  EXPECT_EQ(a * 10000 + b * 100 + c, 20180119);
  EXPECT_EQ(Scan("  7 -  8", "%d -%d", &a, &b), 2);  // blanks skipped as scanf does
  EXPECT_EQ(b, 8);
  EXPECT_EQ(Scan("99999999999-1-1", "%d-%d-%d", &a, &b, &c), 0);  // too big for an int: no field
  EXPECT_EQ(Scan("-2147483648", "%d", &a), 1);
  EXPECT_EQ(a, -2147483648);
  EXPECT_EQ(Scan("12:", "%d:%d", &a, &b), 1);

  std::string word, month;
  char sign = 0;
  EXPECT_EQ(Scan("Sunday, 06-November-94", "%s %d-%3s", &word, &a, &month), 3);
  EXPECT_EQ(word, "Sunday,");
  EXPECT_EQ(month, "Nov");
  EXPECT_EQ(Scan("+5", "%c%d", &sign, &a), 2);
  EXPECT_EQ(sign, '+');
  EXPECT_EQ(Scan("1", "%d %s", &a, &word), 1);  // a field the text lacks stays unfilled
}

TEST(KeyScramblerTest, KeyByteFromTheSeedAndTwiceRestores) {
  EXPECT_EQ(ScramblerKey(0), 9);
  EXPECT_EQ(ScramblerKey(300), 54);   // (300 + 9) mod 255
  EXPECT_EQ(ScramblerKey(246), 255);  // below the modulus range: the low byte of seed + 9
  EXPECT_EQ(ScramblerKey(0x7FFFFFFF), static_cast<std::uint8_t>(0x7FFFFFFFu + 9u));  // no signed overflow
  char text[] = "secret";
  EXPECT_EQ(EncryptDecryptKey(text, 6, 300), 6);
  EXPECT_EQ(static_cast<std::uint8_t>(text[0]), 's' ^ 54);
  EXPECT_EQ(EncryptDecryptKey(text, 6, 300), 6);
  EXPECT_STREQ(text, "secret");
}

TEST(MemoryPoolTest, AllocatesAlignedPartsAndReleasesThemAtOnce) {
  MemoryPool pool(64);
  char* text = pool.CopyText("abc");
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "abc");
  auto* number = pool.New<double>(2.5);
  ASSERT_NE(number, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(number) % alignof(double), 0u);
  char* large = static_cast<char*>(pool.Allocate(1000, 1));  // a block of its own
  ASSERT_NE(large, nullptr);
  std::memset(large, 'x', 1000);
  char* after = pool.CopyText("def");  // still from the first block
  EXPECT_STREQ(after, "def");
  EXPECT_EQ(*number, 2.5);
  EXPECT_EQ(pool.Allocate(SIZE_MAX - 8), nullptr);
  EXPECT_EQ(pool.Allocate(8, 3), nullptr);  // not a power of two
  pool.Release();
  EXPECT_EQ(pool.BytesUsed(), 0u);
  EXPECT_NE(pool.CopyText("again"), nullptr);
}

}  // namespace
}  // namespace kv
