// The registry helpers against an emulated 64-bit machine on which the agent
// runs as a 32-bit process.

#include "agent/registry_helpers.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "agent/agent_settings.h"
#include "tests/support/test_log.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

constexpr const char* kKey = "SOFTWARE\\Tarnwick\\Test";

struct Stored {
  LONG code = -1;
  DWORD type = 0;
  std::vector<BYTE> data;
};

class RegistryHelpers : public testing::Test {
 protected:
  void SetUp() override {
    ResetAgentSettings();
    machine_.WriteMachineJson(R"({"os":{"architecture":9,"wow64":true}})");
    machine_.WriteRegistry(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tarnwick\\Test]\n"
        "\"Text\"=\"hello\"\n"
        "\"Unterminated\"=hex(1):41,00,42,00\n"
        "\"Count\"=dword:0000002a\n"
        "\"Big\"=hex(b):01,00,00,00,00,00,00,00\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tarnwick\\Test\\Tree\\A\\A1]\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tarnwick\\Test\\Tree\\A\\A2]\n"
        "\"v\"=\"x\"\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tarnwick\\Test\\Tree\\B]\n\n");
    machine_.Use();
    log_ = std::make_unique<test::TestLog>(4);
  }
  void TearDown() override {
    log_.reset();
    ResetAgentSettings();
  }

  // A value as stored, read with the wide function from the given view.
  static Stored Read(const char* path, const char16_t* name, DWORD view = 0) {
    Stored s;
    HKEY key = nullptr;
    s.code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | view, &key);
    if (s.code != 0) return s;
    DWORD size = 0;
    s.code = RegQueryValueExW(key, name, &s.type, nullptr, &size);
    if (s.code == 0) {
      s.data.resize(size);
      s.code = RegQueryValueExW(key, name, &s.type, s.data.data(), &size);
      s.data.resize(size);
    }
    RegCloseKey(key);
    return s;
  }

  static std::vector<BYTE> Wide(std::u16string_view text) {
    std::vector<BYTE> bytes;
    for (char16_t c : text) {
      bytes.push_back(static_cast<BYTE>(c & 0xFF));
      bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    return bytes;
  }

  bool Logged(const std::string& text) const { return log_->Contains(text); }

  test::TempMachine machine_;
  std::unique_ptr<test::TestLog> log_;
};

TEST_F(RegistryHelpers, ReadRegSZMissingValueIsQuiet) {
  std::optional<std::string> out = "stale";
  EXPECT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, kKey, "Missing", out), 2);
  EXPECT_EQ(out, std::nullopt);
  EXPECT_FALSE(Logged("ReadRegSZ"));

  EXPECT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nowhere", "Text", out), 2);
  EXPECT_EQ(out, std::nullopt);
  EXPECT_TRUE(Logged("[ERROR] ReadRegSZ: Error while opening registry key SOFTWARE\\Nowhere ,and the error is  2 \n"));
}

TEST_F(RegistryHelpers, ReadRegSZReadsThe32BitViewAndTerminates) {
  std::optional<std::string> out;
  EXPECT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, kKey, "Text", out), 0);
  EXPECT_EQ(out, "hello");
  EXPECT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, kKey, "Unterminated", out), 0);
  EXPECT_EQ(out, "AB");

  std::optional<std::u16string> wide;
  EXPECT_EQ(ReadRegSZEx(HKEY_LOCAL_MACHINE, kKey, "Unterminated", wide), 0);
  EXPECT_EQ(wide, u"AB");
  EXPECT_EQ(ReadRegSZEx(HKEY_LOCAL_MACHINE, kKey, "Missing", wide), 2);
  EXPECT_EQ(wide, std::nullopt);
  EXPECT_EQ(ReadRegSZEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nowhere", "Text", wide), 2);
  EXPECT_TRUE(Logged("[ERROR] ReadRegSZEx: Error while opening registry key : SOFTWARE\\Nowhere \n"));
}

TEST_F(RegistryHelpers, ReadDwordWritesOnlyOnSuccess) {
  DWORD value = 7;
  EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Count", value), 0);
  EXPECT_EQ(value, 42u);

  value = 7;
  EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Missing", value), 2);
  EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nowhere", "Gone", value), 2);
  EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Big", value), 234);
  EXPECT_EQ(value, 7u);
  EXPECT_TRUE(Logged("[DEBUG] ReadDwordRegistryData:  value  Missing Not found: 2 \n"));
  EXPECT_TRUE(Logged("[DEBUG] ReadDwordRegistryData:  value  Gone Not found: 2 \n"));
  EXPECT_TRUE(Logged("[ERROR] ReadDwordRegistryData: Error while reading DWORD value of Big : 234 \n"));
}

TEST_F(RegistryHelpers, WriteValueMarkersForDefaultNameAndEmptyData) {
  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kKey, "--", "default text", REG_SZ), 0);
  Stored s = Read(kKey, u"");
  EXPECT_EQ(s.type, REG_SZ);
  EXPECT_EQ(s.data, Wide(std::u16string(u"default text") + u'\0'));

  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kKey, "Zero", "--", REG_DWORD), 0);
  s = Read(kKey, u"Zero");
  EXPECT_EQ(s.type, REG_DWORD);
  EXPECT_EQ(s.data, (std::vector<BYTE>{0, 0, 0, 0}));

  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kKey, "Empty", "--", REG_SZ), 0);
  EXPECT_EQ(Read(kKey, u"Empty").data, (std::vector<BYTE>{0, 0}));

  EXPECT_TRUE(Logged("[DEBUG] @@@@@@@@ Inside writeValue Method @@@@@@@@ \n"));
  EXPECT_TRUE(Logged("[INFO] writeValue : going to add the (default) value .\n"));
  EXPECT_TRUE(Logged("[INFO] writeValue : going to add the value data as 0 value .\n"));
  EXPECT_TRUE(Logged("[DEBUG] writeValue:  REG_DWORD -- sizeOfInputData: 4\n"));
  EXPECT_TRUE(Logged("[DEBUG] writeValue:  Data type is REG_SZ or REG_EXPAND_SZ or REG_BINARY: 2\n"));
  EXPECT_TRUE(Logged("[INFO] Message : The operation completed successfully.  \n"));
  EXPECT_TRUE(Logged("[DEBUG] @@@@@@@@ End Of writeValue Method @@@@@@@@ \n"));
}

TEST_F(RegistryHelpers, WriteValuePlainTypes) {
  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kKey, "Neg", " -5", REG_DWORD), 0);
  EXPECT_EQ(Read(kKey, u"Neg").data, (std::vector<BYTE>{0xFB, 0xFF, 0xFF, 0xFF}));

  // REG_BINARY is stored as the wide text; REG_MULTI_SZ as a one-string list.
  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kKey, "Bin", "ab", REG_BINARY), 0);
  EXPECT_EQ(Read(kKey, u"Bin").data, Wide(std::u16string(u"ab") + u'\0'));
  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kKey, "Multi", "x;y", REG_MULTI_SZ), 0);
  Stored s = Read(kKey, u"Multi");
  EXPECT_EQ(s.type, REG_MULTI_SZ);
  EXPECT_EQ(s.data, Wide(std::u16string(u"x;y\0\0", 5)));

  // Other codes take the first four bytes of the text, never more than it has.
  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kKey, "Other", "ABCD", REG_DWORD_BIG_ENDIAN), 0);
  s = Read(kKey, u"Other");
  EXPECT_EQ(s.type, REG_DWORD_BIG_ENDIAN);
  EXPECT_EQ(s.data, (std::vector<BYTE>{'A', 0, 'B', 0}));
  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kKey, "Short", "--", REG_NONE), 0);
  EXPECT_EQ(Read(kKey, u"Short").data, (std::vector<BYTE>{0, 0, 0, 0}));
  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kKey, "PlainQword", "1", REG_QWORD), 0);
  EXPECT_EQ(Read(kKey, u"PlainQword").data, (std::vector<BYTE>{'1', 0, 0, 0}));
}

TEST_F(RegistryHelpers, WriteValueExTypes) {
  Agent().gv_IsWow64 = 1;
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "Q", "1", REG_QWORD), 0);
  Stored s = Read(kKey, u"Q", KEY_WOW64_64KEY);
  EXPECT_EQ(s.type, REG_QWORD);
  EXPECT_EQ(s.data, (std::vector<BYTE>{1, 0, 0, 0, 0, 0, 0, 0}));

  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "M", "x;y", REG_MULTI_SZ), 0);
  s = Read(kKey, u"M", KEY_WOW64_64KEY);
  EXPECT_EQ(s.data.size(), 10u);
  EXPECT_EQ(s.data, Wide(std::u16string(u"x\0y\0\0", 5)));

  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "Bin", "ab", REG_BINARY), 0);
  EXPECT_EQ(Read(kKey, u"Bin", KEY_WOW64_64KEY).data, (std::vector<BYTE>{'a', 'b', 0}));
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "D", "4294967295", REG_DWORD), 0);
  EXPECT_EQ(Read(kKey, u"D", KEY_WOW64_64KEY).data, (std::vector<BYTE>{0xFF, 0xFF, 0xFF, 0xFF}));
  // The empty-data marker is 0 for the numeric types read from the UTF-8 text too.
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "Q0", "--", REG_QWORD), 0);
  EXPECT_EQ(Read(kKey, u"Q0", KEY_WOW64_64KEY).data, std::vector<BYTE>(8, 0));

  EXPECT_TRUE(Logged("[DEBUG] @@@@@@@@ Inside writeValueEx Method @@@@@@@@ \n"));
  EXPECT_TRUE(Logged("[DEBUG] writeValueEx:  REG_QWORD -- sizeOfInputData: 8\n"));
  EXPECT_TRUE(Logged("[DEBUG] writeValueEx:  Data type is REG_MULTI_SZ: 10\n"));
  EXPECT_TRUE(Logged("[DEBUG] writeValueEx:  Data type is REG_BINARY: 3\n"));
  EXPECT_TRUE(Logged("[DEBUG] addRegistryKeyEx: Inside addRegistryKey method ...... \n"));
  EXPECT_TRUE(Logged("[DEBUG] @@@@@@@@ End Of writeValueEx Method @@@@@@@@ \n"));
}

TEST_F(RegistryHelpers, FamiliesLandInTheirViews) {
  Agent().gv_IsWow64 = 1;
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Policy", "Native", "1", REG_DWORD), 0);
  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Policy", "Redirected", "2", REG_DWORD), 0);

  EXPECT_EQ(Read("SOFTWARE\\Policy", u"Native", KEY_WOW64_64KEY).code, 0);
  EXPECT_EQ(Read("SOFTWARE\\Policy", u"Redirected", KEY_WOW64_64KEY).code, 2);
  EXPECT_EQ(Read("SOFTWARE\\WOW6432Node\\Policy", u"Redirected", KEY_WOW64_64KEY).code, 0);
  EXPECT_EQ(Read("SOFTWARE\\WOW6432Node\\Policy", u"Native", KEY_WOW64_64KEY).code, 2);
  EXPECT_TRUE(Logged("[DEBUG] addRegistryKeyEx:  Create registry key function successfull: 1 \n"));
  EXPECT_TRUE(Logged("[DEBUG] addRegistryKey:  Create registry key function successfull: 1 \n"));

  // Without gv_IsWow64 the extended family stays in the process's view.
  Agent().gv_IsWow64 = 0;
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Policy", "Own", "3", REG_DWORD), 0);
  EXPECT_EQ(Read("SOFTWARE\\WOW6432Node\\Policy", u"Own", KEY_WOW64_64KEY).code, 0);
  EXPECT_TRUE(Logged("[DEBUG] addRegistryKeyEx:  Opened already existing key! \n"));
}

TEST_F(RegistryHelpers, MissingNameOrDataFailsBeforeTouchingTheRegistry) {
  EXPECT_EQ(writeValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Untouched", nullptr, "1", REG_SZ), 13);
  EXPECT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Untouched", "v", nullptr, REG_SZ), 13);
  EXPECT_EQ(Read("SOFTWARE\\Untouched", u"v").code, 2);
  EXPECT_TRUE(Logged("[INFO] writeValue : Valuename or Valuedata is Empty \n"));
  EXPECT_TRUE(Logged("[ERROR] writeValueEx : Valuename or Valuedata is Empty \n"));
}

TEST_F(RegistryHelpers, DeleteValueBothVariants) {
  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kKey, "--", "d", REG_SZ), 0);
  EXPECT_EQ(deleteValue(HKEY_LOCAL_MACHINE, kKey, "Text"), 0);
  EXPECT_EQ(Read(kKey, u"Text").code, 2);
  EXPECT_EQ(deleteValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Tarnwick\\Test", u"--"), 0);
  EXPECT_EQ(Read(kKey, u"").code, 2);
  EXPECT_EQ(Read(kKey, u"Count").code, 0);

  EXPECT_EQ(deleteValue(HKEY_LOCAL_MACHINE, kKey, "Text"), 2);
  EXPECT_EQ(deleteValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nowhere", "Text"), 2);

  EXPECT_TRUE(Logged("[DEBUG] deleteValue: Inside function deleteValue ..... \n"));
  EXPECT_TRUE(
      Logged("[DEBUG] deleteValue: Inside function deleteValue ..... subkey : SOFTWARE\\Tarnwick\\Test, "
             "Valuename : -- \n"));
  EXPECT_TRUE(Logged("[INFO] deleteValue : going to delete the (default) value .\n"));
  EXPECT_TRUE(Logged("[INFO] deleteValue:  Delete value Text success! \n"));
  EXPECT_TRUE(Logged("[ERROR] deleteValue:  Delete value Text failure! \n"));
  EXPECT_TRUE(Logged("[ERROR] deleteValue:  SOFTWARE\\Nowhere Key not found!: 2  \n"));
  EXPECT_TRUE(Logged("[ERROR]  Error Message: The system cannot find the file specified.\r\n\n"));
}

TEST_F(RegistryHelpers, DeleteRegistryKeyTree) {
  HKEY parent = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &parent), 0);
  EXPECT_TRUE(deleteRegistryKeyTree(parent, "Tree"));
  EXPECT_FALSE(deleteRegistryKeyTree(parent, "Tree"));
  EXPECT_FALSE(deleteRegistryKeyTree(parent, "Missing"));
  // An empty name would address the parent itself.
  EXPECT_FALSE(deleteRegistryKeyTree(parent, ""));
  RegCloseKey(parent);

  EXPECT_EQ(Read("SOFTWARE\\Tarnwick\\Test\\Tree", u"", 0).code, 2);
  EXPECT_EQ(Read(kKey, u"Text").code, 0);
}

TEST(MultiStringAndQword, Parsing) {
  EXPECT_EQ(BuildMultiString(u"a;b^;c"), std::u16string(u"a\0b;c\0\0", 7));
  EXPECT_EQ(BuildMultiString(u""), std::u16string(2, u'\0'));
  EXPECT_EQ(BuildMultiString(u"a^^b^"), std::u16string(u"a^b\0\0", 5));
  EXPECT_EQ(ParseDecimalQword("18446744073709551615"), 18446744073709551615ull);
  EXPECT_EQ(ParseDecimalQword("12"), 12u);
  // No character is rejected: '-' counts as digit value -3.
  EXPECT_EQ(ParseDecimalQword("1-"), 7u);
  EXPECT_EQ(ParseDecimalQword(nullptr), 0u);
}

}  // namespace
}  // namespace kv
