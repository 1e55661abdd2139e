#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "store/criteria.h"

namespace kv {
namespace {

const char* OperatorText(std::uint8_t op) {
  static const char* const texts[] = {"?", "<", ">", "<=", ">=", "=", "!=", " and ", " or "};
  return op < std::size(texts) ? texts[op] : "?";
}

// A parsed tree written out with every inner node in parentheses, or
// "(none)" when the text did not parse.
std::string Render(const CriteriaNode* node) {
  if (!node) return "-";
  if (node->IsLeaf()) return std::string(node->columnName.get()) + OperatorText(node->op) + node->literal.get();
  return "(" + Render(node->left) + OperatorText(node->op) + Render(node->right) + ")";
}

std::string Parsed(const char* text) {
  const CriteriaTree tree = ParseCriteria(text);
  return tree ? Render(tree.get()) : "(none)";
}

std::string Repeated(const std::string& part, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += part;
  return text;
}

TEST(CriteriaParseTest, LeafKeepsTheColumnAndTheLiteralAsWritten) {
  EXPECT_EQ(Parsed("PARAM_NAME='RESOURCE_ID'"), "PARAM_NAME='RESOURCE_ID'");
  EXPECT_EQ(Parsed(" A \t<=  1.5 "), "A<=1.5");
  EXPECT_EQ(Parsed("A>=''"), "A>=''");
  EXPECT_EQ(Parsed("A != 'x \"y\" (z)'"), "A!='x \"y\" (z)'");
  EXPECT_EQ(Parsed("a_1<10"), "a_1<10");
  EXPECT_EQ(Parsed("A>007"), "A>007");
}

TEST(CriteriaParseTest, ValueFirstLeavesMirrorTheirOperator) {
  EXPECT_EQ(Parsed("5 < N"), "N>5");
  EXPECT_EQ(Parsed("5 > N"), "N<5");
  EXPECT_EQ(Parsed("5 <= N"), "N>=5");
  EXPECT_EQ(Parsed("5 >= N"), "N<=5");
  EXPECT_EQ(Parsed("'x' = N"), "N='x'");
  EXPECT_EQ(Parsed("'x' != N"), "N!='x'");
}

TEST(CriteriaParseTest, AndAndOrBindEquallyAndGroupToTheRight) {
  EXPECT_EQ(Parsed("A=1 and B=2 or C=3"), "(A=1 and (B=2 or C=3))");
  EXPECT_EQ(Parsed("A=1 or B=2 and C=3"), "(A=1 or (B=2 and C=3))");
  EXPECT_EQ(Parsed("(A=1 or B=2) and C=3"), "((A=1 or B=2) and C=3)");
  EXPECT_EQ(Parsed("((A=1))"), "A=1");
}

TEST(CriteriaParseTest, KeywordsAreLowerCaseWholeWords) {
  EXPECT_EQ(Parsed("A=1 AND B=2"), "(none)");
  EXPECT_EQ(Parsed("A=1 Or B=2"), "(none)");
  EXPECT_EQ(Parsed("andy=1 or order>2"), "(andy=1 or order>2)");
  EXPECT_EQ(Parsed("AND=1"), "AND=1");
  EXPECT_EQ(Parsed("and=1"), "(none)");
}

TEST(CriteriaParseTest, InvalidTexts) {
  const char* const invalid[] = {
      "",        " ",       "A",          "A=",     "=1",     "A=B",      "1=2",
      "A<>1",    "A==1",    "A=-1",       "A=1.",   "A=.5",   "A=1e5",    "_A=1",
      "A=\"x\"", "A='a;b'", "A='it''s'",  "A='x",   "A='\t'", "A='\x7f'", "A='caf\xc3\xa9'",
      "A=1\r",   "A=1;",    "(A=1",       "A=1)",   "()",     "A=1 and",  "and A=1",
      "A=1 B=2", "A=1\n",   "A=1\n\nB=2", "A=\xff",
  };
  for (const char* text : invalid) EXPECT_EQ(Parsed(text), "(none)") << "text: " << text;
  EXPECT_EQ(ParseCriteria(nullptr), nullptr);
}

TEST(CriteriaParseTest, SeveralLinesGiveTheTreeOfTheLast) {
  EXPECT_EQ(Parsed("A=1\nB=2 or C=3"), "(B=2 or C=3)");
  EXPECT_EQ(Parsed("A=1\nB=2\nC>3"), "C>3");
  // A bad line anywhere spoils the whole text.
  EXPECT_EQ(Parsed("A=-1\nB=2"), "(none)");
}

TEST(CriteriaParseTest, NestingIsBoundedByTheStackLimit) {
  // Each open parenthesis holds one stack entry until its expression ends.
  const auto nested = [](int depth) { return Repeated("(", depth) + "A=1" + Repeated(")", depth); };
  EXPECT_EQ(Parsed(nested(6400).c_str()), "A=1");  // past the doublings
  EXPECT_EQ(Parsed(nested(9990).c_str()), "A=1");
  EXPECT_EQ(Parsed(nested(10000).c_str()), "(none)");
  EXPECT_EQ(Parsed(nested(100000).c_str()), "(none)");

  // A chain of "and"s holds two entries a term until its end.
  EXPECT_TRUE(ParseCriteria(("A=1" + Repeated(" and A=1", 4990)).c_str()));
  EXPECT_FALSE(ParseCriteria(("A=1" + Repeated(" and A=1", 5000)).c_str()));

  // The limit belongs to one parse: a later one starts from scratch.
  EXPECT_EQ(Parsed("B=2"), "B=2");
}

// Every tree the parser gives has leaves with a comparison and inner nodes
// with "and" or "or" over two children that point back at them.
void ExpectWellFormed(const CriteriaNode* node, const CriteriaNode* parent) {
  ASSERT_EQ(node->parent, parent);
  if (node->IsLeaf()) {
    EXPECT_GE(node->op, CRITERIA_LT);
    EXPECT_LE(node->op, CRITERIA_NE);
    EXPECT_EQ(node->left, nullptr);
    return;
  }
  ASSERT_TRUE(node->op == CRITERIA_AND || node->op == CRITERIA_OR);
  ASSERT_TRUE(node->left && node->right);
  ExpectWellFormed(node->left, node);
  ExpectWellFormed(node->right, node);
}

TEST(CriteriaParseTest, AnyBytesParseOrFailCleanly) {
  // Texts from pieces of the language mixed with arbitrary bytes: most fail,
  // some parse; none may crash or leak (the sanitizer build checks that).
  const char* const pieces[] = {"A",  "b_2", "and", "or", "AND", " ",     "\t", "\n", "(", ")", "<", ">", "=",  "!",
                                "<=", ">=",  "!=",  "1",  "1.5", "'x y'", "''", "'",  ";", "-", "_", ".", "\"", "\r"};
  std::mt19937 random(20240611);
  int parsed = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) {
      if (random() % 4 == 0) {
        text += static_cast<char>(1 + random() % 255);
      } else {
        text += pieces[random() % std::size(pieces)];
      }
    }
    const CriteriaTree tree = ParseCriteria(text.c_str());
    if (!tree) continue;
    ++parsed;
    ExpectWellFormed(tree.get(), nullptr);
    if (HasFatalFailure()) FAIL() << "text: " << text;
  }
  EXPECT_GT(parsed, 0);
}

}  // namespace
}  // namespace kv
