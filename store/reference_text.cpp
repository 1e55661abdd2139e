#include "store/reference_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "base/log_writer.h"
#include "store/column_types.h"
#include "store/data_dictionary.h"
#include "store/sequence_generator.h"
#include "store/typed_value.h"
#include "store/value_text.h"

namespace kv {
namespace {

// A reference text's parts: the key is the third part, rest everything
// after the second ':'.
struct ReferenceParts {
  std::string_view table;
  std::string_view column;
  std::string_view key;
  std::string_view rest;
};

ReferenceParts SplitReference(std::string_view text) {
  const std::size_t first = text.find(':');
  const std::size_t second = text.find(':', first + 1);
  ReferenceParts parts;
  parts.table = text.substr(0, first);
  parts.column = text.substr(first + 1, second - first - 1);
  parts.rest = text.substr(second + 1);
  parts.key = parts.rest.substr(0, parts.rest.find(':'));
  return parts;
}

std::string KeyText(std::string_view table, std::string_view column, std::string_view key) {
  std::string text;
  text.reserve(table.size() + column.size() + key.size() + 2);
  text.append(table).append(1, ':').append(column).append(1, ':').append(key);
  return text;
}

class IdentifierMap {
 public:
  explicit IdentifierMap(HashTable& table) : table_(table) {}

  bool Get(const std::string& text, std::int32_t& identifier) const {
    return GetMappedIdentifier(table_, text.c_str(), identifier);
  }
  void Put(const std::string& text, std::int32_t identifier) {
    if (!HashPut(&table_, text.c_str(), reinterpret_cast<void*>(static_cast<std::intptr_t>(identifier))))
      throw std::bad_alloc();
  }

 private:
  HashTable& table_;
};

struct ColumnRef {
  const TableDefn* table;
  const ColumnDefn* column;
  bool operator==(const ColumnRef&) const = default;
};

std::optional<ColumnRef> FindColumnRef(std::string_view tableName, std::string_view columnName) {
  if (tableName.empty() || columnName.empty()) return std::nullopt;
  const TableDefn* table = GetTableDefn(std::string(tableName).c_str());
  if (!table) return std::nullopt;
  for (const ColumnDefn& column : table->columns) {
    if (AsciiEqualsNoCase(column.name, columnName)) return ColumnRef{table, &column};
  }
  return std::nullopt;
}

// The foreign key whose local column this is, looked up without logging.
const ForeignKeyDefn* ForeignKeyOf(const ColumnRef& ref) {
  if (!ref.table->constraints || !ref.table->constraints->foreignKeys) return nullptr;
  for (const ForeignKeyDefn& key : *ref.table->constraints->foreignKeys) {
    if (AsciiEqualsNoCase(key.localColumn, ref.column->name)) return &key;
  }
  return nullptr;
}

// The identifier of a reference in a numeric column, or none when the
// reference names no column.
std::optional<std::int32_t> Identifier(const TableDefn& table, const ColumnDefn& column, std::string_view text,
                                       const ReferenceParts& parts, IdentifierMap& map) {
  const std::string whole(text);
  const std::string own = KeyText(table.name, column.name, parts.key);
  std::int32_t identifier = 0;
  if (map.Get(whole, identifier)) {
    map.Put(own, identifier);
    return identifier;
  }
  if (column.generatorName) {
    identifier = GenerateID(table.name.c_str(), &column);
    if (identifier != -1) {
      map.Put(whole, identifier);
      return identifier;
    }
  }
  std::optional<ColumnRef> current = FindColumnRef(parts.table, parts.column);
  if (!current) {
    LogError("Unable to get Column details for AutoID generation \n");
    return std::nullopt;
  }
  // Follow foreign keys from the referenced column to one with a generator;
  // a chain that comes back on itself has none.
  std::vector<ColumnRef> passed;
  bool generated = false;
  while (true) {
    passed.push_back(*current);
    if (current->column->generatorName) {
      generated = true;
      break;
    }
    const ForeignKeyDefn* key = ForeignKeyOf(*current);
    current = key ? FindColumnRef(key->referenceTable, key->referenceColumn) : std::nullopt;
    if (!current || std::find(passed.begin(), passed.end(), *current) != passed.end()) break;
  }
  if (generated) {
    // The first column on the way that already has an identifier for the
    // key gives it; the columns before it get it too.
    std::size_t held = 0;
    while (held < passed.size() &&
           !map.Get(KeyText(passed[held].table->name, passed[held].column->name, parts.key), identifier))
      ++held;
    if (held == passed.size()) {
      const ColumnRef& source = passed.back();
      identifier = GenerateID(source.table->name.c_str(), source.column);
      if (identifier == -1) identifier = ParseInt32(parts.key);
    }
    for (std::size_t i = 0; i < held; ++i)
      map.Put(KeyText(passed[i].table->name, passed[i].column->name, parts.key), identifier);
  } else {
    identifier = ParseInt32(parts.key);
  }
  map.Put(own, identifier);
  map.Put(whole, identifier);
  return identifier;
}

}  // namespace

void ResolveColumnText(const TableDefn& table, const ColumnDefn& column, std::string_view text, HashTable& references,
                       TypedValueBuffer& out) {
  out.Clear();
  // A text that does not convert leaves the column without a value.
  auto convert = [&](std::string_view from) {
    (void)AllocateAndCopyColumnValue(from.data(), from.size(), column.type, out);
  };
  const std::size_t first = text.find(':');
  if (first == std::string_view::npos || text.find(':', first + 1) == std::string_view::npos) {
    convert(text);
    return;
  }
  const ReferenceParts parts = SplitReference(text);
  if (AsciiEqualsNoCase(table.name, "Workflow_Statements") && AsciiEqualsNoCase(column.name, "NEXT_STATEMENT_ID") &&
      parts.key == "0") {
    const std::int32_t zero = 0;
    out.SetFixed(&zero, sizeof zero);
    return;
  }
  if (IsTextType(column.type) || column.type == TARN_SQL_BLOB) {
    convert(parts.rest);
    return;
  }
  if (IsDateTimeType(column.type)) {
    convert(text);
    return;
  }
  IdentifierMap map(references);
  const std::optional<std::int32_t> identifier = Identifier(table, column, text, parts, map);
  if (!identifier) return;
  if (IsSignedIntegerType(column.type) || IsUnsignedIntegerType(column.type)) {
    out.SetFixed(&*identifier, sizeof(std::int32_t));
    return;
  }
  // Any other column holds the identifier in its own form.
  char digits[16];
  const int length = std::snprintf(digits, sizeof digits, "%d", *identifier);
  convert(std::string_view(digits, static_cast<std::size_t>(length)));
}

bool GetMappedIdentifier(const HashTable& references, const char* text, std::int32_t& identifier) {
  const HashEntry* entry = HashGetEntry(&references, text);
  if (!entry) return false;
  identifier = static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(entry->value));
  return true;
}

}  // namespace kv
