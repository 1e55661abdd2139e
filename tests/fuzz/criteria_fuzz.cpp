// Fuzz target for the criteria language: whatever the text, parsing either
// fails or gives a tree that binds to a table of every compared column type
// and evaluates against its rows (nulls and short rows among them) the same
// way twice, without a crash; a tree that does not bind holds a number
// column compared with something that is not a number.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/object_locks.h"
#include "fuzz_support.h"
#include "store/column_types.h"
#include "store/criteria.h"

namespace kv {
namespace {

struct Table {
  VectorOf<ColumnDefn> columns;
  std::vector<std::vector<StoredValue>> rows;
  std::vector<std::string> bytes;  // what the rows' values point into

  Table() {
    const std::pair<const char*, std::uint8_t> layout[] = {
        {"I", TARN_SQL_INT},      {"S", TARN_SQL_TINYINT}, {"U", TARN_SQL_UNSIGNED_INT}, {"F", TARN_SQL_FLOAT},
        {"NAME", TARN_SQL_CHAR},  {"T", TARN_SQL_TEXT},    {"D", TARN_SQL_DATE},         {"B", TARN_SQL_BOOLEAN},
        {"L", TARN_SQL_LONG_INT}, {"V", TARN_SQL_VARCHAR}};
    for (const auto& [name, type] : layout) {
      auto column = std::make_unique<ColumnDefn>();
      column->name = name;
      column->type = type;
      if (!columns.Append(std::move(column))) std::abort();
    }
    bytes.reserve(64);
    auto value = [this](const void* data, std::size_t size) {
      bytes.emplace_back(static_cast<const char*>(data), size);
      return StoredValue{bytes.back().data(), static_cast<std::int32_t>(size)};
    };
    for (std::int32_t i : {-5, 0, 7, 2147483647}) {
      const std::int8_t small = static_cast<std::int8_t>(i);
      const std::uint32_t unsignedValue = static_cast<std::uint32_t>(i) * 3u;
      const float real = static_cast<float>(i) / 3.0f;
      const std::int64_t wide = std::int64_t{i} << 20;
      const char flag = i > 0;
      const std::string text = "row" + std::to_string(i);
      rows.push_back({value(&i, 4), value(&small, 1), value(&unsignedValue, 4), value(&real, 4),
                      value(text.data(), text.size()), value("", 0), value(&i, 4), value(&flag, 1), value(&wide, 8),
                      StoredValue{}});
    }
    rows.push_back({});                           // a row without values
    rows.push_back({rows[0][0], StoredValue{}});  // a short row
  }
};

}  // namespace
}  // namespace kv

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv;
  static Table table;
  const std::string text(reinterpret_cast<const char*>(data), size);
  ObjectLockGuard lock(CriteriaParserLockKey());
  const CriteriaTree tree = ParseCriteria(text.c_str());
  if (!tree) return 0;
  if (!BindCriteria(table.columns, tree.get())) return 0;
  for (const auto& row : table.rows) {
    const RowView view{row.data(), static_cast<std::int32_t>(row.size())};
    if (EvaluateCriteria(view, tree.get()) != EvaluateCriteria(view, tree.get()))
      fuzz::Broken("criteria_fuzz", "an evaluation that changes its mind", text);
  }
  return 0;
}
