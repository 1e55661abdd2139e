// What UTF-8 decoding makes of bad input under each policy: the agent's own
// text gets one U+FFFD per bad sequence and none for an encoded surrogate,
// the registry file one per bad byte and the surrogate's own unit.

#include "platform/unicode.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/posix/reg_text.h"

namespace kv {
namespace {

constexpr char16_t kFffd = 0xFFFD;

struct BadInput {
  const char* what;
  std::string bytes;
  std::u16string perSequence;  // BadUtf8::kReplaceSequence
  std::u16string perByte;      // BadUtf8::kReplaceByteKeepSurrogates
};

std::u16string Fffd(std::size_t count) { return std::u16string(count, kFffd); }

const BadInput kBadInputs[] = {
    {"a byte that cannot lead", "a\x80\xBF\xF8\xFFz", u"a" + Fffd(4) + u"z", u"a" + Fffd(4) + u"z"},
    {"an overlong two-byte form", "\xC0\xAFz", Fffd(1) + u"z", Fffd(2) + u"z"},
    {"an overlong three-byte form", "\xE0\x80\xAFz", Fffd(1) + u"z", Fffd(3) + u"z"},
    {"an overlong four-byte form", "\xF0\x8F\xBF\xBFz", Fffd(1) + u"z", Fffd(4) + u"z"},
    {"a code point past U+10FFFF", "\xF4\x90\x80\x80z", Fffd(1) + u"z", Fffd(4) + u"z"},
    {"a lead past F4", "\xF5\x80\x80\x80z", Fffd(1) + u"z", Fffd(4) + u"z"},
    {"a sequence interrupted by ASCII", "\xE2\x82z", Fffd(1) + u"z", Fffd(2) + u"z"},
    {"a sequence interrupted by a lead", "\xE2\x82\xC3\xA9", Fffd(1) + u"\u00E9", Fffd(2) + u"\u00E9"},
    {"a sequence cut by the end", "b\xF0\x9F\x98", u"b" + Fffd(1), u"b" + Fffd(3)},
};

TEST(Utf8Decoding, WellFormedTextIsTheSameUnderBothPolicies) {
  const std::string text =
      "a\x7F\xC2\x80\xC3\xA9\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF"
      "\xF0\x90\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF";
  const std::u16string units = u"a\x7F\u0080\u00E9\u07FF\u0800\u20AC\uFFFF\U00010000\U0001F600\U0010FFFF";
  EXPECT_EQ(Utf8ToUtf16(text), units);
  EXPECT_EQ(Utf8ToUtf16(text, BadUtf8::kReplaceSequence), units);
  EXPECT_EQ(Utf8ToUtf16(text, BadUtf8::kReplaceByteKeepSurrogates), units);
  EXPECT_EQ(Utf16ToUtf8(units), text);
}

TEST(Utf8Decoding, BadSequencesGiveOneReplacementOrOnePerByte) {
  for (const BadInput& input : kBadInputs) {
    SCOPED_TRACE(input.what);
    EXPECT_EQ(Utf8ToUtf16(input.bytes), input.perSequence);
    EXPECT_EQ(Utf8ToUtf16(input.bytes, BadUtf8::kReplaceSequence), input.perSequence);
    EXPECT_EQ(Utf8ToUtf16(input.bytes, BadUtf8::kReplaceByteKeepSurrogates), input.perByte);
  }
}

TEST(Utf8Decoding, EncodedSurrogatesAreReplacedOrKeptAsTheirUnit) {
  // D800, DBFF, DC00 and DFFF, each alone between ASCII.
  const std::string lone = "g\xED\xA0\x80h\xED\xAF\xBFi\xED\xB0\x80j\xED\xBF\xBFk";
  EXPECT_EQ(Utf8ToUtf16(lone), u"g\uFFFDh\uFFFDi\uFFFDj\uFFFDk");
  EXPECT_EQ(Utf8ToUtf16(lone, BadUtf8::kReplaceByteKeepSurrogates), u"g\xD800h\xDBFFi\xDC00j\xDFFFk");

  // A pair encoded as two surrogates (not as one four-byte sequence) keeps
  // both units, which then read as the pair; replaced, they are two U+FFFD.
  const std::string pair = "\xED\xA0\xBD\xED\xB8\x80";
  EXPECT_EQ(Utf8ToUtf16(pair), Fffd(2));
  EXPECT_EQ(Utf8ToUtf16(pair, BadUtf8::kReplaceByteKeepSurrogates), u"\U0001F600");

  // The code points around the surrogates are ordinary.
  EXPECT_EQ(Utf8ToUtf16("\xED\x9F\xBF\xEE\x80\x80"), u"\uD7FF\uE000");
}

TEST(Utf8Decoding, RegistryFileLinesKeepSurrogatesAndReplaceEachBadByte) {
  posix::RegText text;
  ASSERT_FALSE(posix::DecodeRegText("\"a\xED\xA0\x80\"=\"\xC0\xAF\xE2\x82\"\r\nnext\n", text));
  ASSERT_EQ(text.lines.size(), 2u);
  EXPECT_EQ(text.lines[0].text, std::u16string(u"\"a\xD800\"=\"") + Fffd(4) + u"\"");
  EXPECT_EQ(text.lines[1].text, u"next");

  // With a byte-order mark too.
  ASSERT_FALSE(posix::DecodeRegText("\xEF\xBB\xBF\xE0\x80\xAF\xED\xBF\xBF", text));
  ASSERT_EQ(text.lines.size(), 1u);
  EXPECT_EQ(text.lines[0].text, Fffd(3) + u"\xDFFF");
}

}  // namespace
}  // namespace kv
