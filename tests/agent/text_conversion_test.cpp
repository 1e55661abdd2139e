// Text conversions and text operations of the agent.

#include "agent/text_conversion.h"

#include <gtest/gtest.h>

#include "agent/text_operations.h"
#include "tests/support/test_log.h"

namespace kv {
namespace {

TEST(TextConversion, NullInputFailsAndLogsWithoutAllocating) {
  test::TestLog log;
  std::u16string wide = u"stale";
  EXPECT_FALSE(ChangeUtf8ToWideStr(nullptr, wide));
  EXPECT_TRUE(wide.empty());
  EXPECT_FALSE(ChangeToWideStr(nullptr, wide));
  std::string narrow = "stale";
  EXPECT_FALSE(ChangeAnsiToUTF8Str(nullptr, narrow));
  EXPECT_TRUE(narrow.empty());
  EXPECT_FALSE(ChangeWideToUtf8Str(nullptr, narrow));

  const std::string text = log.Contents();
  EXPECT_NE(text.find("[ERROR] ChangeUtf8ToWideStr: utf8 is empty! \n"), std::string::npos);
  EXPECT_NE(text.find("[ERROR] ChangeToWideStr: AnsiString is empty! \n"), std::string::npos);
  EXPECT_NE(text.find("[ERROR] ChangeAnsiToUTF8Str: ansiString is empty! \n"), std::string::npos);
  EXPECT_NE(text.find("[ERROR]  Error Message: The parameter is incorrect.\r\n\n"), std::string::npos);
}

TEST(TextConversion, RoundTripsAndTracesOnlyTheUtf8Variant) {
  test::TestLog log;
  const char* text = "Gr\xc3\xbc\xc3\x9f Gott \xe2\x82\xac \xf0\x9f\x98\x80";
  std::u16string wide;
  ASSERT_TRUE(ChangeUtf8ToWideStr(text, wide));
  EXPECT_EQ(wide, u"Gr\u00fc\u00df Gott \u20ac \U0001F600");
  std::string back;
  ASSERT_TRUE(ChangeWideToUtf8Str(wide.c_str(), back));
  EXPECT_EQ(back, text);

  ASSERT_TRUE(ChangeToWideStr("plain", wide));
  EXPECT_EQ(wide, u"plain");
  EXPECT_TRUE(log.Contains(std::string("[DEBUG] UTF String Received:") + text + "\n"));
  EXPECT_FALSE(log.Contains("UTF String Received:plain"));
}

TEST(TextConversion, InvalidUtf8BecomesReplacementCharacters) {
  std::u16string wide;
  ASSERT_TRUE(
      ChangeUtf8ToWideStr("a\xff"
                          "b",
                          wide));
  EXPECT_EQ(wide, u"a\uFFFDb");
  std::string normalised;
  ASSERT_TRUE(
      ChangeAnsiToUTF8Str("a\xff"
                          "b",
                          normalised));
  EXPECT_EQ(normalised,
            "a\xef\xbf\xbd"
            "b");
}

TEST(TextOperations, LowerCasesBeyondAscii) {
  EXPECT_EQ(ToLowerUtf8("ABC \xc3\x84\xc3\x96 \xd0\x96"), "abc \xc3\xa4\xc3\xb6 \xd0\xb6");
}

TEST(TextOperations, FileNamesAfterTheLastSeparator) {
  test::TestLog log;
  EXPECT_EQ(GetLastFileName("C:\\dir\\sub\\file.txt"), "file.txt");
  EXPECT_EQ(GetLastFileName("file.txt"), "file.txt");
  EXPECT_EQ(GetLastFileName("C:\\dir\\"), "");
  EXPECT_EQ(GetLastFileName(nullptr), std::nullopt);
  EXPECT_EQ(GetLastUrlFileName("/store/pkg/setup.exe"), "setup.exe");
  EXPECT_EQ(GetLastUrlFileName(nullptr), std::nullopt);
  EXPECT_TRUE(log.Contains("[DEBUG] GetLastFileName Function Called with C:\\dir\\sub\\file.txt...!\n"));
  EXPECT_TRUE(log.Contains("[DEBUG] GetLastUrlFileName Function Called with /store/pkg/setup.exe...!\n"));
}

struct Replaced {
  std::optional<std::string> result;
  std::string out;
};

Replaced Replace(const char* input, const char* oldText, const char* newText) {
  testing::internal::CaptureStdout();
  Replaced r;
  r.result = FindAndReplaceWithNoCase(input, oldText, newText);
  r.out = testing::internal::GetCapturedStdout();
  return r;
}

TEST(FindAndReplaceWithNoCase, ReplacesWithoutRegardToCaseAndKeepsTheRest) {
  const Replaced r = Replace("A/Corp/b", "corp", "dom");
  EXPECT_EQ(r.result, "A/dom/b");
  EXPECT_EQ(r.out,
            "FindAndReplaceWithNoCase : Input String : A/Corp/b \n"
            "FindAndReplaceWithNoCase : oldString String : corp \n"
            "FindAndReplaceWithNoCase : newString String : dom \n");

  EXPECT_EQ(Replace("CORP\\x\\corp\\Corp", "cOrP", "Dom").result, "Dom\\x\\Dom\\Dom");
  EXPECT_EQ(Replace("nothing here", "corp", "dom").result, "nothing here");
}

TEST(FindAndReplaceWithNoCase, NewTextContainingTheOldTextEnds) {
  EXPECT_EQ(Replace("ab-AB", "ab", "xabx").result, "xabx-xabx");
  EXPECT_EQ(Replace("aaa", "aa", "aaaa").result, "aaaaa");
}

TEST(FindAndReplaceWithNoCase, PositionsStayAlignedBeyondAscii) {
  // Multi-byte characters before the hit: the search copy and the result
  // must address the same characters.
  EXPECT_EQ(Replace("\xc3\x84\xc3\x96/CORP/\xc3\x9c", "corp", "dom").result, "\xc3\x84\xc3\x96/dom/\xc3\x9c");
  EXPECT_EQ(Replace("x\xc3\x84Y\xc3\x84y", "\xc3\xa4y", "-").result, "x--");
}

TEST(FindAndReplaceWithNoCase, DegenerateArgumentsReturnTheInput) {
  Replaced r = Replace(nullptr, "corp", "dom");
  EXPECT_EQ(r.result, std::nullopt);
  EXPECT_NE(r.out.find("FindAndReplaceWithNoCase : Input String : (null) \n"), std::string::npos);
  EXPECT_NE(r.out.find("FindAndReplaceWithNoCase : The input string is either NULL or empty string \n"),
            std::string::npos);

  r = Replace("a", "corp", "dom");
  EXPECT_EQ(r.result, "a");

  r = Replace("A/Corp/b", "c", "dom");
  EXPECT_EQ(r.result, "A/Corp/b");
  EXPECT_NE(r.out.find("FindAndReplaceWithNoCase : The string to find is either NULL or empty string \n"),
            std::string::npos);

  r = Replace("A/Corp/b", "corp", "CORP");
  EXPECT_EQ(r.result, "A/Corp/b");
  EXPECT_NE(r.out.find("FindAndReplaceWithNoCase : Both the old string and new strings are same , we are "
                       "sending the input string as output ..\n"),
            std::string::npos);

  EXPECT_EQ(Replace("A/Corp/b", "corp", nullptr).result, "A//b");
}

}  // namespace
}  // namespace kv
