#include "store/sql_identifier.h"

namespace kv {

bool IsPlainSqlIdentifier(std::string_view name, std::size_t maxLength) {
  if (name.empty() || name.size() > maxLength || (name[0] >= '0' && name[0] <= '9')) return false;
  for (const char c : name) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && !(c >= '0' && c <= '9') && c != '_') return false;
  }
  return true;
}

const std::string* FirstUnfitName(const TableDefn& definition, std::size_t maxLength) {
  auto unfit = [&](const std::string& name) { return !IsPlainSqlIdentifier(name, maxLength); };
  if (unfit(definition.name)) return &definition.name;
  for (const ColumnDefn& column : definition.columns)
    if (unfit(column.name)) return &column.name;
  if (!definition.constraints) return nullptr;
  for (const std::string& key : definition.constraints->primaryKeys)
    if (unfit(key)) return &key;
  if (definition.constraints->foreignKeys)
    for (const ForeignKeyDefn& key : *definition.constraints->foreignKeys)
      for (const std::string* name : {&key.localColumn, &key.referenceTable, &key.referenceColumn})
        if (unfit(*name)) return name;
  return nullptr;
}

}  // namespace kv
