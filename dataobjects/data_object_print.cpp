// A data object written out for people: its tables, their columns and the
// values and state of every row unit.

#include "base/log_writer.h"
#include "dataobjects/data_object.h"
#include "db/sql_builder.h"
#include "store/column_types.h"
#include "store/text_buffer.h"
#include "store/typed_value.h"

namespace kv {
namespace {

void AppendValue(TextBuffer& text, const StoredValue& value, std::uint8_t type) {
  if (value.IsNull()) {
    (void)text.Append(" NULL\t");
    return;
  }
  switch (type) {
    case TARN_SQL_TINYINT:
    case TARN_SQL_UNSIGNED_TINYINT:
    case TARN_SQL_SMALLINT:
    case TARN_SQL_INT:
    case TARN_SQL_UNSIGNED_INT:
      (void)text.AppendFormat(" %d\t",
                              static_cast<int>(ReadSignedInteger(value.data, StoredIntegerWidth(value.length, type))));
      return;
    case TARN_SQL_BOOLEAN: (void)text.AppendFormat(" %d\t", value.length >= 1 ? value.data[0] : 0); return;
    case TARN_SQL_FLOAT:
      if (value.length >= 4) (void)text.AppendFormat(" %f\t", static_cast<double>(ReadFloat(value.data)));
      return;
    case TARN_SQL_DOUBLE:
      if (value.length >= 8) (void)text.AppendFormat(" %f\t", ReadDouble(value.data));
      return;
    default: break;
  }
  ValueTextBuffer scratch;
  const std::optional<std::string_view> shown = TypedValueText(value.data, value.length, type, scratch);
  (void)text.Append(" ");
  (void)text.Append(shown ? *shown : std::string_view("?"));
  (void)text.Append("\t");
}

}  // namespace

std::string DataObjectText(const DataObject* object) {
  return GuardMemory([&]() -> std::string {
    if (!object) return {};
    TextBuffer text(4096, 4096);
    (void)text.Append("Tables selected in DataObject: \n");
    for (const RowCollection* collection = object->firstCollection; collection; collection = collection->next) {
      (void)text.AppendFormat("Table Name: %s\n", collection->tableName);
      for (std::int32_t i = 0; i < collection->columnCount; ++i)
        (void)text.AppendFormat("%s\t", collection->columnNames[i]);
      (void)text.Append("RowState\n");
      for (const RowUnit* row = collection->firstRow; row; row = row->next) {
        for (std::int32_t i = 0; i < collection->columnCount && i < row->valueCount; ++i)
          AppendValue(text, row->values[i], collection->columnTypes[i]);
        (void)text.AppendFormat("%d\n", row->state);
      }
    }
    return text.ToString();
  });
}

void PrintDataObject(const DataObject* object) {
  if (!object) {
    LogError("Cannot print DataObject.  dataObjectPtr is NULL\n");
    return;
  }
  LogDebug("%s", DataObjectText(object).c_str());
}

}  // namespace kv
