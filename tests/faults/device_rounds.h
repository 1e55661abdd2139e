#pragma once
// What the fault loops over saving DEVICES share: the round's changes to
// the table and the check that the database holds what the table says.

#include <cstdint>

#include "store/table_data.h"
#include "tests/dbstore/store_fixture.h"

namespace kv::test {

// The identifier of a DEVICES row.
std::int32_t IdOf(const RowObject& row);

// A new row, a changed one, and every third round a deleted one.
void ChangeDevices(int round);

// stored: DEVICE_ID and NAME of every row in the database. It holds exactly
// the rows the table holds as saved, with their values where the table has
// no change of them; after a save that succeeded, every row is saved.
void ExpectDevicesAsStored(const TextRows& stored, bool saved);

}  // namespace kv::test
