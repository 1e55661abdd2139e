// Binding a criteria tree to a table's columns: each leaf learns its
// column's position and type, and its literal is turned once into what
// evaluation compares rows with.

#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "base/log_writer.h"
#include "store/column_types.h"
#include "store/criteria.h"
#include "store/typed_value.h"
#include "store/value_text.h"

namespace kv {
namespace {

// A literal as a number: an optional sign, digits and an optional fraction,
// between quotes or not (a quoted number is the number it quotes). The whole
// part saturates at the 64-bit limits, beyond which no stored integer lies;
// `fraction` says whether anything but zeros follows the point.
struct NumberLiteral {
  bool negative = false;
  std::int64_t whole = 0;
  bool fraction = false;
  double value = 0;
};

std::optional<NumberLiteral> ReadNumber(std::string_view literal) {
  if (literal.size() >= 2 && literal.front() == '\'' && literal.back() == '\'')
    literal = literal.substr(1, literal.size() - 2);
  NumberLiteral number;
  std::size_t at = 0;
  if (at < literal.size() && (literal[at] == '+' || literal[at] == '-')) number.negative = literal[at++] == '-';
  const std::size_t wholeStart = at;
  std::uint64_t magnitude = 0;
  bool saturated = false;
  for (; at < literal.size() && literal[at] >= '0' && literal[at] <= '9'; ++at) {
    const auto digit = static_cast<std::uint64_t>(literal[at] - '0');
    if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) saturated = true;
    if (!saturated) magnitude = magnitude * 10 + digit;
  }
  std::size_t digits = at - wholeStart;
  if (at < literal.size() && literal[at] == '.') {
    const std::size_t fractionStart = ++at;
    for (; at < literal.size() && literal[at] >= '0' && literal[at] <= '9'; ++at)
      if (literal[at] != '0') number.fraction = true;
    digits += at - fractionStart;
  }
  if (digits == 0 || at != literal.size()) return std::nullopt;
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (saturated || magnitude > kMax) magnitude = kMax;
  number.whole = number.negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
  number.value = std::strtod(std::string(literal.substr(wholeStart - (number.negative ? 1 : 0))).c_str(), nullptr);
  return number;
}

// The operand of a leaf on a column of the given type; nothing when the
// column compares numbers and the literal is not one.
std::optional<CriteriaOperand> PrepareOperand(std::string_view literal, std::uint8_t type) {
  CriteriaOperand operand;
  switch (type) {
    case TARN_SQL_TINYINT:
    case TARN_SQL_SMALLINT:
    case TARN_SQL_INT:
    case TARN_SQL_UNSIGNED_TINYINT:
    case TARN_SQL_UNSIGNED_SMALLINT:
    case TARN_SQL_UNSIGNED_INT: {
      // Compared by its value, never wrapped to the column's width, so that
      // 300 never equals a stored 44. A literal with a fraction lies between
      // two integers: it is kept as the lower one and the fraction noted.
      const std::optional<NumberLiteral> number = ReadNumber(literal);
      if (!number) return std::nullopt;
      operand.kind = IsUnsignedIntegerType(type) ? CriteriaOperand::UNSIGNED : CriteriaOperand::SIGNED;
      operand.integer = number->whole;
      operand.fraction = number->fraction;
      if (number->fraction && number->negative && operand.integer > std::numeric_limits<std::int64_t>::min())
        --operand.integer;
      break;
    }
    case TARN_SQL_FLOAT: {
      const std::optional<NumberLiteral> number = ReadNumber(literal);
      if (!number) return std::nullopt;
      operand.kind = CriteriaOperand::FLOAT;
      operand.real = static_cast<float>(number->value);
      break;
    }
    case TARN_SQL_CHAR:
    case TARN_SQL_VARCHAR:
    case TARN_SQL_TEXT:
      // A string compares what lies between its quotes; a number compares
      // as it is written.
      if (literal.size() >= 2 && literal.front() == '\'') literal = literal.substr(1, literal.size() - 2);
      operand.kind = CriteriaOperand::TEXT;
      operand.text = literal.data();
      operand.textLength = static_cast<std::int32_t>(literal.size());
      break;
    default:
      // 64-bit integers, doubles, decimals, dates and times, Booleans, large
      // objects and unbound leaves match no row.
      break;
  }
  return operand;
}

}  // namespace

bool CriteriaCompareType(std::uint8_t type) {
  const std::optional<CriteriaOperand> operand = PrepareOperand("0", type);
  return operand && operand->kind != CriteriaOperand::NEVER;
}

bool CriteriaCompareLiteral(const char* literal, std::uint8_t type) {
  return literal && PrepareOperand(literal, type).has_value();
}

namespace {

bool BindLeaf(const VectorOf<ColumnDefn>& columns, CriteriaNode& leaf) {
  leaf.columnIndex = 0;
  leaf.columnType = 0;
  leaf.operand = CriteriaOperand();
  std::int32_t index = 0;
  for (const ColumnDefn& column : columns) {
    if (AsciiEqualsNoCase(column.name, leaf.columnName.get())) {
      leaf.columnIndex = index;
      leaf.columnType = column.type;
      const std::optional<CriteriaOperand> operand = PrepareOperand(leaf.literal.get(), column.type);
      if (!operand) {
        LogError("Criteria value %s is not a number: it cannot be compared with column %s\n", leaf.literal.get(),
                 column.name.c_str());
        return false;
      }
      leaf.operand = *operand;
      return true;
    }
    ++index;
  }
  return true;
}

}  // namespace

bool BindCriteria(const VectorOf<ColumnDefn>& columns, CriteriaNode* root) {
  // Walks the tree by its parent links, so any depth is fine.
  CriteriaNode* node = root;
  while (node) {
    while (!node->IsLeaf() && (node->left || node->right)) node = node->left ? node->left : node->right;
    if (node->IsLeaf() && !BindLeaf(columns, *node)) return false;
    for (;;) {
      if (node == root) return true;
      CriteriaNode* parent = node->parent;
      if (node == parent->left && parent->right) {
        node = parent->right;
        break;
      }
      node = parent;
    }
  }
  return true;
}

}  // namespace kv
