// The nodes of criteria trees: how the parser makes them and how a tree is
// freed. Trees can be thousands of nodes deep, so nothing here recurses.

#include <new>
#include <string_view>

#include "store/criteria_parse.h"
#include "store/value_text.h"

namespace kv {
namespace {

OwnedText CopyToken(CriteriaToken token) {
  return CopyText(std::string_view(token.text, static_cast<std::size_t>(token.length)));
}

}  // namespace

CriteriaNode* MakeCriteriaLeaf(CriteriaToken column, CriteriaToken literal, std::uint8_t op) {
  std::unique_ptr<CriteriaNode> leaf(new (std::nothrow) CriteriaNode);
  if (!leaf) return nullptr;
  leaf->columnName = CopyToken(column);
  leaf->literal = CopyToken(literal);
  if (!leaf->columnName || !leaf->literal) return nullptr;
  leaf->op = op;
  return leaf.release();
}

CriteriaNode* MakeCriteriaInner(std::uint8_t op, CriteriaNode* left, CriteriaNode* right) {
  CriteriaNode* node = new (std::nothrow) CriteriaNode;
  if (!node) {
    FreeCriteria(left);
    FreeCriteria(right);
    return nullptr;
  }
  node->op = op;
  node->left = left;
  node->right = right;
  left->parent = node;
  right->parent = node;
  return node;
}

std::uint8_t MirrorCriteriaOperator(std::uint8_t op) {
  switch (op) {
    case CRITERIA_LT: return CRITERIA_GT;
    case CRITERIA_GT: return CRITERIA_LT;
    case CRITERIA_LE: return CRITERIA_GE;
    case CRITERIA_GE: return CRITERIA_LE;
    default: return op;
  }
}

void FreeCriteria(CriteriaNode* root) {
  // Rotates each left child up over its parent until the node on top has
  // none, then frees it and goes on with its right child: every node is
  // freed once, without a stack.
  CriteriaNode* node = root;
  while (node) {
    if (CriteriaNode* left = node->left) {
      node->left = left->right;
      left->right = node;
      node = left;
    } else {
      CriteriaNode* right = node->right;
      delete node;
      node = right;
    }
  }
}

}  // namespace kv
