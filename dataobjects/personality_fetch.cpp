// Personalities fetched as data objects.

#include <string>
#include <utility>
#include <vector>

#include "base/log_writer.h"
#include "dataobjects/data_object_copy.h"
#include "dataobjects/data_object_fetch.h"
#include "dataobjects/foreign_key_chains.h"
#include "dataobjects/owner_link_query.h"
#include "dataobjects/personality.h"
#include "db/sql_builder.h"
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

// The query of every entity: the dominant table, left-joined outwards
// along each constituent's link (from the dominant table to the holder of
// its key, then back along the steps to the constituent), each table
// joined once; the criteria, if any, pick among the joined rows.
SelectQueryPtr PersonalityQuery(const PersonalityDefn& personality, CriteriaExp* criteria) {
  const TableDefn* dominant = GetTableDefn(personality.dominantTable.c_str());
  if (!dominant) {
    LogError("No table definition found for %s\n", personality.dominantTable.c_str());
    return nullptr;
  }
  SelectQueryPtr query = CreateSelectQuery();
  if (!query) return nullptr;
  std::vector<std::string> joined{dominant->name};
  const auto join = [&](const std::string& from, const std::string& to,
                        std::vector<std::pair<std::string, std::string>> columns) {
    for (const std::string& table : joined)
      if (AsciiEqualsNoCase(table, to)) return true;
    joined.push_back(to);
    for (auto& [fromColumn, toColumn] : columns) std::swap(fromColumn, toColumn);
    return JoinTable(*query, from, to, columns, SQL_LEFT_JOIN);
  };
  for (const ConstituentTable& constituent : personality.constituents) {
    const std::optional<OwnerLink> link = ConstituentLink(personality, constituent);
    if (!link || !join(dominant->name, link->holder, link->keys)) return nullptr;
    for (auto step = link->steps.rbegin(); step != link->steps.rend(); ++step)
      if (!join(step->referenceTable, step->table, step->columns)) return nullptr;
  }
  if (query->joins.Empty() && !AddSelectTable(*query, dominant->name.c_str(), nullptr)) return nullptr;
  SetCriteria(*query, criteria);
  return query;
}

// The entities of a personality, with the collections of its own tables.
DataObjectPtr FetchEntities(const PersonalityDefn& personality, CriteriaExp* criteria) {
  const SelectQueryPtr query = PersonalityQuery(personality, criteria);
  return query ? GetDataObject(query.get(), PersonalityTables(personality)) : nullptr;
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
  return GuardMemory([&]() -> DataObjectPtr {
    const PersonalityDefn* personality = FetchedPersonality(name);
    if (!personality) return nullptr;
    DataObjectPtr object = FetchEntities(*personality, nullptr);
    if (!object) LogError("Cannot get DO for personality %s\n", name);
    return object;
  });
}

DataObjectPtr GetDOFromPersonalityByRowUnit(const char* name, const RowUnit* rowUnit) {
  return GuardMemory([&]() -> DataObjectPtr {
    const PersonalityDefn* personality = FetchedPersonality(name);
    return personality ? GetDataObjectByRowUnit(PersonalityTables(*personality), rowUnit) : nullptr;
  });
}

DataObjectPtr GetDOFromPersonalityByCriteria(const char* name, CriteriaExp* criteria) {
  return GuardMemory([&]() -> DataObjectPtr {
    const PersonalityDefn* personality = FetchedPersonality(name);
    if (!personality) return nullptr;
    DataObjectPtr object = FetchEntities(*personality, criteria);
    if (!object) LogError("Cannot create DataObject.\n");
    return object;
  });
}

DataObjectPtr GetDOFromPersonalities(std::span<const char* const> names) {
  return GuardMemory(
      [&]() -> DataObjectPtr { return FetchEach(names, [](const char* name) { return GetDOFromPersonality(name); }); });
}

DataObjectPtr GetDOFromPersonalitiesByRowUnit(std::span<const char* const> names, const RowUnit* rowUnit) {
  return GuardMemory([&]() -> DataObjectPtr {
    return FetchEach(names, [&](const char* name) { return GetDOFromPersonalityByRowUnit(name, rowUnit); });
  });
}

DataObjectPtr GetDOFromPersonalitiesByCriteria(std::span<const char* const> names, CriteriaExp* criteria) {
  return GuardMemory([&]() -> DataObjectPtr {
    return FetchEach(names, [&](const char* name) { return GetDOFromPersonalityByCriteria(name, criteria); });
  });
}

}  // namespace kv
