// RegistryKeyHandle: a key held open with the view it was opened in.

#include "agent/registry_key_handle.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/test_machine.h"

namespace kv {
namespace {

class RegistryKeyHandleTest : public testing::Test {
 protected:
  void SetUp() override {
    machine_.WriteMachineJson(R"({"os":{"architecture":9,"wow64":true}})");
    machine_.WriteRegistry(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\Meta]\n"
        "\"Size\"=dword:00000010\n"
        "\"Name\"=\"file.bin\"\n"
        "\"Path\"=hex(2):43,00,3a,00,00,00\n"
        "\"Empty\"=hex(1):\n"
        "\"Blob\"=hex:01,02\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tarnwick\\Meta]\n\n");
    machine_.Use();
  }

  test::TempMachine machine_;
};

TEST_F(RegistryKeyHandleTest, TypeMismatchesGiveInvalidData) {
  RegistryKeyHandle key;
  ASSERT_EQ(key.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\Meta", KEY_READ | KEY_WOW64_64KEY), 0);
  EXPECT_EQ(key.viewBits(), KEY_WOW64_64KEY);

  char buffer[64];
  DWORD size = sizeof buffer;
  EXPECT_EQ(key.queryString("Size", buffer, size), 13);
  EXPECT_EQ(size, 0u);
  size = sizeof buffer;
  EXPECT_EQ(key.queryString("Blob", buffer, size), 13);

  DWORD value = 99;
  EXPECT_EQ(key.queryDword("Name", value), 13);
  EXPECT_EQ(value, 99u);
  EXPECT_EQ(key.queryDword("Size", value), 0);
  EXPECT_EQ(value, 16u);
  EXPECT_EQ(key.queryDword("Missing", value), 2);
}

TEST_F(RegistryKeyHandleTest, QueryStringReportsBytesAndTerminates) {
  RegistryKeyHandle key;
  ASSERT_EQ(key.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\Meta", KEY_READ | KEY_WOW64_64KEY), 0);
  char buffer[64];
  DWORD size = sizeof buffer;
  ASSERT_EQ(key.queryString("Name", buffer, size), 0);
  EXPECT_STREQ(buffer, "file.bin");
  EXPECT_EQ(size, 9u);

  size = sizeof buffer;
  ASSERT_EQ(key.queryString("Path", buffer, size), 0);
  EXPECT_STREQ(buffer, "C:");

  std::memset(buffer, 'x', sizeof buffer);
  size = sizeof buffer;
  ASSERT_EQ(key.queryString("Empty", buffer, size), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(size, 0u);

  size = 4;
  EXPECT_EQ(key.queryString("Name", buffer, size), 234);
}

TEST_F(RegistryKeyHandleTest, OpenFailureKeepsTheHeldKeyAndCloseClears) {
  RegistryKeyHandle key;
  ASSERT_EQ(key.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\Meta", KEY_READ | KEY_WOW64_64KEY), 0);
  HKEY held = key.handle();
  EXPECT_EQ(key.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nowhere", KEY_READ), 2);
  EXPECT_EQ(key.handle(), held);
  EXPECT_EQ(key.viewBits(), KEY_WOW64_64KEY);

  // Reopening in the process's own view reaches the redirected key.
  ASSERT_EQ(key.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\Meta", KEY_READ), 0);
  EXPECT_EQ(key.viewBits(), 0u);
  DWORD value = 0;
  EXPECT_EQ(key.queryDword("Size", value), 2);

  EXPECT_EQ(key.closeKey(), 0);
  EXPECT_EQ(key.handle(), nullptr);
  EXPECT_NE(key.queryDword("Size", value), 0);
}

TEST_F(RegistryKeyHandleTest, CreateAndSetString) {
  RegistryKeyHandle key;
  DWORD disposition = 0;
  ASSERT_EQ(key.createKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\Meta\\New", nullptr, 0,
                          KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &disposition),
            0);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(key.viewBits(), KEY_WOW64_64KEY);
  EXPECT_EQ(key.setString("Url", "http://srv/a \xc3\xa4", REG_SZ), 0);
  EXPECT_EQ(key.setString("Url", nullptr, REG_SZ), 13);

  RegistryKeyHandle again;
  ASSERT_EQ(again.createKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\Meta\\New", nullptr, 0,
                            KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &disposition),
            0);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  char buffer[64];
  DWORD size = sizeof buffer;
  ASSERT_EQ(again.queryString("Url", buffer, size), 0);
  EXPECT_STREQ(buffer, "http://srv/a \xc3\xa4");
}

}  // namespace
}  // namespace kv
