#include "db/value_reading.h"

#include <charconv>

#include "store/column_types.h"
#include "store/value_text.h"

namespace kv {

bool IsTrueText(std::string_view text) {
  return text == "1" || AsciiEqualsNoCase(text, "t") || AsciiEqualsNoCase(text, "true");
}

bool ParseDatabaseValue(std::string_view text, std::uint8_t type, TypedValueBuffer& out) {
  switch (type) {
    case TARN_SQL_BOOLEAN: {
      const char value = IsTrueText(text) ? 1 : 0;
      out.SetFixed(&value, 1);
      return true;
    }
    case TARN_SQL_FLOAT:
    case TARN_SQL_REAL:
    case TARN_SQL_DOUBLE: {
      // Drivers write large and small numbers with an exponent.
      if (!text.empty() && text[0] == '+') text.remove_prefix(1);
      double value = 0;
      const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
      if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
      if (type == TARN_SQL_DOUBLE) {
        out.SetFixed(&value, sizeof value);
      } else {
        const float narrow = static_cast<float>(value);
        out.SetFixed(&narrow, sizeof narrow);
      }
      return true;
    }
    default: return ParseTypedValue(text, type, out);
  }
}

}  // namespace kv
