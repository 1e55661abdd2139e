#include "store/column_value.h"

#include <cstring>

#include "base/log_writer.h"
#include "store/column_types.h"
#include "store/date_time.h"
#include "store/typed_value.h"
#include "store/value_text.h"

namespace kv {

bool AllocateAndCopyColumnValue(const char* text, std::size_t length, std::uint8_t type, TypedValueBuffer& out) {
  out.Clear();
  if (!text) {
    LogTrace("value parameter in AllocateAndCopyColumnValue is NULL \n");
    return false;
  }
  const std::string_view value(text, length);
  switch (type) {
    case TARN_SQL_TINYINT:
    case TARN_SQL_UNSIGNED_TINYINT:
    case TARN_SQL_SMALLINT:
    case TARN_SQL_UNSIGNED_SMALLINT:
    case TARN_SQL_INT:
    case TARN_SQL_UNSIGNED_INT: {
      const std::int32_t number = ParseInt32(value);
      out.SetFixed(&number, sizeof number);
      return true;
    }
    case TARN_SQL_LONG_INT:
    case TARN_SQL_UNSIGNED_LONG_INT: {
      const std::int64_t number = ParseInt64(value);
      out.SetFixed(&number, sizeof number);
      return true;
    }
    case TARN_SQL_FLOAT: {
      const float number = static_cast<float>(ParseDouble(value));
      out.SetFixed(&number, sizeof number);
      return true;
    }
    case TARN_SQL_DOUBLE: {
      const double number = ParseDouble(value);
      out.SetFixed(&number, sizeof number);
      return true;
    }
    case TARN_SQL_CHAR:
    case TARN_SQL_VARCHAR:
    case TARN_SQL_TEXT:
      // Texts end at a NUL wherever they are read as C texts (SQL texts,
      // data objects, criteria): a value holding one would be cut.
      if (value.find('\0') != std::string_view::npos) {
        LogError("A text value holds a NUL byte: it is refused rather than cut.\n");
        return false;
      }
      out.SetView(value);
      return true;
    case TARN_SQL_DATE:
      if (const std::optional<TarnDate> date = ParseTarnDate(value)) {
        out.SetFixed(&*date, TARN_DATE_LENGTH);
        return true;
      }
      return false;
    case TARN_SQL_TIME:
      if (const std::optional<TarnTime> time = ParseTarnTime(value)) {
        out.SetFixed(&*time, TARN_TIME_LENGTH);
        return true;
      }
      return false;
    case TARN_SQL_DATETIME:
      if (const std::optional<TarnDateTime> dateTime = ParseTarnDateTime(value)) {
        out.SetFixed(&*dateTime, TARN_DATETIME_LENGTH);
        return true;
      }
      return false;
    case TARN_SQL_BOOLEAN: {
      const char flag = AsciiEqualsNoCase(value, "false") ? 0 : 1;
      out.SetFixed(&flag, 1);
      return true;
    }
    default: return false;
  }
}

}  // namespace kv
