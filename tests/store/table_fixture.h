#pragma once
// A store with the test dictionaries loaded, empty tables, fresh sequences
// and no listeners; everything is reset again when the test ends.

#include <gtest/gtest.h>

#include <string>

#include "store/data_dictionary.h"
#include "store/notifications.h"
#include "store/result_data.h"
#include "store/sequence_generator.h"
#include "store/store_reset.h"
#include "store/table_data.h"
#include "tests/support/test_log.h"

namespace kv::test {

// The test dictionaries, copied into the test's machine image.
inline const std::string kStoreData = "C:\\storedata";

class TableTest : public ::testing::Test {
 protected:
  TableTest() {
    for (const char* name : {"agent.xml", "tables.xml"})
      image_.WriteFile(std::string("drive_c/storedata/") + name, SourceFile(std::string("tests/store/data/") + name));
    image_.Use();
    ResetStoreState();
    EXPECT_TRUE(LoadDataDictFromXMLFile((kStoreData + "/agent.xml").c_str()));
    EXPECT_TRUE(LoadDataDictFromXMLFile((kStoreData + "/tables.xml").c_str()));
    EXPECT_TRUE(SequenceGenerator());
  }
  ~TableTest() override { ResetStoreState(); }

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

  // A file of the test on its machine: its Windows path, and where it is
  // on the host.
  std::string WriteFile(const std::string& name, const std::string& text) const {
    image_.WriteFile("drive_c/scratch/" + name, text);
    return WindowsPath(name);
  }
  static std::string WindowsPath(const std::string& name) { return "C:\\scratch\\" + name; }
  std::string HostPath(const std::string& name) const { return image_.Path("drive_c/scratch/" + name); }

  TestLog log_{4};
  TempMachine image_;
};

}  // namespace kv::test
