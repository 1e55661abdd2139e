#include "store/typed_value.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>

#include "store/column_types.h"
#include "store/date_time.h"
#include "store/memory_pool.h"
#include "store/value_text.h"

namespace kv {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Sign and digits; false for any other text or a value beyond the type.
template <class T>
bool ParseInteger(std::string_view text, T& out) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  const std::size_t digitsFrom = !text.empty() && text[0] == '-' ? 1 : 0;
  if (text.size() <= digitsFrom || !IsDigit(text[digitsFrom])) return false;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, out);
  return result.ec == std::errc() && result.ptr == end;
}

template <class T>
std::int32_t StoreInteger(T value, int width, char* bytes) {
  // Low-order bytes first, at the type's width.
  for (int i = 0; i < width; ++i) bytes[i] = static_cast<char>(static_cast<std::uint64_t>(value) >> (8 * i));
  return width;
}

}  // namespace

std::int32_t ParseInt32(std::string_view text) {
  std::int32_t value = 0;
  return ParseInteger(text, value) ? value : 0;
}

std::int64_t ParseInt64(std::string_view text) {
  std::int64_t value = 0;
  return ParseInteger(text, value) ? value : 0;
}

double ParseDouble(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  std::size_t digits = 0;
  std::size_t i = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0 || i != text.size()) return 0;
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (result.ec != std::errc()) return 0;
  return negative ? -value : value;
}

void TypedValueBuffer::SetFixed(const void* bytes, std::int32_t length) {
  std::memcpy(bytes_, bytes, static_cast<std::size_t>(length));
  value_ = StoredValue{bytes_, length};
}

void TypedValueBuffer::SetView(std::string_view text) {
  value_ = StoredValue{text.data() ? text.data() : "", static_cast<std::int32_t>(text.size())};
}

bool ParseTypedValue(std::string_view text, std::uint8_t type, TypedValueBuffer& out) {
  out.value_ = StoredValue{};
  char bytes[8];
  switch (type) {
    case TARN_SQL_NOT_SUPPORTED_TYPE:
    case TARN_SQL_DECIMAL:
    case TARN_SQL_NUMERIC:
    case TARN_SQL_BLOB:
    case TARN_SQL_CLOB:
      out.value_ = StoredValue{text.data() ? text.data() : "", static_cast<std::int32_t>(text.size())};
      return true;
    case TARN_SQL_TINYINT:
    case TARN_SQL_UNSIGNED_TINYINT:
    case TARN_SQL_SMALLINT:
    case TARN_SQL_UNSIGNED_SMALLINT:
    case TARN_SQL_INT:
    case TARN_SQL_UNSIGNED_INT: out.SetFixed(bytes, StoreInteger(ParseInt32(text), TypeSize(type), bytes)); return true;
    case TARN_SQL_LONG_INT:
    case TARN_SQL_UNSIGNED_LONG_INT: out.SetFixed(bytes, StoreInteger(ParseInt64(text), 8, bytes)); return true;
    case TARN_SQL_FLOAT:
    case TARN_SQL_REAL: {
      const float value = static_cast<float>(ParseDouble(text));
      out.SetFixed(&value, sizeof value);
      return true;
    }
    case TARN_SQL_DOUBLE: {
      const double value = ParseDouble(text);
      out.SetFixed(&value, sizeof value);
      return true;
    }
    case TARN_SQL_CHAR:
    case TARN_SQL_VARCHAR:
    case TARN_SQL_TEXT: {
      const std::string_view stored = text.substr(0, text.find('\0'));
      out.value_ = StoredValue{stored.data() ? stored.data() : "", static_cast<std::int32_t>(stored.size())};
      return true;
    }
    case TARN_SQL_DATE:
    case TARN_SQL_TIME:
    case TARN_SQL_DATETIME: {
      const std::optional<TarnDateTime> value =
          ConvertStringToTarnDateTime(text.data() ? text.data() : "", text.size());
      if (!value) return false;
      out.SetFixed(&*value, TARN_DATETIME_LENGTH);
      return true;
    }
    case TARN_SQL_BOOLEAN: {
      if (!AsciiEqualsNoCase(text, "TRUE") && !AsciiEqualsNoCase(text, "FALSE")) return false;
      const char value = AsciiEqualsNoCase(text, "TRUE") ? 1 : 0;
      out.SetFixed(&value, 1);
      return true;
    }
    default: return false;
  }
}

OwnedValue ConvertToTypedValue(const char* text, std::int32_t& length, std::uint8_t type) {
  if (!text) return nullptr;
  const bool raw = type == TARN_SQL_NOT_SUPPORTED_TYPE || type == TARN_SQL_DECIMAL || type == TARN_SQL_NUMERIC ||
                   type == TARN_SQL_BLOB || type == TARN_SQL_CLOB;
  if (raw && length < 0) return nullptr;
  const std::string_view source =
      raw ? std::string_view(text, static_cast<std::size_t>(length)) : std::string_view(text);
  TypedValueBuffer converted;
  if (!ParseTypedValue(source, type, converted)) return nullptr;
  const StoredValue& value = converted.value();
  OwnedValue copy = CopyText(value.Bytes());
  if (copy) length = value.length;
  return copy;
}

std::optional<std::string_view> TypedValueText(const char* value, std::int32_t length, std::uint8_t type,
                                               ValueTextBuffer& scratch) {
  if (type == TARN_SQL_NOT_SUPPORTED_TYPE || type > TARN_SQL_LAST_TYPE) return std::nullopt;
  if (!value) return std::string_view("NULL");
  char* text = scratch.text;
  const std::size_t room = sizeof scratch.text;
  switch (type) {
    case TARN_SQL_TINYINT:
    case TARN_SQL_SMALLINT:
    case TARN_SQL_INT:
    case TARN_SQL_LONG_INT:
      std::snprintf(text, room, "%" PRId64, ReadSignedInteger(value, StoredIntegerWidth(length, type)));
      return std::string_view(text);
    case TARN_SQL_UNSIGNED_TINYINT:
    case TARN_SQL_UNSIGNED_SMALLINT:
    case TARN_SQL_UNSIGNED_INT:
    case TARN_SQL_UNSIGNED_LONG_INT:
      std::snprintf(text, room, "%" PRIu64, ReadUnsignedInteger(value, StoredIntegerWidth(length, type)));
      return std::string_view(text);
    case TARN_SQL_FLOAT:
    case TARN_SQL_REAL:
      if (length < 4) return std::nullopt;
      std::snprintf(text, room, "%f", static_cast<double>(ReadFloat(value)));
      return std::string_view(text);
    case TARN_SQL_DOUBLE:
      if (length < 8) return std::nullopt;
      std::snprintf(text, room, "%f", ReadDouble(value));
      return std::string_view(text);
    case TARN_SQL_DATE:
    case TARN_SQL_TIME:
    case TARN_SQL_DATETIME: {
      const std::optional<TarnGenDateTime> dateTime = ReadDateTimeValue(value, length);
      if (!dateTime || !(dateTime->parts & (TARN_DATE_PART | TARN_TIME_PART))) return std::nullopt;
      const DateTimeText formatted = FormatTarnDateTime(*dateTime);
      std::memcpy(text, formatted.text, sizeof formatted.text);
      return std::string_view(text);
    }
    case TARN_SQL_BOOLEAN: return std::string_view(length >= 1 && value[0] == 1 ? "'t'" : "'f'");
    default: return std::string_view(value, static_cast<std::size_t>(length < 0 ? 0 : length));
  }
}

std::optional<std::string> ConvertTypedValueToText(const char* value, std::int32_t length, std::uint8_t type) {
  ValueTextBuffer scratch;
  const std::optional<std::string_view> text = TypedValueText(value, length, type, scratch);
  if (!text) return std::nullopt;
  return std::string(*text);
}

const char* ConvertTypedValueToSqlText(const char* value, std::int32_t length, std::uint8_t type, MemoryPool& pool) {
  if (!value || type == TARN_SQL_NOT_SUPPORTED_TYPE || IsDateTimeType(type) || type >= TARN_SQL_BLOB) return nullptr;
  ValueTextBuffer scratch;
  const std::optional<std::string_view> text = TypedValueText(value, length, type, scratch);
  return text ? pool.CopyText(*text) : nullptr;
}

int StoredIntegerWidth(std::int32_t length, std::uint8_t type) {
  if (length == 1 || length == 2 || length == 4 || length == 8) return length;
  const int width = TypeSize(type);
  return length < width ? (length < 0 ? 0 : length) : width;
}

}  // namespace kv
