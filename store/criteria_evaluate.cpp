// Evaluating a bound criteria tree against one row. This runs once per row
// of every selection: it reads the row's values where they are stored and
// compares them with the operands binding prepared, without allocating.

#include <algorithm>
#include <cstring>
#include <limits>

#include "store/criteria.h"

namespace kv {
namespace {

template <class T>
bool Holds(std::uint8_t op, T row, T literal) {
  switch (op) {
    case CRITERIA_LT: return row < literal;
    case CRITERIA_GT: return row > literal;
    case CRITERIA_LE: return row <= literal;
    case CRITERIA_GE: return row >= literal;
    case CRITERIA_EQ: return row == literal;
    case CRITERIA_NE: return row != literal;
    default: return false;
  }
}

// Texts compare byte by byte with bytes taken as signed; a text that is a
// prefix of a longer one is the smaller.
int CompareText(const char* row, std::size_t rowLength, const char* literal, std::size_t literalLength) {
  const std::size_t common = std::min(rowLength, literalLength);
  for (std::size_t i = 0; i < common; ++i) {
    const auto a = static_cast<signed char>(row[i]);
    const auto b = static_cast<signed char>(literal[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  return rowLength < literalLength ? -1 : rowLength > literalLength ? 1 : 0;
}

bool TextHolds(std::uint8_t op, const StoredValue& value, const CriteriaOperand& operand) {
  const auto rowLength = static_cast<std::size_t>(value.length);
  const auto literalLength = static_cast<std::size_t>(operand.textLength);
  if (op == CRITERIA_EQ || op == CRITERIA_NE) {
    const bool equal = rowLength == literalLength && std::memcmp(value.data, operand.text, rowLength) == 0;
    return equal == (op == CRITERIA_EQ);
  }
  return Holds(op, CompareText(value.data, rowLength, operand.text, literalLength), 0);
}

// An integer row value against an integer literal, or against a literal
// with a fraction, which lies strictly between `integer` and the next one:
// no row equals it.
bool IntegerHolds(std::uint8_t op, std::int64_t row, const CriteriaOperand& operand) {
  if (!operand.fraction) return Holds(op, row, operand.integer);
  switch (op) {
    case CRITERIA_LT:
    case CRITERIA_LE: return row <= operand.integer;
    case CRITERIA_GT:
    case CRITERIA_GE: return row > operand.integer;
    case CRITERIA_NE: return true;
    default: return false;
  }
}

// Unsigned columns hold at most 32 bits; a value beyond the signed range
// could only be larger than every literal.
std::int64_t AsSigned(std::uint64_t value) {
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  return static_cast<std::int64_t>(value > kMax ? kMax : value);
}

// Rows built from documents hold every integer in 4 bytes: that case needs
// no look at the type.
int IntegerWidth(const StoredValue& value, std::uint8_t type) {
  return value.length == 4 ? 4 : StoredIntegerWidth(value.length, type);
}

// A leaf whose column holds no value in the row (NULL, or a row shorter
// than the table) matches under no operator.
bool LeafHolds(const RowView& row, const CriteriaNode& leaf) {
  const CriteriaOperand& operand = leaf.operand;
  if (operand.kind == CriteriaOperand::NEVER || leaf.columnIndex >= row.count || !row.values) return false;
  const StoredValue& value = row.values[leaf.columnIndex];
  if (value.IsNull() || value.length < 0) return false;
  switch (operand.kind) {
    case CriteriaOperand::SIGNED:
      return IntegerHolds(leaf.op, ReadSignedInteger(value.data, IntegerWidth(value, leaf.columnType)), operand);
    case CriteriaOperand::UNSIGNED:
      return IntegerHolds(leaf.op, AsSigned(ReadUnsignedInteger(value.data, IntegerWidth(value, leaf.columnType))),
                          operand);
    case CriteriaOperand::FLOAT:
      return value.length >= static_cast<std::int32_t>(sizeof(float)) &&
             Holds(leaf.op, ReadFloat(value.data), operand.real);
    case CriteriaOperand::TEXT: return TextHolds(leaf.op, value, operand);
    default: return false;
  }
}

// Whether the value of an inner node's left side settles the node: false
// under "and", true under "or", anything under another code (false).
bool LeftSettles(const CriteriaNode& node, bool left) {
  if (node.op == CRITERIA_AND) return !left;
  if (node.op == CRITERIA_OR) return left;
  return true;
}

}  // namespace

bool EvaluateCriteria(const RowView& row, const CriteriaNode* root) {
  if (!root) return true;
  // Walks the tree by its parent links, left side first, and skips a right
  // side whose value cannot change the result (evaluation has no effects).
  // An absent side counts as true.
  const CriteriaNode* node = root;
  for (;;) {
    while (!node->IsLeaf() && node->left) node = node->left;
    const CriteriaNode* at;  // the inner node whose side gave value
    bool fromLeft = true;
    bool value = true;
    if (node->IsLeaf()) {
      value = LeafHolds(row, *node);
      if (node == root) return value;
      at = node->parent;
      fromLeft = node == at->left;
    } else {
      at = node;  // its left side is absent
    }
    for (;;) {
      if (fromLeft) {
        if (LeftSettles(*at, value)) {
          value = value && at->op == CRITERIA_OR;
        } else if (at->right) {
          node = at->right;
          break;
        } else {
          value = true;
        }
      }
      // From the right side, the left one did not settle the node: the right
      // side's value is the node's.
      if (at == root) return value;
      fromLeft = at == at->parent->left;
      at = at->parent;
    }
  }
}

}  // namespace kv
