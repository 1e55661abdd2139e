#include "store/text_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace kv {
namespace {

TEST(TextBufferTest, DefaultsAndGrowthByWholeSteps) {
  TextBuffer text;
  EXPECT_EQ(text.capacity(), 10000u);
  EXPECT_EQ(text.step(), 1000u);

  TextBuffer small(10, 4);
  EXPECT_EQ(small.Append("0123456789"), 1);  // fits exactly
  EXPECT_EQ(small.capacity(), 10u);
  EXPECT_EQ(small.Append("a"), 1);  // one step
  EXPECT_EQ(small.capacity(), 14u);
  EXPECT_EQ(small.Append(std::string(9, 'b')), 1);  // 20 bytes need two more steps
  EXPECT_EQ(small.capacity(), 22u);
  EXPECT_EQ(small.view(), "0123456789a" + std::string(9, 'b'));
  EXPECT_EQ(small.data()[small.length()], '\0');
}

TEST(TextBufferTest, FormattedAppendsOfAnyLength) {
  TextBuffer text(4, 1);
  EXPECT_EQ(text.AppendFormat("%s=%d;", "count", 42), 1);
  EXPECT_EQ(text.AppendFormat("%s", std::string(5000, 'x').c_str()), 1);
  EXPECT_EQ(text.length(), 9u + 5000u);
  EXPECT_EQ(text.view().substr(0, 9), "count=42;");
  EXPECT_EQ(text.capacity(), text.length());
}

TEST(TextBufferTest, AZeroStepGrowsByWhatIsNeeded) {
  TextBuffer text(0, 0);
  EXPECT_EQ(text.Append("abc"), 1);
  EXPECT_EQ(text.capacity(), 3u);
  EXPECT_EQ(text.AppendChar('d'), 1);
  EXPECT_EQ(text.ToString(), "abcd");
  text.Clear();
  EXPECT_EQ(text.view(), "");
  EXPECT_EQ(text.capacity(), 4u);
}

TEST(TextBufferTest, ManySmallAppendsAndMoves) {
  TextBuffer text(16, 16);
  std::string expected;
  for (int i = 0; i < 100000; ++i) {
    ASSERT_EQ(text.AppendFormat("<r i=\"%d\"/>", i), 1);
    expected += "<r i=\"" + std::to_string(i) + "\"/>";
  }
  EXPECT_EQ(text.view(), expected);
  EXPECT_EQ(text.capacity() % 16, 0u);  // still whole steps
  EXPECT_LT(text.capacity() - text.length(), 16u);

  TextBuffer moved(std::move(text));
  EXPECT_EQ(moved.length(), expected.size());
  EXPECT_EQ(text.length(), 0u);  // NOLINT(bugprone-use-after-move): the moved-from buffer stays usable
  EXPECT_EQ(text.Append("again"), 1);
  EXPECT_EQ(text.view(), "again");
}

TEST(TextBufferTest, ASizeBeyondMemoryAnswers99AndKeepsTheText) {
  TextBuffer text(8, 8);
  ASSERT_EQ(text.Append("keep"), 1);
  const std::string_view huge(text.data(), SIZE_MAX - 2);  // never read: the size alone is refused
  EXPECT_EQ(text.Append(huge), 99);
  EXPECT_EQ(text.view(), "keep");
}

}  // namespace
}  // namespace kv
