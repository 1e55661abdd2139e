#pragma once
// The use-case analysis: the tables of the data dictionary sorted into nine
// groups by the shape of their keys, related tables joined into groups by
// the columns their foreign keys refer to, and a sample document per group
// written to the store log. It changes nothing in the store.
//
//   UseCase0  no foreign key, or several to different tables
//   UseCase1  one foreign key on the one key column       (2: bidirectional)
//   UseCase3  one foreign key on one of several key columns
//   UseCase4  one foreign key on a column outside the key (5: a unique column)
//   UseCase6  several foreign keys to one table covering the key
//             (7: bidirectional entries)
//   UseCase8  several foreign keys to one table covering part of the key

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/table_defn.h"
#include "store/vector.h"

namespace kv {

constexpr int USE_CASE_COUNT = 9;

struct UseCaseEntry {
  const ForeignKeyDefn* foreignKey = nullptr;  // null in UseCase0
  std::string tableName;
};

struct DistinctSet {
  std::string referenceColumn;
  std::string referenceTable;
  std::string localColumn;
  std::string localTable;
};

// A local column and its table, a member of a group.
struct UseCaseMember {
  std::string column;
  std::string table;
};

struct UseCaseGroup {
  DistinctSet root;
  std::vector<UseCaseMember> members;
};

struct UseCaseState {
  std::array<std::unique_ptr<VectorOf<UseCaseEntry>>, USE_CASE_COUNT> lists;
  std::unique_ptr<VectorOf<DistinctSet>> distinctSets;
  // The groups each processed list was turned into.
  std::array<std::vector<UseCaseGroup>, USE_CASE_COUNT> groups;
};

UseCaseState& UseCases();
void ResetUseCases();

// Ten empty lists: UseCase0 to UseCase8 and the distinct sets.
[[nodiscard]] bool InitUseCaseVectors();
// Sorts every table definition into its list and processes the lists;
// false when memory runs out.
[[nodiscard]] bool IdentifyUseCase();
// Processes one list (number 0 to 8).
void CheckForEntry(VectorOf<UseCaseEntry>& list, int number);

}  // namespace kv
