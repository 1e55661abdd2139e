// The process-wide personalities and what they tell about themselves.

#include <algorithm>
#include <new>

#include "base/log_writer.h"
#include "dataobjects/personality.h"
#include "db/sql_builder.h"
#include "store/data_dictionary.h"
#include "store/text_buffer.h"

namespace kv {

PersonalityState& Personalities() {
  static PersonalityState state;
  return state;
}

void ResetPersonalities() {
  PersonalityState& state = Personalities();
  state.gv_personalityDefnVect.reset();
  state.indexedTables.clear();
}

int InitPersonality() {
  PersonalityState& state = Personalities();
  if (!state.gv_personalityDefnVect) {
    state.gv_personalityDefnVect.reset(new (std::nothrow) VectorOf<PersonalityDefn>);
    if (!state.gv_personalityDefnVect) {
      LogError("MEMORY_ALLOCATION_FAILURE\n");
      return STORE_NO_MEMORY;
    }
  }
  return STORE_SUCCESS;
}

const PersonalityDefn* GetPersonalityDefn(const char* name) {
  if (!name) {
    LogError("Cannot get personality.  Personality name is NULL\n");
    return nullptr;
  }
  if (const auto* personalities = Personalities().gv_personalityDefnVect.get()) {
    for (const PersonalityDefn& personality : *personalities)
      if (personality.name == name) return &personality;
  }
  LogError("Personality %s not found in gv_personalityDefnVect\n", name);
  return nullptr;
}

namespace {

// The personality of a name for an operation that logs its own reasons
// for a missing name and a missing personality.
const PersonalityDefn* NamedPersonality(const char* name, const char* noName, const char* noPersonality) {
  if (!name) {
    LogError("%s", noName);
    return nullptr;
  }
  const PersonalityDefn* personality = GetPersonalityDefn(name);
  if (!personality) LogError("%s", noPersonality);
  return personality;
}

}  // namespace

std::optional<std::string> PersonalityDefnText(const char* name) {
  return GuardMemory([&]() -> std::optional<std::string> {
    const PersonalityDefn* personality =
        NamedPersonality(name, "Cannot print personality definition.  PersonalityName is NULL\n",
                         "Cannot print PersonalityDefn.  personalityDefnPtr is NULL\n");
    if (!personality) return std::nullopt;
    TextBuffer text(1024, 1024);
    (void)text.AppendFormat("\nPersonality Name: %s\n", personality->name.c_str());
    (void)text.AppendFormat("Description: %s\n", personality->description.c_str());
    (void)text.AppendFormat("Dominant Table: %s\n\n", personality->dominantTable.c_str());
    (void)text.Append("Constituent Table Information\n");
    for (const ConstituentTable& constituent : personality->constituents) {
      (void)text.AppendFormat("Constituent Table Name: %s\n", constituent.tableName.c_str());
      (void)text.AppendFormat("Constituent Table Index: %d\n", constituent.tableIndex);
      (void)text.AppendFormat("Foreign Key: %s\n", constituent.foreignKey.c_str());
      (void)text.AppendFormat("Mandatory Status: %u\n\n", constituent.mandatory);
    }
    return text.ToString();
  });
}

void PrintPersonalityDefn(const char* name) {
  if (const std::optional<std::string> text = PersonalityDefnText(name)) LogDebug("%s", text->c_str());
}

std::optional<std::vector<std::string>> GetConstituentTables(const char* name) {
  return GuardMemory([&]() -> std::optional<std::vector<std::string>> {
    const PersonalityDefn* personality =
        NamedPersonality(name, "Cannot get constituent tables list.  PersonalityName is NULL\n",
                         "Cannot get constituent tables list.  PersonalityDefn is NULL\n");
    if (!personality) return std::nullopt;
    std::vector<std::string> tables;
    for (const ConstituentTable& constituent : personality->constituents) tables.push_back(constituent.tableName);
    return tables;
  });
}

namespace {

template <class Field>
std::optional<std::vector<std::string>> EveryPersonality(Field field) {
  const auto* personalities = Personalities().gv_personalityDefnVect.get();
  if (!personalities || personalities->Empty()) return std::nullopt;
  std::vector<std::string> values;
  for (const PersonalityDefn& personality : *personalities) values.push_back(field(personality));
  return values;
}

}  // namespace

std::optional<std::vector<std::string>> GetDominantTables() {
  return GuardMemory([&]() -> std::optional<std::vector<std::string>> {
    return EveryPersonality([](const PersonalityDefn& personality) { return personality.dominantTable; });
  });
}

std::optional<std::vector<std::string>> GetPersonalityNames() {
  return GuardMemory([&]() -> std::optional<std::vector<std::string>> {
    return EveryPersonality([](const PersonalityDefn& personality) { return personality.name; });
  });
}

bool IsDominantTable(const char* tableName) {
  const auto* personalities = Personalities().gv_personalityDefnVect.get();
  if (!tableName || !personalities) return false;
  return std::any_of(personalities->begin(), personalities->end(),
                     [&](const PersonalityDefn& personality) { return personality.dominantTable == tableName; });
}

std::optional<OwnerLink> ConstituentLink(const PersonalityDefn& personality, const ConstituentTable& constituent) {
  std::optional<OwnerLink> link = FindOwnerLink(constituent.tableName.c_str(), personality.dominantTable.c_str());
  if (!link) {
    const TableDefn* dominant = GetTableDefn(personality.dominantTable.c_str());
    std::string keys;
    if (dominant && dominant->constraints)
      for (const std::string& key : dominant->constraints->primaryKeys) keys += (keys.empty() ? "" : ",") + key;
    LogError("Constituent table %s does not refer to %s.%s.\n", constituent.tableName.c_str(),
             personality.dominantTable.c_str(), keys.c_str());
  }
  return link;
}

std::optional<std::vector<const ColumnDefn*>> GetPKColumnInfo(const char* tableName) {
  return GuardMemory([&]() -> std::optional<std::vector<const ColumnDefn*>> {
    if (!tableName) {
      LogError("Cannot get PKColumnInfo.  TableName is NULL\n");
      return std::nullopt;
    }
    const TableDefn* definition = GetTableDefn(tableName);
    if (!definition) {
      LogError("No table definition found for %s.\n", tableName);
      return std::nullopt;
    }
    if (!definition->constraints) {
      LogError("No constraints for table %s\n", tableName);
      return std::nullopt;
    }
    const std::vector<std::string>& keys = definition->constraints->primaryKeys;
    std::vector<const ColumnDefn*> columns;
    for (const ColumnDefn& column : definition->columns)
      if (std::find(keys.begin(), keys.end(), column.name) != keys.end()) columns.push_back(&column);
    return columns;
  });
}

}  // namespace kv
