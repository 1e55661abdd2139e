#include "base/decimal_text.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(StringToIntTest, ChecksEveryCharacter) {
  EXPECT_EQ(StringToInt(""), 0);
  EXPECT_EQ(StringToInt("+"), 0);
  EXPECT_EQ(StringToInt("-"), 0);
  EXPECT_EQ(StringToInt("007"), 7);
  EXPECT_EQ(StringToInt("-12"), -12);
  EXPECT_EQ(StringToInt("+12"), 12);
  EXPECT_EQ(StringToInt("1-2"), -1);
  EXPECT_EQ(StringToInt("12a"), -1);
  EXPECT_EQ(StringToInt(" 1"), -1);
  EXPECT_EQ(StringToInt(nullptr), -1);
}

TEST(StringToIntTest, WrapsInThirtyTwoBitsWithoutUndefinedBehaviour) {
  EXPECT_EQ(StringToInt("2147483647"), 2147483647);
  EXPECT_EQ(StringToInt("4294967295"), -1);
  EXPECT_EQ(StringToInt("4294967296"), 0);
}

}  // namespace
}  // namespace kv
