#pragma once
// The one type vocabulary of the store: the one-byte column data-type codes,
// the words a data dictionary names them with, the byte widths of the
// fixed-width codes, and the families the store's operations treat alike.

#include <cstdint>
#include <string_view>

namespace kv {

enum TarnSqlType : std::uint8_t {
  TARN_SQL_NOT_SUPPORTED_TYPE = 0,
  TARN_SQL_TINYINT = 1,
  TARN_SQL_UNSIGNED_TINYINT = 2,
  TARN_SQL_SMALLINT = 3,
  TARN_SQL_UNSIGNED_SMALLINT = 4,
  TARN_SQL_INT = 5,
  TARN_SQL_UNSIGNED_INT = 6,
  TARN_SQL_LONG_INT = 7,
  TARN_SQL_UNSIGNED_LONG_INT = 8,
  TARN_SQL_FLOAT = 9,
  TARN_SQL_DOUBLE = 10,
  TARN_SQL_REAL = 11,
  TARN_SQL_DECIMAL = 12,
  TARN_SQL_NUMERIC = 13,
  TARN_SQL_CHAR = 14,
  TARN_SQL_VARCHAR = 15,
  TARN_SQL_DATE = 16,
  TARN_SQL_TIME = 17,
  TARN_SQL_DATETIME = 18,
  TARN_SQL_BOOLEAN = 19,
  TARN_SQL_BLOB = 20,
  TARN_SQL_CLOB = 21,
  TARN_SQL_TEXT = 22,
};

// The highest code a column can have.
constexpr std::uint8_t TARN_SQL_LAST_TYPE = TARN_SQL_TEXT;

// The code of a dictionary type word, matched without regard to case; 0 for
// an unknown word. A null word logs "Column data type not supported - Error
// while creating column definition.\n" and gives 0.
[[nodiscard]] std::uint8_t GetColumnTypeCode(const char* word);

// The name of a code as people read it: its dictionary word without the
// "TARN_SQL_" prefix ("DATE", "LONG_INT"), else its first dictionary word
// ("BOOLEAN"); "UNKNOWN" past the last code.
[[nodiscard]] std::string_view ColumnTypeName(std::uint8_t code);

// The code a column is stored with: character columns of max size 256 or
// more become TARN_SQL_TEXT.
[[nodiscard]] std::uint8_t WidenColumnType(std::uint8_t code, std::int32_t maxSize);

// Byte width of the fixed-width codes 0 to 11 (0, 1, 1, 2, 2, 4, 4, 8, 8, 4,
// 8, 4); 0 for every other code.
[[nodiscard]] int TypeSize(std::uint8_t code);

[[nodiscard]] constexpr bool IsTextType(std::uint8_t code) {
  return code == TARN_SQL_CHAR || code == TARN_SQL_VARCHAR || code == TARN_SQL_TEXT;
}
[[nodiscard]] constexpr bool IsSignedIntegerType(std::uint8_t code) {
  return code == TARN_SQL_TINYINT || code == TARN_SQL_SMALLINT || code == TARN_SQL_INT || code == TARN_SQL_LONG_INT;
}
[[nodiscard]] constexpr bool IsUnsignedIntegerType(std::uint8_t code) {
  return code == TARN_SQL_UNSIGNED_TINYINT || code == TARN_SQL_UNSIGNED_SMALLINT || code == TARN_SQL_UNSIGNED_INT ||
         code == TARN_SQL_UNSIGNED_LONG_INT;
}
[[nodiscard]] constexpr bool IsDateTimeType(std::uint8_t code) {
  return code == TARN_SQL_DATE || code == TARN_SQL_TIME || code == TARN_SQL_DATETIME;
}

}  // namespace kv
