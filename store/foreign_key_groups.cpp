#include "store/foreign_key_groups.h"

namespace kv {

std::vector<std::vector<const ForeignKeyDefn*>> ForeignKeyGroups(const VectorOf<ForeignKeyDefn>& keys) {
  std::vector<std::vector<const ForeignKeyDefn*>> groups;
  for (const ForeignKeyDefn& key : keys) {
    if (!groups.empty()) {
      const ForeignKeyDefn& first = *groups.back().front();
      if (first.referenceTable == key.referenceTable && first.referenceColumn != key.referenceColumn) {
        groups.back().push_back(&key);
        continue;
      }
    }
    groups.push_back({&key});
  }
  return groups;
}

}  // namespace kv
