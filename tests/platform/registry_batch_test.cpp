// Several values of one key changed as one update (RegSetValuesA): they reach
// registry.reg together, a reader of the file never finds some of them
// changed and others not, and a value that cannot be stored keeps the others
// from being written.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>

#include "platform/registry.h"
#include "tests/platform/written_registry_values.h"
#include "tests/support/child_process.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

using test::ReadWholeFile;
using test::TempMachine;
using test::WrittenValues;

constexpr const char* kKey = "SOFTWARE\\KvBatch";

RegValueChange Text(const char* name, const std::string& text) {
  return {name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1)};
}

RegValueChange Removal(const char* name) { return {name, REG_NONE, nullptr, 0, true}; }

class RegistryBatch : public ::testing::Test {
 protected:
  RegistryBatch() {
    machine.WriteRegistry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\KvBatch]\n\"Old\"=\"gone soon\"\n\"Kept\"=\"as it was\"\n");
    machine.Use();
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key, nullptr), 0);
  }
  ~RegistryBatch() override { RegCloseKey(key); }

  TempMachine machine;
  HKEY key = nullptr;
};

TEST_F(RegistryBatch, SetsAndRemovesTogetherAndToleratesAbsentValues) {
  const std::string size = "1048576", time = "caf\xc3\xa9";  // UTF-8 data is stored as UTF-16, as by the A function
  const std::array changes{Text("Size", size), Text("Time", time), Removal("Old"), Removal("NeverThere")};
  ASSERT_EQ(RegSetValuesA(key, changes), ERROR_SUCCESS);
  const auto values = WrittenValues(machine, u"KvBatch");
  ASSERT_TRUE(values.has_value());
  EXPECT_EQ(*values, (std::map<std::string, std::string>{{"Kept", "as it was"}, {"Size", size}, {"Time", time}}));

  BYTE wide[64] = {};
  DWORD bytes = sizeof wide, type = 0;
  ASSERT_EQ(RegQueryValueExW(key, u"Time", &type, wide, &bytes), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(bytes, 10u);  // four UTF-16 units and the terminator
}

TEST_F(RegistryBatch, AValueThatCannotBeStoredKeepsTheOthersUnwritten) {
  const std::string text = "written?";
  const std::string before = ReadWholeFile(machine.Path("registry.reg"));
  const RegValueChange badName{"two\nlines", REG_SZ, reinterpret_cast<const BYTE*>("x"), 2};
  const RegValueChange noData{"NoData", REG_BINARY, nullptr, 4};
  for (const RegValueChange& bad : {badName, noData}) {
    const std::array changes{Text("First", text), Removal("Old"), bad};
    EXPECT_EQ(RegSetValuesA(key, changes), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ReadWholeFile(machine.Path("registry.reg")), before);
  }
  HKEY forged = reinterpret_cast<HKEY>(std::uintptr_t{0x7777});
  const std::array one{Text("First", text)};
  EXPECT_EQ(RegSetValuesA(forged, one), ERROR_INVALID_HANDLE);
  EXPECT_EQ(ReadWholeFile(machine.Path("registry.reg")), before);
}

// Another process reads registry.reg at any moment: it must find the three
// values of one update or of the next, never a mix. Set one by one they
// would be seen apart at every update.
TEST_F(RegistryBatch, AReaderNeverSeesPartOfAnUpdate) {
  std::atomic<bool> done{false};
  std::atomic<int> reads{0}, mixed{0}, unreadable{0};
  std::thread reader([&] {
    while (!done) {
      const auto values = WrittenValues(machine, u"KvBatch");
      if (!values) {
        ++unreadable;
        continue;
      }
      ++reads;
      const auto at = [&](const char* name) {
        const auto it = values->find(name);
        return it == values->end() ? std::string("-") : it->second;
      };
      if (at("A") != at("B") || at("B") != at("C")) ++mixed;
    }
  });
  for (int i = 0; i < 200; ++i) {
    const std::string n = std::to_string(i);
    const std::array changes{Text("A", n), Text("B", n), Text("C", n)};
    ASSERT_EQ(RegSetValuesA(key, changes), ERROR_SUCCESS);
  }
  done = true;
  reader.join();
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(mixed.load(), 0);
  EXPECT_EQ(unreadable.load(), 0);
  const auto values = WrittenValues(machine, u"KvBatch");
  ASSERT_TRUE(values.has_value());
  EXPECT_EQ(values->at("C"), "199");
}

}  // namespace
}  // namespace kv
