#pragma once
// Values as SQL literals. Every value a dialect writes into a statement
// goes through here, so that a text can never end its literal early: a
// quote inside it is doubled, and where the database takes backslash as an
// escape character (MySQL) the backslash is doubled too. Booleans are
// written with the dialect's own literals, dates and times in the form of
// their column's type, and numbers so that they read back unchanged.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/stored_value.h"

namespace kv {

struct DialectRules;

// text between single quotes, escaped for the dialect.
std::string QuoteSqlText(std::string_view text, const DialectRules& rules);

enum class LiteralQuoting : std::uint8_t {
  kByType,  // texts, dates, BLOB and CLOB bytes quoted; numbers and Booleans bare
  kAlways,  // every value quoted (a Boolean's literal too)
};

// The literal of a stored value of a column type: "NULL" for a null value;
// else nothing for code 0, codes above TARN_SQL_TEXT, a date/time value of an
// unknown length and a number that is not finite. A decimal or numeric value
// that is not a plain number is quoted.
std::optional<std::string> SqlLiteral(const StoredValue& value, std::uint8_t type, const DialectRules& rules,
                                      LiteralQuoting quoting = LiteralQuoting::kByType);

// Whether the literal of the type is written between quotes by kByType.
[[nodiscard]] bool IsQuotedType(std::uint8_t type);

}  // namespace kv
