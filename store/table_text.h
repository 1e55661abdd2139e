#pragma once
// The text layout of tables, views and results: one line with every column
// name followed by a tab, then one line per row with every value followed
// by a tab. Integers print in decimal, floating values as "%f", texts as
// they are, dates and times in their text forms, Booleans as 1 or 0 and
// NULL as "NULL".

#include <cstdint>
#include <optional>
#include <string>

#include "store/result_data.h"
#include "store/table_data.h"

namespace kv {

// A fresh text of the whole table, or null for an unknown name (a view is
// handed to ToStringCustomViewData).
std::optional<std::string> ToStringTableData(const char* name);
std::optional<std::string> ToStringCustomViewData(const char* name);
// The rows of a result whose deleted bit is not set; null when memory runs out.
std::optional<std::string> ToStringResultData(const ResultData& result);

// The same layouts to the store log at DEBUG.
void PrintTableData(const char* name);
void PrintCustomViewData(const char* name);
void PrintResultData(const ResultData* result);

// The display text of one stored value of a column type, appended to text.
void AppendValueText(std::string& text, const StoredValue& value, std::uint8_t type);

}  // namespace kv
