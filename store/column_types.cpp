#include "store/column_types.h"

#include <string_view>

#include "base/log_writer.h"
#include "store/value_text.h"

namespace kv {
namespace {

struct TypeWord {
  const char* word;
  std::uint8_t code;
};

// In the order the words are tried; the first match wins.
constexpr TypeWord kTypeWords[] = {
    {"TARN_SQL_NOT_SUPPORTED_TYPE", TARN_SQL_NOT_SUPPORTED_TYPE},
    {"TARN_SQL_TINYINT", TARN_SQL_TINYINT},
    {"TARN_SQL_UNSIGNED_TINYINT", TARN_SQL_UNSIGNED_TINYINT},
    {"TARN_SQL_SMALLINT", TARN_SQL_SMALLINT},
    {"TARN_SQL_UNSIGNED_SMALLINT", TARN_SQL_UNSIGNED_SMALLINT},
    {"TARN_SQL_INT", TARN_SQL_INT},
    {"BIGINT", TARN_SQL_INT},
    {"INTEGER", TARN_SQL_INT},
    {"LONG", TARN_SQL_INT},
    {"TARN_SQL_UNSIGNED_INT", TARN_SQL_UNSIGNED_INT},
    {"TARN_SQL_UNSIGNED_LONG_INT", TARN_SQL_UNSIGNED_LONG_INT},
    {"TARN_SQL_FLOAT", TARN_SQL_FLOAT},
    {"FLOAT", TARN_SQL_FLOAT},
    {"TARN_SQL_DOUBLE", TARN_SQL_DOUBLE},
    {"TARN_SQL_REAL", TARN_SQL_REAL},
    {"TARN_SQL_DECIMAL", TARN_SQL_DECIMAL},
    {"TARN_SQL_NUMERIC", TARN_SQL_NUMERIC},
    {"TARN_SQL_CHAR", TARN_SQL_CHAR},
    {"CHAR", TARN_SQL_VARCHAR},
    {"NCHAR", TARN_SQL_VARCHAR},
    {"TARN_SQL_DATE", TARN_SQL_DATE},
    {"DATE", TARN_SQL_DATE},
    {"TARN_SQL_TIME", TARN_SQL_TIME},
    {"TIME", TARN_SQL_TIME},
    {"TARN_SQL_DATETIME", TARN_SQL_DATETIME},
    {"DATETIME", TARN_SQL_DATETIME},
    {"TIMESTAMP", TARN_SQL_DATETIME},
    {"BOOLEAN", TARN_SQL_BOOLEAN},
    {"TARN_SQL_BLOB", TARN_SQL_BLOB},
    {"BLOB", TARN_SQL_BLOB},
    {"TARN_SQL_CLOB", TARN_SQL_CLOB},
    {"CLOB", TARN_SQL_CLOB},
    {"TARN_SQL_TEXT", TARN_SQL_TEXT},
    {"TEXT", TARN_SQL_TEXT},
};

constexpr int kTypeSizes[] = {0, 1, 1, 2, 2, 4, 4, 8, 8, 4, 8, 4};

}  // namespace

std::uint8_t GetColumnTypeCode(const char* word) {
  if (!word) {
    LogError("Column data type not supported - Error while creating column definition.\n");
    return TARN_SQL_NOT_SUPPORTED_TYPE;
  }
  for (const TypeWord& entry : kTypeWords) {
    if (AsciiEqualsNoCase(word, entry.word)) return entry.code;
  }
  return TARN_SQL_NOT_SUPPORTED_TYPE;
}

std::uint8_t WidenColumnType(std::uint8_t code, std::int32_t maxSize) {
  if ((code == TARN_SQL_CHAR || code == TARN_SQL_VARCHAR) && maxSize >= 256) return TARN_SQL_TEXT;
  return code;
}

std::string_view ColumnTypeName(std::uint8_t code) {
  constexpr std::string_view kPrefix = "TARN_SQL_";
  std::string_view name = "UNKNOWN";
  for (const TypeWord& entry : kTypeWords) {
    if (entry.code != code) continue;
    const std::string_view word = entry.word;
    if (word.starts_with(kPrefix)) return word.substr(kPrefix.size());
    if (name == "UNKNOWN") name = word;  // a code with no word of the prefix
  }
  return name;
}

int TypeSize(std::uint8_t code) { return code < std::size(kTypeSizes) ? kTypeSizes[code] : 0; }

}  // namespace kv
