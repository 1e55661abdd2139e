#include "store/table_text.h"

#include <new>
#include <vector>

#include "base/log_writer.h"
#include "base/text_format.h"
#include "store/column_types.h"
#include "store/typed_value.h"

namespace kv {
namespace {

// Builds the layout of rows of a table or view; rows given by a walk that
// calls the visitor once per row.
class Layout {
 public:
  explicit Layout(const ColumnSource& columns) : types_(columns.Types()) {
    for (const char* name : columns.Names()) {
      text_ += name;
      text_ += '\t';
    }
    text_ += '\n';
  }

  void AddRow(const RowObject& row) {
    for (std::size_t i = 0; i < types_.size(); ++i) {
      AppendValueText(text_, row.values[i], types_[i]);
      text_ += '\t';
    }
    text_ += '\n';
  }

  std::string Take() { return std::move(text_); }

 private:
  std::vector<std::uint8_t> types_;
  std::string text_;
};

std::optional<std::string> TableText(const TableData& table) {
  try {
    Layout layout(table.Columns());
    for (const RowObject* row = table.firstRow; row; row = row->next) layout.AddRow(*row);
    std::string text = layout.Take();
    LogTrace("String Value of Relvar Data\n %s\n", text.c_str());
    return text;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return std::nullopt;
  }
}

void LogLayout(const std::optional<std::string>& text) {
  if (text) LogDebug("%s", text->c_str());
}

}  // namespace

void AppendValueText(std::string& text, const StoredValue& value, std::uint8_t type) {
  if (value.IsNull()) {
    text += "NULL";
    return;
  }
  if (type == TARN_SQL_BOOLEAN) {
    text += Format("%d", value.length > 0 ? static_cast<int>(value.data[0]) : 0);
    return;
  }
  ValueTextBuffer scratch;
  const std::optional<std::string_view> shown =
      type == TARN_SQL_BLOB ? std::nullopt : TypedValueText(value.data, value.length, type, scratch);
  if (shown)
    text += *shown;
  else
    text += Format("(%d bytes)", value.length);
}

std::optional<std::string> ToStringTableData(const char* name) {
  const TableData* table = GetTableDataByName(name);
  if (!table) return std::nullopt;
  if (table->kind == TABLE_DATA_KIND_VIEW) return ToStringCustomViewData(name);
  return TableText(*table);
}

std::optional<std::string> ToStringCustomViewData(const char* name) {
  const TableData* view = GetTableDataByName(name);
  if (!view || view->kind != TABLE_DATA_KIND_VIEW) return std::nullopt;
  return TableText(*view);
}

std::optional<std::string> ToStringResultData(const ResultData& result) {
  try {
    Layout layout(result.Columns());
    for (const ResultNode* node = result.first; node; node = node->next) {
      if (!(node->row->state & ROW_STATE_DELETED)) layout.AddRow(*node->row);
    }
    return layout.Take();
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return std::nullopt;
  }
}

void PrintTableData(const char* name) { LogLayout(ToStringTableData(name)); }

void PrintCustomViewData(const char* name) { LogLayout(ToStringCustomViewData(name)); }

void PrintResultData(const ResultData* result) {
  if (result) LogLayout(ToStringResultData(*result));
}

}  // namespace kv
