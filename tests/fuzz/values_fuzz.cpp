// Fuzz target for the value conversions and the date and time parsers: every
// text converts, or fails to, by every column type without a crash; what a
// conversion makes has a display text; a date, time or date-time that parses
// prints as a text that parses back to the same value.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "store/column_types.h"
#include "store/column_value.h"
#include "store/date_time.h"
#include "store/typed_value.h"

namespace {

template <class Value, class Parse, class Format>
void RoundTrip(std::string_view text, Parse parse, Format format, const char* what) {
  const std::optional<Value> value = parse(text);
  if (!value) return;
  const auto printed = format(*value);
  const std::optional<Value> again = parse(printed.view());
  if (!again || std::memcmp(&*again, &*value, sizeof(Value)) != 0) kv::fuzz::Broken("values_fuzz", what, text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv;
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)ParseInt32(text);
  (void)ParseInt64(text);
  (void)ParseDouble(text);
  for (std::uint8_t type = 0; type <= TARN_SQL_LAST_TYPE + 1; ++type) {
    std::int32_t length = static_cast<std::int32_t>(text.size());
    const OwnedValue owned = ConvertToTypedValue(text.c_str(), length, type);
    if (owned && length >= 0 && type != TARN_SQL_LAST_TYPE + 1) {
      ValueTextBuffer scratch;
      (void)TypedValueText(owned.get(), length, type, scratch);
    }
    TypedValueBuffer buffer;
    if (AllocateAndCopyColumnValue(text.data(), text.size(), type, buffer)) {
      const StoredValue value = buffer.value();
      if (value.length < 0) fuzz::Broken("values_fuzz", "a column value of negative length", text);
    }
  }
  RoundTrip<TarnDate>(text, ParseTarnDate, FormatTarnDate, "a date that does not print as itself");
  RoundTrip<TarnTime>(text, ParseTarnTime, FormatTarnTime, "a time that does not print as itself");
  RoundTrip<TarnDateTime>(text, ParseTarnDateTime, FormatTarnDateTime, "a date-time that does not print as itself");
  (void)ConvertStringToTarnDateTime(text.c_str(), text.size());
  (void)ConvertStringToTarnGenDateTime(text.c_str());
  return 0;
}
