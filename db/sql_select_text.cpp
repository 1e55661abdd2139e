// The select text of a query model, in the order a select statement takes:
// columns, joins and tables, criteria, grouping, sorting and the row window.

#include <vector>

#include "base/log_writer.h"
#include "db/sql_builder.h"
#include "db/sql_dialect.h"
#include "db/sql_literal.h"
#include "store/column_types.h"

namespace kv {
namespace {

void TracePart(const DialectRules& rules, const char* operation) {
  LogTrace("@@@@@@@@@@@ - INSIDE %s%s - @@@@@@@@@@@@@", rules.logPrefix, operation);
}

// The first text that is set, else null.
const char* FirstOf(std::initializer_list<const char*> texts) {
  for (const char* text : texts)
    if (text) return text;
  return nullptr;
}

// "qualifier." (the column's table alias, else its table name) and the name.
void AppendQualified(SqlBuilder& sql, const SelectColumn& column, const char* fallback = nullptr,
                     const char* lastFallback = nullptr) {
  if (const char* qualifier = FirstOf({column.tableAlias, column.tableName, fallback, lastFallback}))
    sql << qualifier << ".";
  sql << Sv(column.columnName);
}

class SelectWriter {
 public:
  SelectWriter(const DialectRules& rules, const SelectQuery& query) : rules_(rules), query_(query) {}

  std::optional<std::string> Write() {
    TracePart(rules_, "GenSelectQuery");
    sql_ << "select ";
    if (rules_.rowLimit == RowLimitStyle::kFirstSkip && query_.rowCount) {
      sql_.AddFormat("first %d ", query_.rowCount);
      if (query_.startRow) sql_.AddFormat("skip %d ", query_.startRow);
    }
    if (!query_.columns.Empty()) {
      Columns();
      sql_ << "from ";
    } else {
      sql_ << (rules_.rowLimit == RowLimitStyle::kFirstSkip && query_.rowCount ? " * from " : "* from ");
    }
    if (!query_.joins.Empty() && !Joins()) return std::nullopt;
    if (!query_.tables.Empty()) {
      if (!query_.joins.Empty()) sql_ << ",";
      Tables();
    }
    if (query_.joins.Empty() && query_.tables.Empty()) {
      LogError("\nNo Tables To Be Selected\n");
      return std::nullopt;
    }
    if (query_.criteria) {
      TracePart(rules_, "GenerateCriteriaStr");
      sql_ << "where ";
      if (!Criteria(query_.criteria)) return std::nullopt;
    }
    if (query_.groupBy && !GroupBy(*query_.groupBy)) return std::nullopt;
    if (query_.sort) Sort(*query_.sort);
    if (query_.rowCount) RowWindow();
    LogTrace("\nSelect Query constructed is\n%s\n", sql_.c_str());
    return sql_.Take("@@@ Query String Copy falied @@@\n");
  }

 private:
  void Columns() {
    TracePart(rules_, "GenerateColumnsStr");
    for (const auto* node = query_.columns.first; node; node = node->next) {
      const SelectColumn& column = *node->item;
      if (column.function != SQL_FUNCTION_NONE) {
        sql_ << " " << Sv(SqlFunctionName(column.function)) << "(";
        if (column.columnName)
          AppendQualified(sql_, column);
        else
          sql_ << "*";
        sql_ << ")";
      } else {
        AppendQualified(sql_, column);
        if (column.columnAlias) sql_ << " as " << column.columnAlias << " ";
      }
      sql_ << (node->next ? "," : " \n");
    }
  }

  bool Joins() {
    TracePart(rules_, "GenerateJoinsStr");
    const SelectJoin& first = *query_.joins.first->item;
    if (first.baseTable) sql_ << " " << first.baseTable << " ";
    if (first.baseAlias) sql_ << rules_.aliasKeyword << first.baseAlias << " ";
    for (const SelectJoin& join : query_.joins) {
      if (join.joinType == SQL_INNER_JOIN) {
        sql_ << " inner join ";
      } else if (join.joinType == SQL_LEFT_JOIN) {
        sql_ << " left join ";
      } else {
        LogError("Invalid Join Type\n");
        return false;
      }
      if (join.referenceTable) sql_ << " " << join.referenceTable << " ";
      if (join.referenceAlias) sql_ << rules_.aliasKeyword << join.referenceAlias << " ";
      if (!join.baseColumns || !join.referenceColumns) continue;
      sql_ << " on ";
      auto* reference = join.referenceColumns->first;
      for (auto* base = join.baseColumns->first; base && reference; base = base->next, reference = reference->next) {
        if (base != join.baseColumns->first) sql_ << " and ";
        AppendQualified(sql_, *base->item, join.baseAlias, join.baseTable);
        sql_ << " = ";
        AppendQualified(sql_, *reference->item, join.referenceAlias, join.referenceTable);
      }
      sql_ << " ";
    }
    return true;
  }

  void Tables() {
    TracePart(rules_, "GenerateTableListStr");
    for (const auto* node = query_.tables.first; node; node = node->next) {
      sql_ << Sv(node->item->tableName);
      if (node->item->alias) sql_ << " " << rules_.aliasKeyword << node->item->alias << " ";
      sql_ << (node->next ? ", " : "\n");
    }
  }

  // The value of a leaf or a having condition as a literal for its column.
  bool Value(const SelectColumn& column, const char* value, std::int32_t length) {
    // Columns of no known type compare as text.
    const std::uint8_t type = column.type == TARN_SQL_NOT_SUPPORTED_TYPE ? std::uint8_t{TARN_SQL_VARCHAR} : column.type;
    const std::optional<std::string> literal = SqlLiteral(StoredValue{value, length}, type, rules_);
    if (!literal) {
      LogError("Unsupported Datatype Used in Query generation.\n");
      return false;
    }
    sql_ << " " << *literal << " ";
    return true;
  }

  bool Leaf(const CriteriaExp& leaf) {
    const SelectColumn& column = *leaf.column;
    if (const char* qualifier = FirstOf({column.tableAlias, column.tableName}))
      sql_ << " " << qualifier << ".";
    else
      sql_ << " ";
    sql_ << Sv(column.columnName);
    const char* op = SqlOperatorName(leaf.op);
    if (!op || leaf.op == SQL_OP_INVALID || leaf.op == SQL_OP_AND || leaf.op == SQL_OP_OR) {
      LogError("Invalid Operator %d in Query generation.\n", leaf.op);
      return false;
    }
    sql_ << " " << op << " ";
    // Both bounds of a BETWEEN are the leaf's text, as given.
    if (leaf.op == SQL_OP_BETWEEN) {
      sql_ << " " << Sv(leaf.value) << " ";
      return true;
    }
    return Value(column, leaf.value, leaf.valueLength);
  }

  // Left subtree, the node, right subtree. An OR below an AND is put in
  // parentheses: SQL binds AND first, and the text must mean the tree.
  bool Criteria(const CriteriaExp* root) {
    TracePart(rules_, "GenCriteriaString");
    struct Step {
      const CriteriaExp* node;
      bool parenthesised;
      int stage;  // 0: enter, 1: between the subtrees, 2: leave
    };
    std::vector<Step> steps{{root, false, 0}};
    while (!steps.empty()) {
      Step step = steps.back();
      steps.pop_back();
      const CriteriaExp* node = step.node;
      const bool inner = node->op == SQL_OP_AND || node->op == SQL_OP_OR;
      if (!inner) {
        if (!node->column) {
          LogError("\nEmpty Column Assigned\n");
          return false;
        }
        if (!Leaf(*node)) return false;
        continue;
      }
      if (!node->left || !node->right) {
        LogError("\nEmpty Column Assigned\n");
        return false;
      }
      if (step.stage == 0) {
        if (step.parenthesised) sql_ << "(";
        steps.push_back({node, step.parenthesised, 1});
        steps.push_back({node->left, node->op == SQL_OP_AND && node->left->op == SQL_OP_OR, 0});
      } else if (step.stage == 1) {
        sql_ << " " << (node->op == SQL_OP_AND ? "AND" : "OR") << " ";
        steps.push_back({node, step.parenthesised, 2});
        steps.push_back({node->right, node->op == SQL_OP_AND && node->right->op == SQL_OP_OR, 0});
      } else if (step.parenthesised) {
        sql_ << ")";
      }
    }
    return true;
  }

  bool GroupBy(const GroupByClause& groupBy) {
    TracePart(rules_, "GenerateGroupByStr");
    sql_ << "group by ";
    for (const auto* node = groupBy.columns ? groupBy.columns->first : nullptr; node; node = node->next) {
      const SelectColumn& column = *node->item;
      if (column.columnAlias)
        sql_ << column.columnAlias;
      else if (column.tableName)
        sql_ << column.tableName << "." << Sv(column.columnName);
      else
        sql_ << Sv(column.columnName);
      sql_ << (node->next ? "," : "\n");
    }
    if (!groupBy.having) return true;
    const HavingCondition& having = *groupBy.having;
    const char* function = SqlFunctionName(having.column->function);
    const char* op = SqlOperatorName(having.op);
    if (having.column->function == SQL_FUNCTION_NONE || !function || !op || having.op == SQL_OP_INVALID) {
      LogError("Invalid Having Condition in Query generation.\n");
      return false;
    }
    sql_ << "having "
         << " " << function << "(";
    AppendQualified(sql_, *having.column);
    sql_ << ") "
         << " " << op << " ";
    return Value(*having.column, having.value, having.valueLength);
  }

  void Sort(const SortClause& sort) {
    TracePart(rules_, "GenerateSortColumnStr");
    sql_ << "order by ";
    for (const auto* node = sort.columns ? sort.columns->first : nullptr; node; node = node->next) {
      AppendQualified(sql_, *node->item);
      sql_ << (node->next ? "," : " ");
    }
    sql_ << (sort.ascending ? " asc " : " desc ");
  }

  void RowWindow() {
    switch (rules_.rowLimit) {
      case RowLimitStyle::kLimitStartCount:
        sql_ << "limit";
        if (query_.startRow) sql_.AddFormat(" %d ,", query_.startRow);
        sql_.AddFormat(" %d", query_.rowCount);
        break;
      case RowLimitStyle::kLimitOffset:
        sql_.AddFormat("limit %d", query_.rowCount);
        if (query_.startRow) sql_.AddFormat(" offset %d", query_.startRow);
        break;
      case RowLimitStyle::kFirstSkip: break;  // written after "select "
    }
  }

  const DialectRules& rules_;
  const SelectQuery& query_;
  SqlBuilder sql_;
};

}  // namespace

std::optional<std::string> SQLDialect::SelectText(const SelectQuery& query) const {
  return GuardMemory([&] { return SelectWriter(rules_, query).Write(); });
}

}  // namespace kv
