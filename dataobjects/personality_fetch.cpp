// Personalities fetched as data objects.

#include <vector>

#include "base/log_writer.h"
#include "dataobjects/data_object_copy.h"
#include "dataobjects/data_object_fetch.h"
#include "dataobjects/foreign_key_chains.h"
#include "dataobjects/personality.h"
#include "store/data_dictionary.h"
#include "store/value_text.h"

namespace kv {
namespace {

// The personality of a name for the fetches, or null (logged).
const PersonalityDefn* FetchedPersonality(const char* name) {
  if (!name) {
    LogError("Cannot get Personality.  personalityName is NULL\n");
    return nullptr;
  }
  const PersonalityDefn* personality = GetPersonalityDefn(name);
  if (!personality) LogError("No personality found for %s\n", name);
  return personality;
}

// The dominant table followed by the constituents.
std::vector<const char*> PersonalityTables(const PersonalityDefn& personality) {
  std::vector<const char*> tables{personality.dominantTable.c_str()};
  for (const ConstituentTable& constituent : personality.constituents) tables.push_back(constituent.tableName.c_str());
  return tables;
}

// The constituent's local column whose chain ends at the dominant key
// column, or null.
const char* JoinColumn(const TableDefn& constituent, const std::string& dominant, const std::string& keyColumn) {
  const VectorOf<ForeignKeyDefn>* keys = ForeignKeysOf(&constituent);
  if (!keys) return nullptr;
  for (const ForeignKeyDefn& entry : *keys) {
    for (const ChainEnd& end : FindRootTable(constituent.name.c_str(), entry.localColumn.c_str()))
      if (AsciiEqualsNoCase(end.table, dominant) && end.column == keyColumn) return entry.localColumn.c_str();
  }
  return nullptr;
}

// A left join of the dominant table with a constituent on every key column.
bool AddConstituentJoin(SelectQuery& query, const PersonalityDefn& personality, const ConstituentTable& constituent,
                        const std::vector<const ColumnDefn*>& keys, bool first) {
  const TableDefn* definition = GetTableDefn(constituent.tableName.c_str());
  if (!definition) {
    LogError("No table definition found for %s\n", constituent.tableName.c_str());
    return false;
  }
  const char* dominant = personality.dominantTable.c_str();
  SelectColumnList* baseColumns = MakeColumnList(query);
  SelectColumnList* referenceColumns = MakeColumnList(query);
  for (const ColumnDefn* key : keys) {
    const char* local = JoinColumn(*definition, personality.dominantTable, key->name);
    if (!local) {
      LogError("Constituent table %s does not refer to %s.%s.\n", constituent.tableName.c_str(), dominant,
               key->name.c_str());
      return false;
    }
    SelectColumn* base = MakeSelectColumn(query, dominant, nullptr, key->name.c_str(), nullptr, key->type);
    SelectColumn* reference =
        MakeSelectColumn(query, constituent.tableName.c_str(), nullptr, local, nullptr, key->type);
    if (!AppendColumn(query, baseColumns, base) || !AppendColumn(query, referenceColumns, reference)) return false;
    base->op = reference->op = SQL_OP_EQ;
  }
  return AddSelectJoin(query, MakeSelectJoin(query, first ? dominant : nullptr, nullptr, constituent.tableName.c_str(),
                                             nullptr, SQL_LEFT_JOIN, baseColumns, referenceColumns));
}

template <class Fetch>
DataObjectPtr FetchEach(std::span<const char* const> names, Fetch fetch) {
  DataObjectPtr merged = CreateDataObject();
  if (!merged) return nullptr;
  for (const char* name : names) {
    const DataObjectPtr one = fetch(name);
    if (!MergeDataObject(merged.get(), one.get())) {
      LogError("Cannot Merge DO's.\n");
      return nullptr;
    }
  }
  return merged;
}

}  // namespace

DataObjectPtr GetDOFromPersonality(const char* name) {
  const PersonalityDefn* personality = FetchedPersonality(name);
  if (!personality) return nullptr;
  const std::optional<std::vector<const ColumnDefn*>> keys = GetPKColumnInfo(personality->dominantTable.c_str());
  SelectQueryPtr query = CreateSelectQuery();
  bool built = keys && !keys->empty() && query;
  if (built && personality->constituents.Empty())
    built = AddSelectTable(*query, personality->dominantTable.c_str(), nullptr);
  bool first = true;
  for (const ConstituentTable& constituent : personality->constituents) {
    built = built && AddConstituentJoin(*query, *personality, constituent, *keys, first);
    first = false;
  }
  DataObjectPtr object = built ? GetDataObject(query.get()) : nullptr;
  if (!object) LogError("Cannot get DO for personality %s\n", name);
  return object;
}

DataObjectPtr GetDOFromPersonalityByRowUnit(const char* name, const RowUnit* rowUnit) {
  const PersonalityDefn* personality = FetchedPersonality(name);
  return personality ? GetDataObjectByRowUnit(PersonalityTables(*personality), rowUnit) : nullptr;
}

DataObjectPtr GetDOFromPersonalityByCriteria(const char* name, CriteriaExp* criteria) {
  const PersonalityDefn* personality = FetchedPersonality(name);
  return personality ? GetDataObjectByCriteria(PersonalityTables(*personality), criteria) : nullptr;
}

DataObjectPtr GetDOFromPersonalities(std::span<const char* const> names) {
  return FetchEach(names, [](const char* name) { return GetDOFromPersonality(name); });
}

DataObjectPtr GetDOFromPersonalitiesByRowUnit(std::span<const char* const> names, const RowUnit* rowUnit) {
  return FetchEach(names, [&](const char* name) { return GetDOFromPersonalityByRowUnit(name, rowUnit); });
}

DataObjectPtr GetDOFromPersonalitiesByCriteria(std::span<const char* const> names, CriteriaExp* criteria) {
  return FetchEach(names, [&](const char* name) { return GetDOFromPersonalityByCriteria(name, criteria); });
}

}  // namespace kv
