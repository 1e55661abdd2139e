#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "base/object_locks.h"
#include "store/column_types.h"
#include "store/criteria.h"

namespace kv {
namespace {

// One column value as a row holds it.
struct Cell {
  std::string bytes;
  bool null = false;
};

template <class T>
Cell Stored(T value) {
  Cell cell;
  cell.bytes.assign(reinterpret_cast<const char*>(&value), sizeof value);
  return cell;
}
Cell Text(std::string text) { return Cell{std::move(text)}; }
Cell Null() { return Cell{"", true}; }

// A table definition and the rows to select from.
class CriteriaTable {
 public:
  CriteriaTable(std::initializer_list<std::pair<const char*, std::uint8_t>> columns) {
    for (const auto& [name, type] : columns) {
      auto column = std::make_unique<ColumnDefn>();
      column->name = name;
      column->type = type;
      EXPECT_TRUE(columns_.Append(std::move(column)));
    }
  }
  void AddRow(std::vector<Cell> cells) { rows_.push_back(std::move(cells)); }

  // The numbers (from 1) of the rows the criteria selects; "(none)" when
  // it does not parse, "(unbound)" when it cannot be bound to the columns.
  std::string Select(const char* criteria) const {
    ObjectLockGuard lock(CriteriaParserLockKey());
    const CriteriaTree tree = ParseCriteria(criteria);
    if (!tree) return "(none)";
    if (!BindCriteria(columns_, tree.get())) return "(unbound)";
    std::string selected;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      std::vector<StoredValue> values;
      for (const Cell& cell : rows_[i]) {
        values.push_back(cell.null ? StoredValue{} : StoredValue{cell.bytes.c_str(), std::int32_t(cell.bytes.size())});
      }
      if (EvaluateCriteria(RowView{values.data(), std::int32_t(values.size())}, tree.get())) {
        selected += (selected.empty() ? "" : " ") + std::to_string(i + 1);
      }
    }
    return selected;
  }

  const VectorOf<ColumnDefn>& columns() const { return columns_; }

 private:
  VectorOf<ColumnDefn> columns_;
  std::vector<std::vector<Cell>> rows_;
};

TEST(CriteriaEvaluateTest, TextColumnsMatchValuesExactlyAndNamesInAnyCase) {
  CriteriaTable table({{"PARAM_NAME", TARN_SQL_VARCHAR}, {"PARAM_VALUE", TARN_SQL_TEXT}});
  table.AddRow({Text("RESOURCE_ID"), Text("1234")});
  table.AddRow({Text("RESOURCE_ID2"), Text("5")});
  table.AddRow({Text("resource_id"), Text("")});
  EXPECT_EQ(table.Select("PARAM_NAME='RESOURCE_ID'"), "1");
  EXPECT_EQ(table.Select("param_name='RESOURCE_ID'"), "1");
  EXPECT_EQ(table.Select("PARAM_NAME='resource_id'"), "3");
  EXPECT_EQ(table.Select("PARAM_NAME!='RESOURCE_ID'"), "2 3");
  EXPECT_EQ(table.Select("PARAM_VALUE=''"), "3");
  // A number against a text column compares as written.
  EXPECT_EQ(table.Select("PARAM_VALUE=1234"), "1");
  EXPECT_EQ(table.Select("PARAM_VALUE=5"), "2");
}

TEST(CriteriaEvaluateTest, TextsOrderBySignedBytesAndPrefixes) {
  CriteriaTable table({{"NAME", TARN_SQL_CHAR}});
  table.AddRow({Text("ab")});
  table.AddRow({Text("abc")});
  table.AddRow({Text("abd")});
  table.AddRow({Text("\xc3\xa9")});  // bytes above 127 are negative: before every ASCII text
  table.AddRow({Text("B")});
  EXPECT_EQ(table.Select("NAME<'abc'"), "1 4 5");
  EXPECT_EQ(table.Select("NAME<='abc'"), "1 2 4 5");
  EXPECT_EQ(table.Select("NAME>'abc'"), "3");
  EXPECT_EQ(table.Select("NAME>='ab'"), "1 2 3");
  EXPECT_EQ(table.Select("NAME<' '"), "4");
  EXPECT_EQ(table.Select("'abc' < NAME"), "3");
}

TEST(CriteriaEvaluateTest, IntegersCompareWithTheirSignAtTheirStoredWidth) {
  CriteriaTable table({{"S", TARN_SQL_TINYINT}, {"U", TARN_SQL_UNSIGNED_TINYINT}, {"I", TARN_SQL_INT}});
  // Rows from documents hold every integer in 4 bytes; others at the width
  // of their type.
  table.AddRow({Stored<std::int32_t>(-5), Stored<std::uint32_t>(4000000000u), Stored<std::int32_t>(-1)});
  table.AddRow({Stored<std::int8_t>(-1), Stored<std::uint8_t>(255), Stored<std::int32_t>(7)});
  table.AddRow({Stored<std::int32_t>(200), Stored<std::uint16_t>(300), Stored<std::int32_t>(2147483647)});
  EXPECT_EQ(table.Select("S<0"), "1 2");
  EXPECT_EQ(table.Select("S>=0"), "3");
  EXPECT_EQ(table.Select("U>254"), "1 2 3");
  EXPECT_EQ(table.Select("U=255"), "2");
  EXPECT_EQ(table.Select("I<7"), "1");
  EXPECT_EQ(table.Select("5 < I"), "2 3");
  EXPECT_EQ(table.Select("5 >= I"), "1");
  EXPECT_EQ(table.Select("I=2147483647 and S>199"), "3");
}

TEST(CriteriaEvaluateTest, IntegerLiteralsCompareByTheirValue) {
  CriteriaTable table({{"S", TARN_SQL_TINYINT}, {"U", TARN_SQL_UNSIGNED_INT}});
  table.AddRow({Stored<std::int32_t>(300), Stored<std::uint32_t>(3000000000u)});
  table.AddRow({Stored<std::int32_t>(44), Stored<std::uint32_t>(0)});
  // Not wrapped to the column's width (300 is not 44) nor dropped beyond 32
  // bits; a number beyond 64 bits is larger than any stored one.
  EXPECT_EQ(table.Select("S=300"), "1");
  EXPECT_EQ(table.Select("S=44"), "2");
  EXPECT_EQ(table.Select("U=3000000000"), "1");
  EXPECT_EQ(table.Select("U<99999999999999999999"), "1 2");
  EXPECT_EQ(table.Select("U>00000000000000000000000"), "1");
}

TEST(CriteriaEvaluateTest, NumericLiteralsCompareByValueQuotedOrWithAFraction) {
  CriteriaTable table({{"RAM_GB", TARN_SQL_INT}, {"U", TARN_SQL_UNSIGNED_SMALLINT}, {"F", TARN_SQL_FLOAT}});
  table.AddRow({Stored<std::int32_t>(16), Stored<std::uint16_t>(3), Stored(1.5f)});
  table.AddRow({Stored<std::int32_t>(8), Stored<std::uint16_t>(0), Stored(2.0f)});
  table.AddRow({Stored<std::int32_t>(64), Stored<std::uint16_t>(9), Stored(0.25f)});
  table.AddRow({Stored<std::int32_t>(-3), Stored<std::uint16_t>(1), Null()});
  // A quoted number is the number it quotes.
  EXPECT_EQ(table.Select("RAM_GB>'32'"), "3");
  EXPECT_EQ(table.Select("RAM_GB='-3'"), "4");
  EXPECT_EQ(table.Select("F<'1.75'"), "1 3");
  // A fraction on an integer column compares exactly.
  EXPECT_EQ(table.Select("RAM_GB>=16.0"), "1 3");
  EXPECT_EQ(table.Select("RAM_GB>8.5"), "1 3");
  EXPECT_EQ(table.Select("RAM_GB>=8.5"), "1 3");
  EXPECT_EQ(table.Select("RAM_GB<8.5"), "2 4");
  EXPECT_EQ(table.Select("RAM_GB<=8.5"), "2 4");
  EXPECT_EQ(table.Select("RAM_GB=8.5"), "");
  EXPECT_EQ(table.Select("RAM_GB!=8.5"), "1 2 3 4");
  EXPECT_EQ(table.Select("RAM_GB>'-3.5'"), "1 2 3 4");
  EXPECT_EQ(table.Select("RAM_GB<'-2.5'"), "4");
  // A negative literal lies below every unsigned value.
  EXPECT_EQ(table.Select("U>'-1'"), "1 2 3 4");
  EXPECT_EQ(table.Select("U<='-1'"), "");
  // Anything else is no number: the criteria cannot be used at all, rather
  // than compare the column with 0.
  for (const char* criteria :
       {"RAM_GB>'32x'", "RAM_GB>'many'", "RAM_GB=''", "RAM_GB>'1e3'", "F='.'", "RAM_GB=1 or F<'x'", "U='- 1'"})
    EXPECT_EQ(table.Select(criteria), "(unbound)") << criteria;
  // Text columns and columns of no compared type are as they were.
  CriteriaTable others({{"NAME", TARN_SQL_CHAR}, {"D", TARN_SQL_DATE}});
  others.AddRow({Text("many"), Stored<std::int32_t>(0)});
  EXPECT_EQ(others.Select("NAME='many'"), "1");
  EXPECT_EQ(others.Select("D='many'"), "");
}

TEST(CriteriaEvaluateTest, FloatsCompareAsSinglePrecision) {
  CriteriaTable table({{"F", TARN_SQL_FLOAT}});
  table.AddRow({Stored(1.25f)});
  table.AddRow({Stored(1.75f)});
  table.AddRow({Stored(0.1f)});
  EXPECT_EQ(table.Select("F>1.5"), "2");
  EXPECT_EQ(table.Select("F<=1.25"), "1 3");
  EXPECT_EQ(table.Select("F=0.1"), "3");  // 0.1 as a float on both sides
  EXPECT_EQ(table.Select("F!=2"), "1 2 3");
}

TEST(CriteriaEvaluateTest, OtherTypesUnknownColumnsAndMissingValuesMatchNothing) {
  CriteriaTable table({{"D", TARN_SQL_DATE},
                       {"DBL", TARN_SQL_DOUBLE},
                       {"L", TARN_SQL_LONG_INT},
                       {"B", TARN_SQL_BOOLEAN},
                       {"N", TARN_SQL_INT}});
  table.AddRow({Stored<std::int32_t>(0), Stored(1.0), Stored<std::int64_t>(1), Stored<char>(1), Null()});
  table.AddRow({Stored<std::int32_t>(0), Stored(1.0), Stored<std::int64_t>(1), Stored<char>(1)});  // short row
  for (const char* criteria :
       {"D=0", "D!=0", "DBL=1", "DBL!=1", "L=1", "B=1", "MISSING=1", "MISSING!=1", "N=0", "N!=0", "N<1"}) {
    EXPECT_EQ(table.Select(criteria), "") << criteria;
  }
  EXPECT_EQ(table.Select("N!=0 or DBL<5"), "");
}

TEST(CriteriaEvaluateTest, AbsentCriteriaHoldsAndEmptyTextDoesNotParse) {
  EXPECT_TRUE(EvaluateCriteria(RowView{}, nullptr));
  CriteriaTable table({{"A", TARN_SQL_INT}});
  table.AddRow({Stored<std::int32_t>(1)});
  EXPECT_EQ(table.Select(""), "(none)");
}

TEST(CriteriaEvaluateTest, BindingFindsTheFirstMatchingColumnAtAnyPosition) {
  CriteriaTable table({{"X", TARN_SQL_INT}, {"x", TARN_SQL_CHAR}});
  const CriteriaTree tree = ParseCriteria("x=1 and y=2");
  ASSERT_TRUE(tree);
  ASSERT_TRUE(BindCriteria(table.columns(), tree.get()));
  EXPECT_EQ(tree->left->columnIndex, 0);
  EXPECT_EQ(tree->left->columnType, TARN_SQL_INT);
  EXPECT_EQ(tree->right->columnIndex, 0);
  EXPECT_EQ(tree->right->columnType, 0);
  EXPECT_EQ(tree->columnType, 0);

  // Bound again to a table without the column, a leaf is unbound again.
  CriteriaTable other({{"Y", TARN_SQL_INT}});
  ASSERT_TRUE(BindCriteria(other.columns(), tree.get()));
  EXPECT_EQ(tree->left->columnType, 0);
  EXPECT_EQ(tree->right->columnType, TARN_SQL_INT);
}

TEST(CriteriaEvaluateTest, ColumnsPastTheTwoHundredFiftySixthAreTheirOwn) {
  VectorOf<ColumnDefn> columns;
  std::vector<std::int32_t> values;
  for (int i = 0; i < 300; ++i) {
    auto column = std::make_unique<ColumnDefn>();
    column->name = "C" + std::to_string(i);
    column->type = TARN_SQL_INT;
    ASSERT_TRUE(columns.Append(std::move(column)));
    values.push_back(i);
  }
  std::vector<StoredValue> row;
  for (const std::int32_t& value : values) row.push_back(StoredValue{reinterpret_cast<const char*>(&value), 4});
  const CriteriaTree tree = ParseCriteria("C299=299 and C256=256");
  ASSERT_TRUE(tree);
  ASSERT_TRUE(BindCriteria(columns, tree.get()));
  EXPECT_EQ(tree->left->columnIndex, 299);
  EXPECT_TRUE(EvaluateCriteria(RowView{row.data(), std::int32_t(row.size())}, tree.get()));
}

TEST(CriteriaEvaluateTest, DeepTreesBindAndEvaluateWithoutRecursing) {
  CriteriaTable table({{"A", TARN_SQL_INT}});
  table.AddRow({Stored<std::int32_t>(1)});
  table.AddRow({Stored<std::int32_t>(2)});
  std::string chain = "A=9";
  for (int i = 0; i < 4900; ++i) chain += " or A=9";
  EXPECT_EQ(table.Select((chain + " or A=2").c_str()), "2");
  // Left-deep: every "or" inside the parentheses before it.
  std::string nested = std::string(9000, '(') + "A=9";
  for (int i = 0; i < 9000; ++i) nested += " or A=9)";
  EXPECT_EQ(table.Select((nested + " or A=1").c_str()), "1");
  EXPECT_EQ(table.Select((nested + " and A=1").c_str()), "");
}

// A random expression over two integer columns, written out as a criteria
// text, with its own evaluation to hold the parsed one against.
struct RandomExpression {
  std::string text;
  std::function<bool(int, int)> holds;
  bool inner = false;
};

RandomExpression MakeExpression(std::mt19937& random, int depth) {
  if (depth == 0 || random() % 3 == 0) {
    static const char* const ops[] = {"<", ">", "<=", ">=", "=", "!="};
    const int op = static_cast<int>(random() % 6);
    const int column = static_cast<int>(random() % 2);
    const int literal = static_cast<int>(random() % 4);
    const bool valueFirst = random() % 2 == 0;
    const std::string name = column == 0 ? "A" : "b";
    RandomExpression leaf;
    leaf.text =
        valueFirst ? std::to_string(literal) + " " + ops[op] + " " + name : name + ops[op] + std::to_string(literal);
    leaf.holds = [=](int a, int b) {
      const int row = column == 0 ? a : b;
      const int left = valueFirst ? literal : row;
      const int right = valueFirst ? row : literal;
      switch (op) {
        case 0: return left < right;
        case 1: return left > right;
        case 2: return left <= right;
        case 3: return left >= right;
        case 4: return left == right;
        default: return left != right;
      }
    };
    return leaf;
  }
  RandomExpression left = MakeExpression(random, depth - 1);
  RandomExpression right = MakeExpression(random, depth - 1);
  const bool isAnd = random() % 2 == 0;
  RandomExpression node;
  node.inner = true;
  // Operators group to the right, so only a compound left side needs its
  // parentheses; a right side gets them now and then anyway.
  const bool wrapRight = right.inner && random() % 4 == 0;
  node.text = (left.inner ? "(" + left.text + ")" : left.text) + (isAnd ? " and " : " or ") +
              (wrapRight ? "(" + right.text + ")" : right.text);
  node.holds = [=](int a, int b) {
    return isAnd ? left.holds(a, b) && right.holds(a, b) : left.holds(a, b) || right.holds(a, b);
  };
  return node;
}

TEST(CriteriaEvaluateTest, RandomExpressionsSelectWhatTheyMean) {
  CriteriaTable table({{"A", TARN_SQL_INT}, {"B", TARN_SQL_UNSIGNED_SMALLINT}});
  for (int a = 0; a < 4; ++a) {
    for (int b = 0; b < 4; ++b) table.AddRow({Stored<std::int32_t>(a), Stored<std::uint16_t>(b)});
  }
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    const RandomExpression expression = MakeExpression(random, 5);
    std::string expected;
    for (int row = 0; row < 16; ++row) {
      if (expression.holds(row / 4, row % 4)) expected += (expected.empty() ? "" : " ") + std::to_string(row + 1);
    }
    ASSERT_EQ(table.Select(expression.text.c_str()), expected) << expression.text;
  }
}

}  // namespace
}  // namespace kv
