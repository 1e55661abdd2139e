#include "store/use_cases.h"

#include <algorithm>
#include <new>
#include <string_view>

#include "base/log_writer.h"
#include "base/text_format.h"
#include "store/data_dictionary.h"
#include "store/value_text.h"
#include "store/xml_writers.h"

namespace kv {
namespace {

bool Contains(const std::vector<std::string>& names, std::string_view name) {
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& item) { return AsciiEqualsNoCase(item, name); });
}

bool IsUniqueColumn(const TableDefn& table, std::string_view name) {
  for (const ColumnDefn& column : table.columns) {
    if (AsciiEqualsNoCase(column.name, name)) return column.unique != 0;
  }
  return false;
}

void Add(int number, const ForeignKeyDefn* foreignKey, const std::string& tableName) {
  auto entry = std::make_unique<UseCaseEntry>();
  entry->foreignKey = foreignKey;
  entry->tableName = tableName;
  if (!UseCases().lists[static_cast<std::size_t>(number)]->Append(std::move(entry))) throw std::bad_alloc();
}

// Sorts one table into its list by its primary key (P columns) and its
// foreign-key entries (F).
void ClassifyTable(const TableDefn& table) {
  const VectorOf<ForeignKeyDefn>* foreignKeys = table.constraints ? table.constraints->foreignKeys.get() : nullptr;
  if (!foreignKeys) {
    LogDebug("\nThere are no foreign keys for table %s.\n", table.name.c_str());
    Add(0, nullptr, table.name);
    return;
  }
  const std::vector<std::string>& keys = table.constraints->primaryKeys;
  const std::int32_t p = table.constraints->primaryKeyCount();
  const std::int32_t f = foreignKeys->Count();
  LogDebug("\nTable Name: %s\n", table.name.c_str());
  LogDebug("PK Count: %d\n", p);
  LogDebug("FK Count: %d\n", f);
  if (f == 1) {
    const ForeignKeyDefn* key = foreignKeys->First();
    const bool onKey = Contains(keys, key->localColumn);
    if (p == 1 && onKey)
      Add(key->bidirectional ? 2 : 1, key, table.name);
    else if (p > 1 && onKey)
      Add(3, key, table.name);
    else if (p >= 1 && !onKey)
      Add(IsUniqueColumn(table, key->localColumn) ? 5 : 4, key, table.name);
    return;
  }
  if (f <= 1 || p <= 0) return;
  const ForeignKeyDefn* first = foreignKeys->First();
  bool oneTable = true;
  std::int32_t onKey = 0;
  for (const ForeignKeyDefn& key : *foreignKeys) {
    oneTable = oneTable && AsciiEqualsNoCase(key.referenceTable, first->referenceTable);
    onKey += Contains(keys, key.localColumn) ? 1 : 0;
  }
  if (!oneTable) {
    Add(0, nullptr, table.name);
  } else if (onKey == p) {
    for (const ForeignKeyDefn& key : *foreignKeys) Add(key.bidirectional ? 7 : 6, &key, table.name);
  } else if (onKey < p) {
    for (const ForeignKeyDefn& key : *foreignKeys) Add(8, &key, table.name);
  }
}

bool SameReference(const ForeignKeyDefn& key, const DistinctSet& set) {
  return AsciiEqualsNoCase(key.referenceColumn, set.referenceColumn) &&
         AsciiEqualsNoCase(key.referenceTable, set.referenceTable);
}

// One record per reference column and table of the list's entries.
void CreateDistinctSetForUseCase(const VectorOf<UseCaseEntry>& list) {
  VectorOf<DistinctSet>& sets = *UseCases().distinctSets;
  for (const UseCaseEntry& entry : list) {
    const ForeignKeyDefn& key = *entry.foreignKey;
    if (std::any_of(sets.begin(), sets.end(), [&](const DistinctSet& set) { return SameReference(key, set); }))
      continue;
    auto set = std::make_unique<DistinctSet>(
        DistinctSet{key.referenceColumn, key.referenceTable, key.localColumn, entry.tableName});
    if (!sets.Append(std::move(set))) throw std::bad_alloc();
  }
}

// The set a set's reference leads to: the last set whose local column and
// table are its reference column and table, followed in turn. A chain
// that comes back to a set already passed stops there.
std::size_t FindRootRef(const std::vector<const DistinctSet*>& sets, std::size_t start) {
  std::vector<bool> passed(sets.size(), false);
  std::size_t root = start;
  while (!passed[root]) {
    passed[root] = true;
    std::size_t parent = sets.size();
    for (std::size_t j = 0; j < sets.size(); ++j) {
      if (AsciiEqualsNoCase(sets[j]->localColumn, sets[root]->referenceColumn) &&
          AsciiEqualsNoCase(sets[j]->localTable, sets[root]->referenceTable))
        parent = j;
    }
    if (parent == sets.size() || passed[parent]) break;
    root = parent;
  }
  return root;
}

// The groups of a list: per distinct set the local columns of the entries
// that refer to it, merged into the group of the set their chain leads to.
std::vector<UseCaseGroup> AddToAppUseCase(const VectorOf<UseCaseEntry>& list) {
  std::vector<const DistinctSet*> sets;
  for (const DistinctSet& set : *UseCases().distinctSets) sets.push_back(&set);
  LogDebug("\nSize of DistinctSetVect = %d\n", static_cast<int>(sets.size()));
  std::vector<UseCaseGroup> groups;
  for (std::size_t d = 0; d < sets.size(); ++d) {
    const DistinctSet& set = *sets[d];
    const int n = static_cast<int>(d);
    LogDebug("\nDistinctSet%d->refColumnName: %s\n", n, set.referenceColumn.c_str());
    LogDebug("DistinctSet%d->refTableName: %s\n", n, set.referenceTable.c_str());
    LogDebug("DistinctSet%d->localColumnName: %s\n", n, set.localColumn.c_str());
    LogDebug("DistinctSet%d->localTableName: %s\n", n, set.localTable.c_str());
    UseCaseGroup group{set, {}};
    for (const UseCaseEntry& entry : list) {
      if (!SameReference(*entry.foreignKey, set)) continue;
      const int k = static_cast<int>(group.members.size());
      group.members.push_back(UseCaseMember{entry.foreignKey->localColumn, entry.tableName});
      LogDebug("\naddToUseCasePtr%d->columnName: %s\n", k, entry.foreignKey->localColumn.c_str());
      LogDebug("addToUseCasePtr%d->tableName: %s\n", k, entry.tableName.c_str());
    }
    groups.push_back(std::move(group));
  }
  for (std::size_t i = 0; i < sets.size(); ++i) {
    const std::size_t root = FindRootRef(sets, i);
    LogDebug("\nValue of root index: %d\n", static_cast<int>(root));
    if (root == i) continue;
    std::vector<UseCaseMember>& target = groups[root].members;
    target.insert(target.end(), groups[i].members.begin(), groups[i].members.end());
    groups[i].members.clear();
    LogDebug("\nMerged elements of %d with %d\n", static_cast<int>(i), static_cast<int>(root));
  }
  std::erase_if(groups, [](const UseCaseGroup& group) { return group.members.empty(); });
  return groups;
}

// A sample document of a group: the referenced table's row holding its
// members' rows, directly (lists 1 to 5, one row each for 1, 2 and 4, two
// for 3 and 5) or in "<table>List" wrappers (lists 6 to 8).
std::string SampleText(const UseCaseGroup& group, int number) {
  const std::string key = Format("%s:%s:1", group.root.referenceTable.c_str(), group.root.referenceColumn.c_str());
  const bool wrapped = number >= 6;
  const int rows = number == 3 || number == 5 || number == 8 ? 2 : 1;
  std::string text =
      Format("\n<%s %s=\"%s\" >\n", group.root.referenceTable.c_str(), group.root.referenceColumn.c_str(), key.c_str());
  for (const UseCaseMember& member : group.members) {
    const char* indent = wrapped ? "\t\t" : "\t";
    if (wrapped) text += Format("\t<%sList>\n", member.table.c_str());
    for (int row = 0; row < rows; ++row)
      text += Format("%s<%s %s=\"%s\" />\n", indent, member.table.c_str(), member.column.c_str(), key.c_str());
    if (wrapped) text += Format("\t</%sList>\n", member.table.c_str());
  }
  text += Format("</%s>\n", group.root.referenceTable.c_str());
  return text;
}

}  // namespace

UseCaseState& UseCases() {
  static UseCaseState state;
  return state;
}

void ResetUseCases() { UseCases() = UseCaseState{}; }

bool InitUseCaseVectors() {
  LogTrace("@@@ Inside InitUseCaseVectors @@@\n");
  UseCaseState& state = UseCases();
  for (auto& list : state.lists) {
    list.reset(new (std::nothrow) VectorOf<UseCaseEntry>);
    if (!list) return false;
  }
  state.distinctSets.reset(new (std::nothrow) VectorOf<DistinctSet>);
  for (auto& groups : state.groups) groups.clear();
  return state.distinctSets != nullptr;
}

void CheckForEntry(VectorOf<UseCaseEntry>& list, int number) {
  LogTrace("@@@ Inside CheckForEntry @@@\n");
  UseCaseState& state = UseCases();
  if (!state.distinctSets && !InitUseCaseVectors()) return;
  if (list.Empty()) {
    LogDebug("\nUseCase%dVect has no entries.\n", number);
  } else if (number == 0) {
    LogDebug("\nProcessing UseCase0Vect\n");
    std::vector<const char*> names;
    for (const UseCaseEntry& entry : list) names.push_back(entry.tableName.c_str());
    (void)ConvertDOtoXMLBuffer(names, "usecase9");
  } else {
    LogDebug("\nProcessing UseCase%dVect\n", number);
    CreateDistinctSetForUseCase(list);
    std::vector<UseCaseGroup>& groups = state.groups[static_cast<std::size_t>(number)];
    groups = AddToAppUseCase(list);
    for (const UseCaseGroup& group : groups) LogDebug("%s", SampleText(group, number).c_str());
  }
  state.distinctSets->Clear();
  LogDebug("\nEnd of UseCase%dVect\n", number);
}

bool IdentifyUseCase() {
  LogTrace("@@@ Inside IdentifyUseCase @@@\n");
  try {
    if (!InitUseCaseVectors()) throw std::bad_alloc();
    for (const TableDefn& table : DataDictionary().gv_tableDefnVect) ClassifyTable(table);
    PrintAllTableDefns();
    UseCaseState& state = UseCases();
    for (int number = 0; number < USE_CASE_COUNT; ++number)
      CheckForEntry(*state.lists[static_cast<std::size_t>(number)], number);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
  return true;
}

}  // namespace kv
