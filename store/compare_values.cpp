#include "store/compare_values.h"

#include <cmath>

#include "base/log_writer.h"
#include "store/column_types.h"
#include "store/date_time.h"

namespace kv {
namespace {

bool SameDate(const TarnDate& a, const TarnDate& b) {
  return a.year() == b.year() && a.month == b.month && a.day == b.day;
}

bool SameTime(const TarnTime& a, const TarnTime& b) {
  return a.hours == b.hours && a.minutes == b.minutes && a.seconds == b.seconds;
}

// Whether two values of a comparable type differ; both are present.
bool Differ(std::uint8_t type, const StoredValue& a, const StoredValue& b) {
  switch (type) {
    case TARN_SQL_TINYINT:
    case TARN_SQL_SMALLINT:
    case TARN_SQL_INT:
      return ReadSignedInteger(a.data, StoredIntegerWidth(a.length, type)) !=
             ReadSignedInteger(b.data, StoredIntegerWidth(b.length, type));
    case TARN_SQL_UNSIGNED_TINYINT:
    case TARN_SQL_UNSIGNED_INT:
      return ReadUnsignedInteger(a.data, StoredIntegerWidth(a.length, type)) !=
             ReadUnsignedInteger(b.data, StoredIntegerWidth(b.length, type));
    case TARN_SQL_FLOAT:
      if (a.length < 4 || b.length < 4) return a.Bytes() != b.Bytes();
      return !(std::fabs(static_cast<double>(ReadFloat(a.data)) - static_cast<double>(ReadFloat(b.data))) < 1e-10);
    case TARN_SQL_DOUBLE:
      if (a.length < 8 || b.length < 8) return a.Bytes() != b.Bytes();
      return !(std::fabs(ReadDouble(a.data) - ReadDouble(b.data)) < 1e-10);
    case TARN_SQL_CHAR:
    case TARN_SQL_VARCHAR:
    case TARN_SQL_TEXT:
    case TARN_SQL_BOOLEAN: return a.Bytes() != b.Bytes();
    default: break;
  }
  // Dates and times, read by their stored lengths.
  const std::optional<TarnGenDateTime> x = ReadDateTimeValue(a.data, a.length);
  const std::optional<TarnGenDateTime> y = ReadDateTimeValue(b.data, b.length);
  if (!x || !y) return a.Bytes() != b.Bytes();
  const bool dates = SameDate(x->date, y->date);
  const bool times = SameTime(x->time, y->time);
  if (type == TARN_SQL_DATE) return !dates;
  if (type == TARN_SQL_TIME) return !times;
  return !(dates && times);
}

bool IsComparable(std::uint8_t type) {
  return type == TARN_SQL_TINYINT || type == TARN_SQL_UNSIGNED_TINYINT || type == TARN_SQL_SMALLINT ||
         type == TARN_SQL_INT || type == TARN_SQL_UNSIGNED_INT || type == TARN_SQL_FLOAT || type == TARN_SQL_DOUBLE ||
         IsTextType(type) || type == TARN_SQL_BOOLEAN || IsDateTimeType(type);
}

}  // namespace

bool CompareValues(std::uint8_t type, const StoredValue& a, const StoredValue& b) {
  LogTrace("@@@ Inside CompareValues @@@\n");
  if (!IsComparable(type)) {
    LogError("Invalid type.  Cannot compare values.\n");
    return false;
  }
  if (a.IsNull() || b.IsNull()) return a.IsNull() != b.IsNull();
  return Differ(type, a, b);
}

}  // namespace kv
