#pragma once
// The criteria language that selects rows: a text such as
// "PARAM_NAME='RESOURCE_ID' and COUNT>5" is parsed into an expression tree,
// bound once to a table's columns and then evaluated against every row.
//
// Callers take the criteria parser's lock around the whole use of a tree:
//   ObjectLockGuard lock(CriteriaParserLockKey());
//   CriteriaTree tree = ParseCriteria(text);        // null: no result
//   BindCriteria(definition.columns, tree.get());
//   for each row: EvaluateCriteria(row, tree.get());
// The tree is freed (FreeCriteria) when the CriteriaTree goes.

#include <cstdint>
#include <memory>

#include "store/stored_value.h"
#include "store/table_defn.h"
#include "store/value_text.h"
#include "store/vector.h"

namespace kv {

// Operator codes of the nodes, shared with the select-query model.
constexpr std::uint8_t CRITERIA_LT = 1;
constexpr std::uint8_t CRITERIA_GT = 2;
constexpr std::uint8_t CRITERIA_LE = 3;
constexpr std::uint8_t CRITERIA_GE = 4;
constexpr std::uint8_t CRITERIA_EQ = 5;
constexpr std::uint8_t CRITERIA_NE = 6;
constexpr std::uint8_t CRITERIA_AND = 7;
constexpr std::uint8_t CRITERIA_OR = 8;

// What a bound leaf compares; made once by BindCriteria so that evaluating
// a row neither converts nor copies anything.
struct CriteriaOperand {
  enum Kind : std::uint8_t { NEVER, SIGNED, UNSIGNED, FLOAT, TEXT };
  Kind kind = NEVER;
  // SIGNED and UNSIGNED: the literal; for a literal with a fraction, the
  // integer just below it, with `fraction` set.
  std::int64_t integer = 0;
  bool fraction = false;
  float real = 0;              // FLOAT
  const char* text = nullptr;  // TEXT: a view into the leaf's literal
  std::int32_t textLength = 0;
};

struct CriteriaNode {
  // Leaves only: the column as written, and the value token exactly as
  // written (a string keeps its quotes).
  OwnedText columnName;
  OwnedText literal;
  std::uint8_t op = 0;
  // Set by BindCriteria: the column's position in its table and its type
  // (0 and 0 when no column has the name).
  std::int32_t columnIndex = 0;
  std::uint8_t columnType = 0;
  // Inner nodes only; owned by the tree and freed with it.
  CriteriaNode* left = nullptr;
  CriteriaNode* right = nullptr;
  CriteriaNode* parent = nullptr;
  CriteriaOperand operand;

  [[nodiscard]] bool IsLeaf() const { return columnName && literal; }
};

// Frees the node's whole subtree (null is fine).
void FreeCriteria(CriteriaNode* root);

struct CriteriaTreeDeleter {
  void operator()(CriteriaNode* root) const { FreeCriteria(root); }
};
using CriteriaTree = std::unique_ptr<CriteriaNode, CriteriaTreeDeleter>;

// The tree of the text (of its last line when it holds several), or null
// for a null text, a syntax error, a parse deeper than the parser's stack
// limit, or when memory runs out. Nothing is logged for a syntax error.
[[nodiscard]] CriteriaTree ParseCriteria(const char* text);

// Binds every leaf to the first column whose name equals the leaf's column
// name without regard to ASCII case, and prepares its literal for that
// column's type. False (logged) when a literal on an integer or floating
// column is not a number, quoted or not: such criteria select nothing, and
// the caller fails rather than compare the column with some other value.
[[nodiscard]] bool BindCriteria(const VectorOf<ColumnDefn>& columns, CriteriaNode* root);

// Whether the criteria compare columns of the type at all: a leaf on any
// other type (64-bit integers, doubles, decimals, dates and times, Booleans,
// large objects) matches no row.
[[nodiscard]] bool CriteriaCompareType(std::uint8_t type);
// Whether a literal, as written in the criteria, can be compared with a
// column of the type (a number for the numeric columns it compares).
[[nodiscard]] bool CriteriaCompareLiteral(const char* literal, std::uint8_t type);

// Whether the row satisfies the bound tree; a null tree holds for every row.
// Does not allocate.
[[nodiscard]] bool EvaluateCriteria(const RowView& row, const CriteriaNode* root);

// The object lock key reserved for the criteria parser: held from before
// ParseCriteria until the tree is freed, by every caller.
const void* CriteriaParserLockKey();

}  // namespace kv
