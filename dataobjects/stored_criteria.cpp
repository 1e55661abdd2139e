// The criteria of stored queries: a tree of BooleanExp rows whose leaves
// are RelationalExp rows, read into the select-query model or as text.

#include <vector>

#include "base/log_writer.h"
#include "dataobjects/stored_query.h"
#include "dataobjects/stored_query_reading.h"
#include "db/db_result_set.h"
#include "store/column_types.h"

namespace kv {
namespace {

// Deeper than any criteria a person writes; a tree that goes on is one
// whose expressions contain themselves.
constexpr int kMaxDepth = 64;

// The query's criteria number, when it has one; false when it cannot be read.
bool CriteriaNumber(std::int32_t queryNumber, std::optional<std::int32_t>& number) {
  const auto ids =
      ReadStoredNumbers("QueryvsCriteria", "SELECT B_ID FROM QueryvsCriteria WHERE QUERY_ID = ", queryNumber);
  if (!ids) return false;
  number = ids->empty() ? std::nullopt : std::optional<std::int32_t>(ids->front());
  return true;
}

bool TooDeep(int depth, std::int32_t id) {
  if (depth <= kMaxDepth) return false;
  LogError("Stored criteria %d nest deeper than %d: an expression contains itself.\n", id, kMaxDepth);
  return true;
}

// A column's value by name in the only row of a result, as text or number.
std::optional<std::string> Field(const DBResultSet& result, const char* name) {
  const std::int32_t column = FindResultSetColumn(&result, name);
  return column < 0 ? std::nullopt : ResultText(result, 0, column);
}
std::optional<std::int32_t> NumberField(const DBResultSet& result, const char* name, bool& wrongType) {
  wrongType = false;
  const std::int32_t column = FindResultSetColumn(&result, name);
  return column < 0 ? std::nullopt : ResultNumber(result, 0, column, wrongType);
}

class CriteriaReader {
 public:
  explicit CriteriaReader(SelectQuery& query) : query_(query) {}

  // The expression of a number: null with none() when it has neither a
  // BooleanExp nor a RelationalExp row; null otherwise when it fails.
  CriteriaExp* Expression(std::int32_t id, int depth) {
    none_ = false;
    if (TooDeep(depth, id)) return nullptr;
    DBResultSetPtr boolean = QueryStoredTable("BooleanExp", "SELECT * FROM BooleanExp WHERE B_ID = ", id);
    if (!boolean) return nullptr;
    if (boolean->rowCount() > 0) return Boolean(*boolean, id, depth);
    DBResultSetPtr relational = QueryStoredTable("RelationalExp", "SELECT * FROM RelationalExp WHERE R_ID = ", id);
    if (!relational) return nullptr;
    if (relational->rowCount() == 0 || relational->columnCount() == 0) {
      LogDebug("\nInvalid ID\n");
      none_ = true;
      return nullptr;
    }
    const std::optional<std::string> column = Field(*relational, "LIDENTIFIER");
    const std::optional<std::string> value = Field(*relational, "RIDENTIFIER");
    const std::optional<std::string> op = Field(*relational, "OPERATOR");
    SelectColumn* selected =
        MakeSelectColumn(query_, nullptr, nullptr, column ? column->c_str() : nullptr, nullptr, TARN_SQL_VARCHAR);
    if (!selected) return nullptr;
    return MakeCriteriaLeaf(query_, selected, value ? value->c_str() : nullptr,
                            value ? static_cast<std::int32_t>(value->size()) : 0,
                            SqlOperatorCode(op ? op->c_str() : nullptr));
  }

  bool none() const { return none_; }

 private:
  CriteriaExp* Boolean(const DBResultSet& row, std::int32_t id, int depth) {
    bool leftWrong = false, rightWrong = false;
    const std::optional<std::int32_t> left = NumberField(row, "LEXPRESSION", leftWrong);
    const std::optional<std::int32_t> right = NumberField(row, "REXPRESSION", rightWrong);
    if (!left || !right) {
      LogError("BooleanExp %d lacks a numbered LEXPRESSION or REXPRESSION.\n", id);
      return nullptr;
    }
    CriteriaExp* leftNode = SubExpression(*left, depth);
    CriteriaExp* rightNode = leftNode ? SubExpression(*right, depth) : nullptr;
    if (!rightNode) return nullptr;
    const std::optional<std::string> op = Field(row, "OPERATOR");
    return op && *op == "AND" ? MakeCriteriaAnd(query_, leftNode, rightNode)
                              : MakeCriteriaOr(query_, leftNode, rightNode);
  }

  // A sub-expression, which must exist.
  CriteriaExp* SubExpression(std::int32_t id, int depth) {
    CriteriaExp* node = Expression(id, depth + 1);
    if (!node && none_) LogError("Stored criteria %d name an expression that is not there.\n", id);
    none_ = false;
    return node;
  }

  SelectQuery& query_;
  bool none_ = false;
};

// The text of an expression: left, operator and right one after the other.
bool AppendExpression(std::int32_t id, int depth, std::string& text) {
  if (TooDeep(depth, id)) return false;
  std::optional<std::int32_t> present;
  if (!ReadStoredNumber("BooleanExp", "SELECT B_ID FROM BooleanExp WHERE B_ID = ", id, present)) return false;
  if (present) {
    std::optional<std::int32_t> left, right;
    std::optional<std::string> op;
    if (!ReadStoredNumber("BooleanExp", "SELECT LEXPRESSION FROM BooleanExp WHERE B_ID = ", id, left) ||
        !ReadStoredText("BooleanExp", "SELECT OPERATOR FROM BooleanExp WHERE B_ID = ", id, op) ||
        !ReadStoredNumber("BooleanExp", "SELECT REXPRESSION FROM BooleanExp WHERE B_ID = ", id, right) || !left ||
        !right)
      return false;
    if (!AppendExpression(*left, depth + 1, text)) return false;
    text += op.value_or("");
    return AppendExpression(*right, depth + 1, text);
  }
  std::optional<std::string> column, op, value;
  if (!ReadStoredText("RelationalExp", "SELECT LIDENTIFIER FROM RelationalExp WHERE R_ID = ", id, column) ||
      !ReadStoredText("RelationalExp", "SELECT OPERATOR FROM RelationalExp WHERE R_ID = ", id, op) ||
      !ReadStoredText("RelationalExp", "SELECT RIDENTIFIER FROM RelationalExp WHERE R_ID = ", id, value))
    return false;
  text += column.value_or("") + op.value_or("") + value.value_or("");
  return true;
}

}  // namespace

bool GetQueryCriteria(std::int32_t queryNumber, SelectQuery& query) {
  std::optional<std::int32_t> id;
  if (!CriteriaNumber(queryNumber, id)) return false;
  if (!id) return true;
  CriteriaReader reader(query);
  CriteriaExp* root = reader.Expression(*id, 0);
  if (!root) return reader.none();
  SetCriteria(query, root);
  return true;
}

std::optional<std::string> PrintStoredCriteria(std::int32_t queryNumber) {
  std::optional<std::int32_t> id;
  if (!CriteriaNumber(queryNumber, id) || !id) return std::nullopt;
  std::string text;
  if (!AppendExpression(*id, 0, text)) return std::nullopt;
  LogDebug("\n%s\n", text.c_str());
  return text;
}

}  // namespace kv
