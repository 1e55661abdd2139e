// Windows' limits on the registry hold in the emulated machine: deeper key
// paths and longer names are refused when read and when made, and nothing
// on those roads recurses with the depth.

#include <gtest/gtest.h>

#include <string>

#include "platform/posix/reg_file.h"
#include "platform/registry.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00\n\n";

std::string KeyPath(std::size_t depth, const std::string& name = "k") {
  std::string path = "HKEY_LOCAL_MACHINE";
  for (std::size_t i = 0; i < depth; ++i) path += "\\" + name;
  return path;
}

std::optional<posix::RegFileError> Parse(const std::string& body) {
  posix::RegNode registry = posix::MakeEmptyRegistry();
  return posix::ParseRegFile(kHeader + body, registry);
}

TEST(RegLimits, KeyPathsDeeperThanWindowsAllowsAreRefusedWithTheirLine) {
  EXPECT_FALSE(Parse("[" + KeyPath(512) + "]\n\"v\"=\"deepest\"\n"));
  const auto error = Parse("[HKEY_LOCAL_MACHINE\\ok]\n\n[" + KeyPath(513) + "]\n");
  ASSERT_TRUE(error);
  EXPECT_EQ(error->line, 5u);
  EXPECT_EQ(error->message, "a key path deeper than 512 levels");

  const auto huge = Parse("[" + KeyPath(50000) + "]\n");
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->line, 3u);
  // A deletion deeper than any key could be is as wrong.
  EXPECT_TRUE(Parse("[-" + KeyPath(50000) + "]\n"));
}

TEST(RegLimits, NamesLongerThanWindowsAllowsAreRefused) {
  EXPECT_FALSE(Parse("[HKCU\\" + std::string(255, 'k') + "]\n\"" + std::string(16383, 'v') + "\"=\"\"\n"));
  const auto key = Parse("[HKCU\\a\\" + std::string(256, 'k') + "]\n");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->line, 3u);
  EXPECT_EQ(key->message, "a key name longer than 255 characters");
  const auto value = Parse("[HKCU\\a]\n\"" + std::string(16384, 'v') + "\"=dword:1\n");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->line, 4u);
  EXPECT_EQ(value->message, "a value name longer than 16383 characters");
}

TEST(RegLimits, AVeryDeepTreeIsFreedAndWrittenWithoutRecursion) {
  // Far deeper than a file may hold: what is made in memory still goes
  // without a frame per level.
  auto registry = std::make_unique<posix::RegNode>(posix::MakeEmptyRegistry());
  posix::RegNode* key = registry->FindChild(u"HKEY_CURRENT_USER");
  for (int i = 0; i < 200000; ++i) key = &key->AddChild(u"k");
  registry.reset();

  posix::RegNode shallow = posix::MakeEmptyRegistry();
  key = shallow.FindChild(u"HKEY_CURRENT_USER");
  for (int i = 0; i < 512; ++i) key = &key->AddChild(u"k");
  key->SetValue(u"v", REG_DWORD, {1, 0, 0, 0});
  posix::RegNode again = posix::MakeEmptyRegistry();
  EXPECT_FALSE(posix::ParseRegFile(posix::FormatRegFile(shallow), again));
}

class RegLimitsApi : public ::testing::Test {
 protected:
  void SetUp() override { machine.Use(); }
  test::TempMachine machine;
};

TEST_F(RegLimitsApi, KeysDeeperOrLongerThanWindowsAllowsAreNotMade) {
  std::string path = "SOFTWARE";
  for (int i = 1; i < 512; ++i) path += "\\k";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key, nullptr), ERROR_SUCCESS);
  RegCloseKey(key);
  const std::string before = machine.ReadFile("registry.reg");
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path + "\\one\\more", 0, KEY_ALL_ACCESS, &key, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + std::string(256, 'x'), 0, KEY_ALL_ACCESS, &key, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(machine.ReadFile("registry.reg"), before);

  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + std::string(255, 'x'), 0, KEY_ALL_ACCESS, &key, nullptr),
            ERROR_SUCCESS);
  const BYTE one[4] = {1, 0, 0, 0};
  EXPECT_EQ(RegSetValueExA(key, std::string(16383, 'v'), REG_DWORD, one, 4), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, std::string(16384, 'v'), REG_DWORD, one, 4), ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

}  // namespace
}  // namespace kv
