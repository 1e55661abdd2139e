#include "dataobjects/foreign_key_chains.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "base/log_writer.h"
#include "store/data_dictionary.h"
#include "store/foreign_key_groups.h"
#include "store/value_text.h"

namespace kv {
namespace {

bool SameTable(const char* a, const char* b) { return SafeStrICmp(a, b) == 0; }

// The step of a chain: a table and a column, compared when a chain could
// come back to one.
struct Step {
  const char* table;
  const char* column;
  bool operator==(const Step& other) const {
    return SameTable(table, other.table) && SafeStrCmp(column, other.column) == 0;
  }
};

class Sorter {
 public:
  explicit Sorter(std::span<const char* const> tables) {
    for (const char* table : tables) {
      if (table && std::none_of(working_.begin(), working_.end(), [&](const char* t) { return !strcmp(t, table); }))
        working_.push_back(table);
    }
  }

  std::optional<std::vector<const char*>> Sort() {
    while (!working_.empty())
      if (!Place(working_.front())) return std::nullopt;
    return std::move(result_);
  }

 private:
  // A remaining table of that name at any position but the first.
  const char* Remaining(const char* name) const {
    for (std::size_t i = 1; i < working_.size(); ++i)
      if (SameTable(working_[i], name)) return working_[i];
    return nullptr;
  }

  // The first remaining table, other than itself, that the table references.
  const char* FirstReferenced(const char* table) const {
    const VectorOf<ForeignKeyDefn>* keys = ForeignKeysOf(GetTableDefn(table));
    if (!keys) return nullptr;
    for (const ForeignKeyDefn& key : *keys) {
      if (SameTable(key.referenceTable.c_str(), table)) continue;
      if (const char* referenced = Remaining(key.referenceTable.c_str())) return referenced;
    }
    return nullptr;
  }

  bool Place(const char* table) {
    path_.push_back(table);
    while (const char* referenced = FirstReferenced(table)) {
      if (std::find(path_.begin(), path_.end(), referenced) != path_.end()) {
        LogError("Cannot order tables %s and %s: their foreign keys form a cycle.\n", table, referenced);
        return false;
      }
      if (!Place(referenced)) return false;
    }
    path_.pop_back();
    working_.erase(std::find(working_.begin(), working_.end(), table));
    result_.push_back(table);
    return true;
  }

  std::vector<const char*> working_;
  std::vector<const char*> result_;
  std::vector<const char*> path_;
};

void Follow(Step step, std::vector<Step>& seen, std::vector<ChainEnd>& ends) {
  if (std::find(seen.begin(), seen.end(), step) != seen.end()) return;
  seen.push_back(step);
  const TableDefn* definition = GetTableDefn(step.table);
  if (!definition) {
    LogError("No table definition found for %s\n", LogText(step.table));
    return;
  }
  bool onwards = false;
  if (const VectorOf<ForeignKeyDefn>* keys = ForeignKeysOf(definition)) {
    for (const ForeignKeyDefn& key : *keys) {
      if (step.column && key.localColumn != step.column) continue;
      onwards = true;
      Follow(Step{key.referenceTable.c_str(), key.referenceColumn.c_str()}, seen, ends);
    }
  }
  if (!onwards) ends.push_back(ChainEnd{definition->name, step.column ? step.column : ""});
}

bool Reaches(Step step, const Step& target, std::vector<Step>& seen) {
  if (step == target) return true;
  if (std::find(seen.begin(), seen.end(), step) != seen.end()) return false;
  seen.push_back(step);
  const VectorOf<ForeignKeyDefn>* keys = ForeignKeysOf(GetTableDefn(step.table));
  if (!keys) return false;
  for (const ForeignKeyDefn& key : *keys) {
    if (key.localColumn == step.column &&
        Reaches(Step{key.referenceTable.c_str(), key.referenceColumn.c_str()}, target, seen))
      return true;
  }
  return false;
}

// For each key column of the owner, the first of the table's columns whose
// chain leads there; nothing when a key column is not reached.
std::optional<std::vector<std::pair<std::string, std::string>>> KeyHolders(const TableDefn& table,
                                                                           const TableDefn& owner) {
  const VectorOf<ForeignKeyDefn>* keys = ForeignKeysOf(&table);
  if (!keys) return std::nullopt;
  std::vector<std::pair<std::string, std::string>> holders;
  for (const std::string& key : owner.constraints->primaryKeys) {
    const auto leads = [&](const ForeignKeyDefn& entry) {
      return CompareRootRefTable(entry, owner.name.c_str(), key.c_str());
    };
    const auto found = std::find_if(keys->begin(), keys->end(), leads);
    if (found == keys->end()) return std::nullopt;
    holders.emplace_back(found->localColumn, key);
  }
  return holders;
}

}  // namespace

const VectorOf<ForeignKeyDefn>* ForeignKeysOf(const TableDefn* definition) {
  if (!definition || !definition->constraints || !definition->constraints->foreignKeys) return nullptr;
  return definition->constraints->foreignKeys->Empty() ? nullptr : definition->constraints->foreignKeys.get();
}

std::optional<std::vector<const char*>> SortTableByFK(std::span<const char* const> tables) {
  return Sorter(tables).Sort();
}

std::vector<ChainEnd> FindRootTable(const char* tableName, const char* columnName) {
  std::vector<ChainEnd> ends;
  std::vector<Step> seen;
  Follow(Step{tableName, columnName}, seen, ends);
  return ends;
}

bool CompareRootRefTable(const ForeignKeyDefn& entry, const char* tableName, const char* columnName) {
  std::vector<Step> seen;
  return Reaches(Step{entry.referenceTable.c_str(), entry.referenceColumn.c_str()}, Step{tableName, columnName}, seen);
}

std::optional<OwnerLink> FindOwnerLink(const char* tableName, const char* ownerTable) {
  const TableDefn* start = GetTableDefn(tableName);
  if (!start) {
    LogError("No table definition found for %s\n", LogText(tableName));
    return std::nullopt;
  }
  const TableDefn* owner = GetTableDefn(ownerTable);
  if (!owner || !owner->constraints || owner->constraints->primaryKeys.empty() || owner == start) return std::nullopt;
  // Breadth first, so that the link crosses as few tables as it can. The
  // owner itself is no table to pass through.
  struct Reached {
    const TableDefn* table;
    std::vector<ForeignKeyStep> steps;
  };
  std::deque<Reached> reached{{start, {}}};
  std::vector<const TableDefn*> seen{start, owner};
  for (; !reached.empty(); reached.pop_front()) {
    Reached& at = reached.front();
    if (auto holders = KeyHolders(*at.table, *owner))
      return OwnerLink{std::move(at.steps), at.table->name, std::move(*holders)};
    const VectorOf<ForeignKeyDefn>* keys = ForeignKeysOf(at.table);
    if (!keys) continue;
    for (const std::vector<const ForeignKeyDefn*>& group : ForeignKeyGroups(*keys)) {
      const TableDefn* next = GetTableDefn(group.front()->referenceTable.c_str());
      if (!next || std::find(seen.begin(), seen.end(), next) != seen.end()) continue;
      seen.push_back(next);
      ForeignKeyStep step{at.table->name, next->name, {}};
      for (const ForeignKeyDefn* key : group) step.columns.emplace_back(key->localColumn, key->referenceColumn);
      Reached further{next, at.steps};
      further.steps.push_back(std::move(step));
      reached.push_back(std::move(further));
    }
  }
  return std::nullopt;
}

}  // namespace kv
