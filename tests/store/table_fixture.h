#pragma once
// A store with the test dictionaries loaded, empty tables, fresh sequences
// and no listeners; everything is reset again when the test ends.

#include <gtest/gtest.h>

#include <string>

#include "store/data_dictionary.h"
#include "store/notifications.h"
#include "store/result_data.h"
#include "store/sequence_generator.h"
#include "store/table_data.h"
#include "tests/support/test_log.h"

namespace kv::test {

inline const std::string kStoreData = KV_SOURCE_DIR "/tests/store/data";

class TableTest : public ::testing::Test {
 protected:
  TableTest() {
    Reset();
    EXPECT_TRUE(LoadDataDictFromXMLFile((kStoreData + "/agent.xml").c_str()));
    EXPECT_TRUE(LoadDataDictFromXMLFile((kStoreData + "/tables.xml").c_str()));
    EXPECT_TRUE(SequenceGenerator());
  }
  ~TableTest() override { Reset(); }

  static void Reset() {
    ResetTableData();
    DeInitNotification();
    ResetDataDictionary();
    ResetSequenceState();
  }

  // The text of a column of the n-th row (from 0) that a selection gives.
  static std::string Text(const char* table, const char* criteria, const char* column, int n = 0) {
    ResultDataPtr result = SelectRows(table, criteria);
    if (!result) return "<no result>";
    RowObject* row = nullptr;
    for (int i = 0; i <= n; ++i) row = GotoNextRowObject(result.get());
    if (!row) return "<no row>";
    std::int32_t length = 0;
    const char* value = GetColumnValueByName(column, &length, result.get());
    return value ? std::string(value, static_cast<std::size_t>(length)) : "<null>";
  }

  TestLog log_{4};
};

}  // namespace kv::test
