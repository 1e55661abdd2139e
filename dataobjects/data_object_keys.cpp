// Key strings of row units and the object's key table.
//
// A key string is the table name followed, for each primary-key column in
// key order, by "|" and the text of the value. Inside a name or a text "\",
// "|" and NUL are written "\\", "\|" and "\0", and a NULL value is "\N",
// which no text gives. So the parts of a key string can always be told
// apart: two key strings are equal only when their tables and every key
// value are, and keys of ORDERS (12, 3) and (1, 23) stay "ORDERS|12|3" and
// "ORDERS|1|23". The key strings are also proper C texts, which the key
// table compares.

#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "base/log_writer.h"
#include "dataobjects/data_object.h"
#include "dataobjects/data_object_parts.h"
#include "store/column_types.h"
#include "store/hash_table.h"
#include "store/typed_value.h"
#include "store/value_text.h"

namespace kv {
namespace {

constexpr char kSeparator = '|';
constexpr char kEscape = '\\';
constexpr std::string_view kNullValue = "\\N";

bool AppendEscaped(std::string_view text, TextBuffer& key) {
  std::size_t plain = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != kSeparator && c != kEscape && c != '\0') continue;
    const char escaped[] = {kEscape, c == '\0' ? '0' : c};
    if (key.Append(text.substr(plain, i - plain)) != STORE_SUCCESS || key.Append(std::string_view(escaped, 2)) != STORE_SUCCESS)
      return false;
    plain = i + 1;
  }
  return key.Append(text.substr(plain)) == STORE_SUCCESS;
}

// The text of a key value: the store's text of the value, except that a
// text ends at its first NUL, as the store reads texts everywhere, and a
// floating-point value is written with every digit it needs, where the
// store's six decimals would make neighbouring values one.
std::optional<std::string_view> KeyValueText(const StoredValue& value, std::uint8_t type, ValueTextBuffer& scratch) {
  if (type == TARN_SQL_FLOAT || type == TARN_SQL_REAL || type == TARN_SQL_DOUBLE) {
    const bool wide = type == TARN_SQL_DOUBLE;
    if (value.length < (wide ? 8 : 4)) return std::nullopt;
    const double number = wide ? ReadDouble(value.data) : static_cast<double>(ReadFloat(value.data));
    std::snprintf(scratch.text, sizeof scratch.text, "%.*g", wide ? 17 : 9, number);
    return std::string_view(scratch.text);
  }
  const std::optional<std::string_view> text = TypedValueText(value.data, value.length, type, scratch);
  if (text && (type == TARN_SQL_CHAR || type == TARN_SQL_VARCHAR || type == TARN_SQL_TEXT))
    return text->substr(0, text->find('\0'));
  return text;
}

}  // namespace

bool KeyText(const RowCollection& collection, const StoredValue* values, TextBuffer& key) {
  const TableDefn* definition = collection.tableDefn;
  if (!definition || !definition->constraints) {
    LogError("No Primary Keys mentioned for table %s. \n", LogText(collection.tableName));
    return false;
  }
  if (!AppendEscaped(collection.tableName, key)) return false;
  for (const std::string& name : definition->constraints->primaryKeys) {
    const std::int32_t index = collection.ColumnIndex(name.c_str());
    if (index < 0) {
      LogError("\nALL PRIMARY KEY COLUMNS SHOULD BE SELECTED FOR %s\n", collection.tableName);
      return false;
    }
    if (key.Append(std::string_view(&kSeparator, 1)) != STORE_SUCCESS) return false;
    const StoredValue& value = values[index];
    if (value.IsNull()) {
      if (key.Append(kNullValue) != STORE_SUCCESS) return false;
      continue;
    }
    ValueTextBuffer scratch;
    const std::optional<std::string_view> text = KeyValueText(value, collection.columnTypes[index], scratch);
    if (!text) {
      LogError("Cannot make the key of a row of table %s: column %s has no text.\n", collection.tableName,
               name.c_str());
      return false;
    }
    if (!AppendEscaped(*text, key)) return false;
  }
  return true;
}

const char* GenerateKeyString(DataObject& object, const RowCollection& collection, const StoredValue* values) {
  TextBuffer key(64, 64);
  if (!KeyText(collection, values, key)) return nullptr;
  return object.pool.CopyText(key.view());
}

KeyInsert CheckForPKEntry(DataObject& object, const char* key, RowUnit* row) {
  if (!key || !object.keyBuckets) return KeyInsert::kFailed;
  KeyEntry*& chain = object.keyBuckets[HashBucketIndex(key, DATA_OBJECT_KEY_BUCKETS)];
  for (const KeyEntry* entry = chain; entry; entry = entry->next)
    if (std::strcmp(entry->key, key) == 0) return KeyInsert::kPresent;
  KeyEntry* entry = object.pool.New<KeyEntry>(KeyEntry{key, row, chain});
  if (!entry) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return KeyInsert::kFailed;
  }
  chain = entry;
  return KeyInsert::kInserted;
}

RowUnit* LookUpKey(const DataObject& object, const char* key) {
  if (!key || !object.keyBuckets) return nullptr;
  for (const KeyEntry* entry = object.keyBuckets[HashBucketIndex(key, DATA_OBJECT_KEY_BUCKETS)]; entry;
       entry = entry->next)
    if (std::strcmp(entry->key, key) == 0) return entry->row;
  return nullptr;
}

}  // namespace kv
