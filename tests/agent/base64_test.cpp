#include "agent/base64.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(Base64Decode, DecodesWholeAndPaddedGroups) {
  EXPECT_EQ(Base64Decode("YWJj"), "abc");
  EXPECT_EQ(Base64Decode("YWJjZA=="), "abcd");
  EXPECT_EQ(Base64Decode("YWJjZGU="), "abcde");
  EXPECT_EQ(Base64Decode("+/+/"), std::string("\xfb\xff\xbf"));
  EXPECT_EQ(Base64Decode(""), "");
  EXPECT_EQ(Base64Decode(" \t\r\n"), "");
  EXPECT_EQ(Base64Decode("\n  YWJj \r\n"), "abc");
  // NUL bytes are data.
  EXPECT_EQ(Base64Decode("AGEA"), std::string("\0a\0", 3));
}

TEST(Base64Decode, EndsAtTheFirstPaddedGroup) {
  EXPECT_EQ(Base64Decode("YQ==YWJj"), "a");
  EXPECT_EQ(Base64Decode("YQ==!!!!"), "a");
}

TEST(Base64Decode, RejectsWhatIsNotBase64) {
  EXPECT_EQ(Base64Decode("YWJ"), std::nullopt);    // not whole groups
  EXPECT_EQ(Base64Decode("YW Jj"), std::nullopt);  // blank inside
  EXPECT_EQ(Base64Decode("YW-j"), std::nullopt);   // URL alphabet
  EXPECT_EQ(Base64Decode("Y==="), std::nullopt);   // too much padding
  EXPECT_EQ(Base64Decode("===="), std::nullopt);
  EXPECT_EQ(Base64Decode("YW=j"), std::nullopt);  // padding before data
  EXPECT_EQ(Base64Decode(std::string("YW\0j", 4)), std::nullopt);
  EXPECT_EQ(Base64Decode("\xc3\xa9\xc3\xa9"), std::nullopt);
}

}  // namespace
}  // namespace kv
