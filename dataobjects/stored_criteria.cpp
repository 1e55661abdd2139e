// The criteria of stored queries: a tree of BooleanExp rows whose leaves
// are RelationalExp rows, read into the select-query model or as text.

#include <string>
#include <unordered_map>
#include <vector>

#include "base/log_writer.h"
#include "dataobjects/stored_query.h"
#include "dataobjects/stored_query_reading.h"
#include "db/db_result_set.h"
#include "db/sql_builder.h"
#include "store/column_types.h"

namespace kv {
namespace {

// Deeper than any criteria a person writes; a tree that goes on is one
// whose expressions contain themselves.
constexpr int kMaxDepth = 64;
// Expressions may share sub-expressions: each row is read once, but the
// criteria they spell out could double with every level. Past these bounds
// they are refused.
constexpr std::size_t kMaxNodes = 10000;
constexpr std::size_t kMaxText = std::size_t{1} << 20;

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

// What the database holds for one expression number.
struct StoredExpression {
  enum Kind { kNone, kBoolean, kRelational } kind = kNone;
  std::int32_t left = 0, right = 0;          // kBoolean
  std::optional<std::string> column, value;  // kRelational
  std::optional<std::string> op;
};

class CriteriaReader {
 public:
  explicit CriteriaReader(SelectQuery& query) : query_(query) {}

  // The expression of a number: null with none() when it has neither a
  // BooleanExp nor a RelationalExp row; null otherwise when it fails.
  CriteriaExp* Expression(std::int32_t id, int depth) {
    none_ = false;
    if (TooDeep(depth, id)) return nullptr;
    const StoredExpression* stored = Read(id);
    if (!stored) return nullptr;
    if (stored->kind == StoredExpression::kNone) {
      none_ = true;
      return nullptr;
    }
    if (++nodes_ > kMaxNodes) {
      LogError("Stored criteria %d spell out more than %d expressions.\n", id, static_cast<int>(kMaxNodes));
      return nullptr;
    }
    if (stored->kind == StoredExpression::kBoolean) return Boolean(*stored, depth);
    SelectColumn* selected = MakeSelectColumn(
        query_, nullptr, nullptr, stored->column ? stored->column->c_str() : nullptr, nullptr, TARN_SQL_VARCHAR);
    if (!selected) return nullptr;
    const std::optional<std::string>& value = stored->value;
    return MakeCriteriaLeaf(query_, selected, value ? value->c_str() : nullptr,
                            value ? static_cast<std::int32_t>(value->size()) : 0,
                            SqlOperatorCode(stored->op ? stored->op->c_str() : nullptr));
  }

  bool none() const { return none_; }

 private:
  // The rows of a number, read on its first use only; null when they
  // cannot be read.
  const StoredExpression* Read(std::int32_t id) {
    if (auto known = read_.find(id); known != read_.end()) return &known->second;
    StoredExpression stored;
    DBResultSetPtr boolean = QueryStoredTable("BooleanExp", "SELECT * FROM BooleanExp WHERE B_ID = ", id);
    if (!boolean) return nullptr;
    if (boolean->rowCount() > 0) {
      bool leftWrong = false, rightWrong = false;
      const std::optional<std::int32_t> left = NumberField(*boolean, "LEXPRESSION", leftWrong);
      const std::optional<std::int32_t> right = NumberField(*boolean, "REXPRESSION", rightWrong);
      if (!left || !right) {
        LogError("BooleanExp %d lacks a numbered LEXPRESSION or REXPRESSION.\n", id);
        return nullptr;
      }
      stored.kind = StoredExpression::kBoolean;
      stored.left = *left;
      stored.right = *right;
      stored.op = Field(*boolean, "OPERATOR");
    } else {
      DBResultSetPtr relational = QueryStoredTable("RelationalExp", "SELECT * FROM RelationalExp WHERE R_ID = ", id);
      if (!relational) return nullptr;
      if (relational->rowCount() == 0 || relational->columnCount() == 0) {
        LogDebug("\nInvalid ID\n");
      } else {
        stored.kind = StoredExpression::kRelational;
        stored.column = Field(*relational, "LIDENTIFIER");
        stored.value = Field(*relational, "RIDENTIFIER");
        stored.op = Field(*relational, "OPERATOR");
      }
    }
    return &read_.emplace(id, std::move(stored)).first->second;
  }

  CriteriaExp* Boolean(const StoredExpression& stored, int depth) {
    CriteriaExp* leftNode = SubExpression(stored.left, depth);
    CriteriaExp* rightNode = leftNode ? SubExpression(stored.right, depth) : nullptr;
    if (!rightNode) return nullptr;
    return stored.op && *stored.op == "AND" ? MakeCriteriaAnd(query_, leftNode, rightNode)
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
  std::unordered_map<std::int32_t, StoredExpression> read_;
  std::size_t nodes_ = 0;
  bool none_ = false;
};

// The text of stored criteria: left, operator and right one after the
// other. Each number's text is made once and used wherever it recurs.
class CriteriaText {
 public:
  // The text of a number, or nothing (logged) when it cannot be made.
  const std::string* Of(std::int32_t id, int depth) {
    if (TooDeep(depth, id)) return nullptr;
    if (auto known = texts_.find(id); known != texts_.end()) return &known->second;
    std::optional<std::string> text = Make(id, depth);
    if (!text) return nullptr;
    if (text->size() > kMaxText) {
      LogError("Stored criteria %d spell out more than %d characters.\n", id, static_cast<int>(kMaxText));
      return nullptr;
    }
    return &texts_.emplace(id, std::move(*text)).first->second;
  }

 private:
  std::optional<std::string> Make(std::int32_t id, int depth) {
    std::optional<std::int32_t> present;
    if (!ReadStoredNumber("BooleanExp", "SELECT B_ID FROM BooleanExp WHERE B_ID = ", id, present)) return std::nullopt;
    if (present) {
      std::optional<std::int32_t> left, right;
      std::optional<std::string> op;
      if (!ReadStoredNumber("BooleanExp", "SELECT LEXPRESSION FROM BooleanExp WHERE B_ID = ", id, left) ||
          !ReadStoredText("BooleanExp", "SELECT OPERATOR FROM BooleanExp WHERE B_ID = ", id, op) ||
          !ReadStoredNumber("BooleanExp", "SELECT REXPRESSION FROM BooleanExp WHERE B_ID = ", id, right) || !left ||
          !right)
        return std::nullopt;
      const std::string* leftText = Of(*left, depth + 1);
      if (!leftText) return std::nullopt;
      std::string text = *leftText + op.value_or("");
      const std::string* rightText = Of(*right, depth + 1);
      if (!rightText) return std::nullopt;
      return text + *rightText;
    }
    std::optional<std::string> column, op, value;
    if (!ReadStoredText("RelationalExp", "SELECT LIDENTIFIER FROM RelationalExp WHERE R_ID = ", id, column) ||
        !ReadStoredText("RelationalExp", "SELECT OPERATOR FROM RelationalExp WHERE R_ID = ", id, op) ||
        !ReadStoredText("RelationalExp", "SELECT RIDENTIFIER FROM RelationalExp WHERE R_ID = ", id, value))
      return std::nullopt;
    return column.value_or("") + op.value_or("") + value.value_or("");
  }

  std::unordered_map<std::int32_t, std::string> texts_;
};

}  // namespace

bool GetQueryCriteria(std::int32_t queryNumber, SelectQuery& query) {
  return GuardMemory([&]() -> bool {
    std::optional<std::int32_t> id;
    if (!CriteriaNumber(queryNumber, id)) return false;
    if (!id) return true;
    CriteriaReader reader(query);
    CriteriaExp* root = reader.Expression(*id, 0);
    if (!root) return reader.none();
    SetCriteria(query, root);
    return true;
  });
}

std::optional<std::string> PrintStoredCriteria(std::int32_t queryNumber) {
  return GuardMemory([&]() -> std::optional<std::string> {
    std::optional<std::int32_t> id;
    if (!CriteriaNumber(queryNumber, id) || !id) return std::nullopt;
    CriteriaText texts;
    const std::string* text = texts.Of(*id, 0);
    if (!text) return std::nullopt;
    LogDebug("\n%s\n", text->c_str());
    return *text;
  });
}

}  // namespace kv
