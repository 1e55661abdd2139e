// Binding a criteria tree to a table's columns: each leaf learns its
// column's position and type, and its literal is turned once into what
// evaluation compares rows with.

#include <limits>
#include <string_view>

#include "store/column_types.h"
#include "store/criteria.h"
#include "store/typed_value.h"
#include "store/value_text.h"

namespace kv {
namespace {

// The number a literal writes, for the integer columns. A literal is
// compared by its value, not wrapped to its column's width, so that 300
// never equals a stored 44; a run of digits beyond 64 bits is larger than
// any stored integer. Other texts convert as the store converts them.
std::int64_t IntegerLiteral(std::string_view literal) {
  const std::int64_t value = ParseInt64(literal);
  if (value != 0 || literal.find_first_not_of("0123456789") != std::string_view::npos) return value;
  return literal.find_first_not_of('0') == std::string_view::npos ? 0 : std::numeric_limits<std::int64_t>::max();
}

CriteriaOperand PrepareOperand(std::string_view literal, std::uint8_t type) {
  CriteriaOperand operand;
  switch (type) {
    case TARN_SQL_TINYINT:
    case TARN_SQL_SMALLINT:
    case TARN_SQL_INT:
    case TARN_SQL_UNSIGNED_TINYINT:
    case TARN_SQL_UNSIGNED_SMALLINT:
    case TARN_SQL_UNSIGNED_INT:
      operand.kind = IsUnsignedIntegerType(type) ? CriteriaOperand::UNSIGNED : CriteriaOperand::SIGNED;
      operand.integer = IntegerLiteral(literal);
      break;
    case TARN_SQL_FLOAT:
      operand.kind = CriteriaOperand::FLOAT;
      operand.real = static_cast<float>(ParseDouble(literal));
      break;
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

void BindLeaf(const VectorOf<ColumnDefn>& columns, CriteriaNode& leaf) {
  leaf.columnIndex = 0;
  leaf.columnType = 0;
  leaf.operand = CriteriaOperand();
  std::int32_t index = 0;
  for (const ColumnDefn& column : columns) {
    if (AsciiEqualsNoCase(column.name, leaf.columnName.get())) {
      leaf.columnIndex = index;
      leaf.columnType = column.type;
      leaf.operand = PrepareOperand(leaf.literal.get(), column.type);
      return;
    }
    ++index;
  }
}

}  // namespace

void BindCriteria(const VectorOf<ColumnDefn>& columns, CriteriaNode* root) {
  // Walks the tree by its parent links, so any depth is fine.
  CriteriaNode* node = root;
  while (node) {
    while (!node->IsLeaf() && (node->left || node->right)) node = node->left ? node->left : node->right;
    if (node->IsLeaf()) BindLeaf(columns, *node);
    for (;;) {
      if (node == root) return;
      CriteriaNode* parent = node->parent;
      if (node == parent->left && parent->right) {
        node = parent->right;
        break;
      }
      node = parent;
    }
  }
}

}  // namespace kv
