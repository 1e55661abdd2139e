#pragma once
// Batches of sequence identifiers reserved in the database: the table
// SeqGenState (SEQNAME, CURRENTBATCHEND) of the data source of the table
// whose column uses the generator. Each reservation moves a generator's
// CURRENTBATCHEND on by the batch size inside one transaction that holds
// the generator's row, so that processes sharing the database never reserve
// the same identifiers.

#include <cstdint>
#include <optional>

#include "store/sequence_generator.h"

namespace kv {

class DatabaseSequenceSource : public SequenceSource {
 public:
  std::optional<std::int32_t> ReserveBatch(const char* tableName, const char* generatorName,
                                           std::int32_t batchSize) override;
};

// Makes the sequence generator reserve its batches in the database.
void InstallDatabaseSequenceSource();

}  // namespace kv
