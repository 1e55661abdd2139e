#pragma once
// What every database test shares, on the emulated machine and on Windows
// alike: a fresh database access state with the test dictionary in a
// directory of the test's own, the test's log there, and rows made from
// texts.

#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "db/db_reset.h"
#include "db/select_query.h"
#include "store/stored_value.h"
#include "tests/support/scratch.h"

namespace kv::test {

// The test dictionaries: owners and their items with every type all four
// dialects create, the types only some create and the sequence state
// ("types.xml"); columns of types no dialect creates ("unsupported.xml").
extern const char* const kTypesDictionary;
extern const char* const kUnsupportedDictionary;

// The test's log: a file of its directory, open at TRACE level while the
// object lives.
class DbTestLog {
 public:
  explicit DbTestLog(const Scratch& directory);
  ~DbTestLog();
  DbTestLog(const DbTestLog&) = delete;
  DbTestLog& operator=(const DbTestLog&) = delete;

  std::string Contents() const;
  bool Contains(const std::string& text) const { return Contents().find(text) != std::string::npos; }

 private:
  std::string path_;
};

// The ERROR entries of a log, for failure messages.
std::string LogErrors(const DbTestLog& log);
// The ERROR entries of a log's contents.
std::string ErrorEntries(const std::string& contents);

// Resets the process-wide state of a layer and of those below it
// (ResetDbState, or the reset of a layer above database access).
using StateReset = void (*)();

// Fresh database access (providers and dialects initialised, nothing
// else), the test dictionary and fresh sequences for as long as it lives,
// with a directory of its own that holds the dictionaries as "types.xml"
// and "unsupported.xml" and the log. The state is reset before and after,
// by the reset of the layer the test is of.
class FreshDatabaseAccess {
 public:
  explicit FreshDatabaseAccess(StateReset reset = ResetDbState);
  ~FreshDatabaseAccess();
  FreshDatabaseAccess(const FreshDatabaseAccess&) = delete;
  FreshDatabaseAccess& operator=(const FreshDatabaseAccess&) = delete;

  const Scratch& directory() const { return directory_; }
  const DbTestLog& log() const { return log_; }
  // The Windows path of a file of the directory ("types.xml").
  std::string PathOf(const std::string& name) const { return directory_.Directory() + "\\" + name; }

 private:
  StateReset reset_;
  Scratch directory_;
  DbTestLog log_{directory_};
};

class DatabaseAccessTest : public ::testing::Test {
 protected:
  FreshDatabaseAccess access_;
  const DbTestLog& log_ = access_.log();
};

// The inner join of KV_ITEMS as "i" with their KV_OWNERS as "o" over the
// two key columns; null when it cannot be made.
SelectJoin* ItemsToOwners(SelectQuery& query);

// A row of a table made from texts in its column order (nullopt: NULL),
// each converted to the column's stored form.
class TestRow {
 public:
  TestRow(const char* tableName, const std::vector<std::optional<std::string>>& texts);
  std::span<const StoredValue> values() const { return values_; }

 private:
  std::vector<OwnedValue> owned_;
  std::vector<StoredValue> values_;
};

// A stored value as a text to compare: integers in decimal, Booleans "1" or
// "0", dates and times in the form of the column's type, texts as they are.
std::optional<std::string> ValueText(const StoredValue& value, std::uint8_t type);

}  // namespace kv::test
