#pragma once
// The names of the dictionary's tables and columns go into SQL texts as they
// stand: each must be a plain SQL identifier, so that no name can end a
// statement or add one.

#include <cstddef>
#include <string>
#include <string_view>

#include "store/table_defn.h"

namespace kv {

// The longest name any of the store's databases keeps whole (PostgreSQL
// cuts longer ones silently, so two names could become one); a dialect may
// allow fewer.
constexpr std::size_t kMaxSqlIdentifierLength = 63;

// Letters, digits and '_' (ASCII), not starting with a digit, 1 to
// maxLength characters.
[[nodiscard]] bool IsPlainSqlIdentifier(std::string_view name, std::size_t maxLength = kMaxSqlIdentifierLength);

// The first name that the table's SQL texts would hold (the table's, its
// columns', its key columns', its foreign keys' tables and columns) that is
// not a plain identifier of at most maxLength characters; null when every
// one is.
const std::string* FirstUnfitName(const TableDefn& definition, std::size_t maxLength = kMaxSqlIdentifierLength);

}  // namespace kv
