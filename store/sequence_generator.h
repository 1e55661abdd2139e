#pragma once
// The sequence generator: unique integer identifiers for the columns that
// name a generator. Identifiers are handed out from batches of 300 reserved
// from a sequence source; each reservation moves the source's batch end for
// the generator on by 300, so that every process sharing the source draws
// from its own range. Identifiers increase within a batch and leave gaps
// when a process ends without using its whole batch.
//
// The source is where reserved batch ends are recorded. The store starts
// with one in memory; the database layer installs its own (the SeqGenState
// table of the generator's data source) with SetSequenceSource, and callers
// of GenerateID do not change.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/hash_table.h"

namespace kv {

struct ColumnDefn;

constexpr std::int32_t SEQUENCE_BATCH_SIZE = 300;
constexpr std::uint32_t SEQUENCE_COUNTER_BUCKETS = 50;

class SequenceSource {
 public:
  virtual ~SequenceSource() = default;
  // Records the next batch for the generator of a table's column and
  // returns its last identifier: batchSize for a generator without a
  // record, else the recorded end plus batchSize. Null when the
  // reservation fails (the source logs why).
  virtual std::optional<std::int32_t> ReserveBatch(const char* tableName, const char* generatorName,
                                                   std::int32_t batchSize) = 0;
};

// Batch ends kept in this process only.
class InMemorySequenceSource : public SequenceSource {
 public:
  std::optional<std::int32_t> ReserveBatch(const char* tableName, const char* generatorName,
                                           std::int32_t batchSize) override;

 private:
  std::map<std::string, std::int32_t> ends_;
};

// A generator's counter: the next identifier and the last of its batch.
struct SequenceCounter {
  std::int32_t next = 0;
  std::int32_t last = 0;
};

struct SequenceState {
  // Generator name -> its SequenceCounter in `counters`.
  HashTable counterTable;
  std::vector<std::unique_ptr<SequenceCounter>> counters;
  std::unique_ptr<SequenceSource> source;
};

SequenceState& Sequences();
// Empty counters (50 buckets) and a fresh in-memory source (tests).
void ResetSequenceState();
// Replaces the source batches are reserved from.
void SetSequenceSource(std::unique_ptr<SequenceSource> source);

// Reserves a batch for every generator column of every table definition;
// false when a definition has no columns.
[[nodiscard]] bool SequenceGenerator();
// Reserves the next batch of one generator; false when the source fails.
[[nodiscard]] bool UpdateSeqGen(const char* tableName, const char* generatorName);
// The next identifier of the column's generator, or -1 when it has none or
// no batch can be reserved.
[[nodiscard]] std::int32_t GenerateID(const char* tableName, const ColumnDefn* column);

}  // namespace kv
