#pragma once
// Every process-wide value of the store's start-up, loads and saves.

#include <cstdint>

#include "dbstore/table_load.h"

namespace kv {

struct CFennelState {
  // Users of the memory pool facility: the first initialisation does the
  // work, the last release undoes it.
  std::int32_t memoryPoolUsers = 0;
  // Whether the last InitCFennel created every dictionary table.
  bool freshDatabase = false;
  TableProgressListener progressListener;
  TableCancelCheck cancelCheck;
};

CFennelState& CFennel();
// Forgets everything (tests).
void ResetCFennel();

}  // namespace kv
