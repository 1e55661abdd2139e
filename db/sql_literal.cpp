#include "db/sql_literal.h"

#include <cmath>
#include <cstdio>

#include "db/sql_dialect.h"
#include "store/column_types.h"
#include "store/date_time.h"
#include "store/typed_value.h"

namespace kv {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A plain decimal number: sign, digits, fraction, exponent.
bool IsNumberText(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i == text.size() || !IsDigit(text[i])) return false;
    while (i < text.size() && IsDigit(text[i])) ++i;
  }
  return i == text.size();
}

// The bytes of a text value as C reads them: up to the first NUL.
std::string_view TextOf(const StoredValue& value) {
  const std::string_view bytes = value.Bytes();
  return bytes.substr(0, bytes.find('\0'));
}

// A date, time or date-time in the form of the column's type: a date
// column gets only its date, a time column only its time (a value that
// lacks that part is written with what it has).
std::optional<std::string> DateTimeLiteralText(const StoredValue& value, std::uint8_t type) {
  const std::optional<TarnGenDateTime> read = ReadDateTimeValue(value.data, value.length);
  if (!read || !(read->parts & (TARN_DATE_PART | TARN_TIME_PART))) return std::nullopt;
  TarnGenDateTime shown = *read;
  if (type == TARN_SQL_DATE && (shown.parts & TARN_DATE_PART)) shown.parts = TARN_DATE_PART;
  if (type == TARN_SQL_TIME && (shown.parts & TARN_TIME_PART)) shown.parts = TARN_TIME_PART;
  return std::string(FormatTarnDateTime(shown).view());
}

// Floating values with every digit they need to read back unchanged.
std::optional<std::string> FloatingText(double value, int digits) {
  if (!std::isfinite(value)) return std::nullopt;
  char text[64];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return std::string(text);
}

}  // namespace

bool IsQuotedType(std::uint8_t type) {
  return IsTextType(type) || IsDateTimeType(type) || type == TARN_SQL_BLOB || type == TARN_SQL_CLOB;
}

std::string QuoteSqlText(std::string_view text, const DialectRules& rules) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.push_back('\'');
  for (const char c : text) {
    if (c == '\'' || (c == '\\' && rules.backslashEscapes)) quoted.push_back(c);
    quoted.push_back(c);
  }
  quoted.push_back('\'');
  return quoted;
}

std::optional<std::string> SqlLiteral(const StoredValue& value, std::uint8_t type, const DialectRules& rules,
                                      LiteralQuoting quoting) {
  if (value.IsNull()) return std::string("NULL");
  if (type == TARN_SQL_NOT_SUPPORTED_TYPE || type > TARN_SQL_LAST_TYPE) return std::nullopt;
  std::optional<std::string> bare;
  switch (type) {
    case TARN_SQL_BOOLEAN: {
      const char* literal = value.length >= 1 && value.data[0] == 1 ? rules.trueLiteral : rules.falseLiteral;
      if (quoting == LiteralQuoting::kAlways && literal[0] != '\'') return QuoteSqlText(literal, rules);
      return std::string(literal);
    }
    case TARN_SQL_DATE:
    case TARN_SQL_TIME:
    case TARN_SQL_DATETIME: {
      const std::optional<std::string> text = DateTimeLiteralText(value, type);
      if (!text) return std::nullopt;
      return QuoteSqlText(*text, rules);
    }
    case TARN_SQL_FLOAT:
    case TARN_SQL_REAL:
      if (value.length < 4) return std::nullopt;
      bare = FloatingText(ReadFloat(value.data), 9);
      break;
    case TARN_SQL_DOUBLE:
      if (value.length < 8) return std::nullopt;
      bare = FloatingText(ReadDouble(value.data), 17);
      break;
    case TARN_SQL_DECIMAL:
    case TARN_SQL_NUMERIC: {
      const std::string_view text = TextOf(value);
      if (!IsNumberText(text)) return QuoteSqlText(text, rules);
      bare = std::string(text);
      break;
    }
    default:
      if (IsQuotedType(type)) return QuoteSqlText(TextOf(value), rules);
      {
        ValueTextBuffer scratch;
        const std::optional<std::string_view> text = TypedValueText(value.data, value.length, type, scratch);
        if (text) bare = std::string(*text);
      }
      break;
  }
  if (bare && quoting == LiteralQuoting::kAlways) return QuoteSqlText(*bare, rules);
  return bare;
}

}  // namespace kv
