#include "tests/faults/device_rounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "store/result_data.h"

namespace kv::test {

std::int32_t IdOf(const RowObject& row) {
  std::int32_t id = 0;
  std::memcpy(&id, row.values[0].data, sizeof id);
  return id;
}

void ChangeDevices(int round) {
  const std::string name = "HOST" + std::to_string(round);
  const StoredValue values[] = {{}, {name.data(), static_cast<std::int32_t>(name.size())}};
  ASSERT_NE(AddNewRow("DEVICES", values), nullptr);
  ASSERT_TRUE(UpdateRowObject("DEVICES", GetTableDataByName("DEVICES")->firstRow, "NAME", name.c_str(), name.size()));
  if (round % 3 == 0) {
    ASSERT_EQ(DeleteRowObject("DEVICES", GetTableDataByName("DEVICES")->lastRow), 1);
  }
}

void ExpectDevicesAsStored(const TextRows& stored, bool saved) {
  std::vector<std::int32_t> inDatabase, held;
  for (const auto& row : stored) {
    inDatabase.push_back(std::stoi(*row[0]));
    ResultDataPtr same = SelectRows("DEVICES", ("DEVICE_ID=" + *row[0]).c_str());
    const RowObject* mine = same ? GotoNextRowObject(same.get()) : nullptr;
    ASSERT_NE(mine, nullptr) << *row[1];
    if (mine->state == ROW_STATE_IN_DATABASE) {
      EXPECT_EQ(mine->values[1].Bytes(), *row[1]);
    }
  }
  for (const RowObject* row = GetTableDataByName("DEVICES")->firstRow; row; row = row->next) {
    if (row->state & ROW_STATE_IN_DATABASE) held.push_back(IdOf(*row));
    if (saved) {
      EXPECT_EQ(row->state, ROW_STATE_IN_DATABASE);
    }
  }
  std::sort(inDatabase.begin(), inDatabase.end());
  std::sort(held.begin(), held.end());
  EXPECT_EQ(inDatabase, held);
}

}  // namespace kv::test
