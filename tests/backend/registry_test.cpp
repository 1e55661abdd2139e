// The registry as the agent uses it, held to the same answers on the
// emulated machine and on Windows.

#include "platform/registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/last_error.h"
#include "tests/support/scratch.h"

namespace kv {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  HKEY Create(HKEY root, const std::string& path, DWORD access = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, access, &key, disposition), ERROR_SUCCESS) << path;
    return key;
  }

  test::Scratch scratch;
  const std::string path = scratch.RegistryKey();
};

TEST_F(RegistryTest, NarrowReadsConvertWideStringsToUtf8AndAskForRoomWhenShort) {
  HKEY key = Create(HKEY_CURRENT_USER, path);
  const std::u16string stored = u"Gr\u00fc\u00dfe";
  const std::u16string withTerminator = stored + u'\0';
  ASSERT_EQ(RegSetValueExW(key, u"Greeting", REG_SZ, reinterpret_cast<const BYTE*>(withTerminator.data()),
                           static_cast<DWORD>(withTerminator.size() * 2)),
            ERROR_SUCCESS);

  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExW(key, u"Greeting", &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 12u);  // five UTF-16 units and the terminator

  std::string narrow(3, '\0');
  size = 3;
  EXPECT_EQ(RegQueryValueExA(key, "Greeting", &type, reinterpret_cast<BYTE*>(narrow.data()), &size), ERROR_MORE_DATA);
  EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
  narrow.resize(size);
  ASSERT_EQ(RegQueryValueExA(key, "Greeting", &type, reinterpret_cast<BYTE*>(narrow.data()), &size), ERROR_SUCCESS);
  EXPECT_EQ(narrow, std::string("Gr\xc3\xbc\xc3\x9f"
                                "e") +
                        '\0');

  // A narrow write stores UTF-16 that a wide read returns unchanged.
  const std::string text = "caf\xc3\xa9";
  ASSERT_EQ(RegSetValueExA(key, "Cafe", REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS);
  std::u16string wide(16, u'\0');
  size = 32;
  ASSERT_EQ(RegQueryValueExW(key, u"Cafe", &type, reinterpret_cast<BYTE*>(wide.data()), &size), ERROR_SUCCESS);
  wide.resize(size / 2);
  EXPECT_EQ(wide, std::u16string(u"caf\u00e9") + u'\0');
  RegCloseKey(key);
}

TEST_F(RegistryTest, FailuresAreWindowsCodesAndTheThreadsLastError) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path + "\\Missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  key = Create(HKEY_CURRENT_USER, path);
  DWORD size = 0;
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(key, "Absent", nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueA(key, "Absent"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(RegistryTest, DwordRoundTripAndDefaultValue) {
  HKEY key = Create(HKEY_CURRENT_USER, path);
  const DWORD level = 4;
  ASSERT_EQ(RegSetValueExA(key, "Level", REG_DWORD, reinterpret_cast<const BYTE*>(&level), sizeof level),
            ERROR_SUCCESS);
  DWORD read = 0, type = 0, size = sizeof read;
  ASSERT_EQ(RegQueryValueExA(key, "Level", &type, reinterpret_cast<BYTE*>(&read), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(read, 4u);
  EXPECT_EQ(size, 4u);

  const std::string text = "default";
  ASSERT_EQ(RegSetValueExA(key, "", REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), 8), ERROR_SUCCESS);
  size = 0;
  ASSERT_EQ(RegQueryValueExA(key, "", &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 8u);
  ASSERT_EQ(RegDeleteValueA(key, "Level"), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(key, "Level", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(RegistryTest, CreateTellsNewFromExistingAndDeleteKeepsKeysWithSubkeys) {
  DWORD disposition = 0;
  RegCloseKey(Create(HKEY_CURRENT_USER, path + "\\Child", KEY_ALL_ACCESS, &disposition));
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  RegCloseKey(Create(HKEY_CURRENT_USER, path + "\\Child", KEY_ALL_ACCESS, &disposition));
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(Create(HKEY_CURRENT_USER, path + "\\Another"));

  HKEY key = Create(HKEY_CURRENT_USER, path);
  std::vector<std::string> names;
  std::string name;
  DWORD index = 0;
  for (; RegEnumKeyA(key, index, &name) == ERROR_SUCCESS; ++index) names.push_back(name);
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(names, (std::vector<std::string>{"Another", "Child"}));
  EXPECT_EQ(RegEnumKeyA(key, 0, &name, 3), ERROR_MORE_DATA);
  RegCloseKey(key);

  const std::string parent = path.substr(0, path.rfind('\\'));
  const std::string leaf = path.substr(path.rfind('\\') + 1);
  HKEY parentKey = Create(HKEY_CURRENT_USER, parent);
  EXPECT_EQ(RegDeleteKeyA(parentKey, leaf), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(parentKey, leaf + "\\Child"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(parentKey, leaf + "\\Child"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(parentKey);
}

TEST_F(RegistryTest, TheThirtyTwoBitViewOfSoftwareIsItsWow6432Node) {
  const std::string software = "SOFTWARE\\KvBackendTests";
  HKEY key = Create(HKEY_LOCAL_MACHINE, software, KEY_ALL_ACCESS | KEY_WOW64_32KEY);
  const DWORD one = 1;
  ASSERT_EQ(RegSetValueExA(key, "View", REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
  RegCloseKey(key);

  DWORD size = 4, value = 0;
  HKEY native = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\WOW6432Node\\KvBackendTests", 0, KEY_READ | KEY_WOW64_64KEY,
                          &native),
            ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(native, "View", nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(value, 1u);
  RegCloseKey(native);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, software, 0, KEY_READ | KEY_WOW64_64KEY, &native), ERROR_FILE_NOT_FOUND);

  HKEY removal = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\WOW6432Node", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &removal),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(removal, "KvBackendTests"), ERROR_SUCCESS);
  RegCloseKey(removal);
}

}  // namespace
}  // namespace kv
