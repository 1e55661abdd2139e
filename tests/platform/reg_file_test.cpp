#include "platform/posix/reg_file.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/registry.h"
#include "platform/unicode.h"

namespace kv::posix {
namespace {

using namespace std::string_literals;

std::vector<BYTE> Bytes(std::string_view s) { return std::vector<BYTE>(s.begin(), s.end()); }

std::vector<BYTE> Utf16(std::u16string_view text) { return Utf16LeBytes(text); }

// Every key and value of a tree, one line each, in stored order.
void Dump(const RegNode& key, const std::string& path, std::ostringstream& out) {
  out << path << "\n";
  for (const auto& value : key.values()) {
    out << "  " << Utf16ToUtf8(value.name) << " type " << value.type << ":";
    for (BYTE b : value.data) out << ' ' << static_cast<int>(b);
    out << "\n";
  }
  for (const auto& child : key.children()) Dump(*child, path + "\\" + Utf16ToUtf8(child->name()), out);
}

std::string Dump(const RegNode& registry) {
  std::ostringstream out;
  Dump(registry, "", out);
  return out.str();
}

RegNode Parse(std::string_view text) {
  RegNode registry = MakeEmptyRegistry();
  const auto error = ParseRegFile(text, registry);
  EXPECT_FALSE(error) << "line " << error->line << ": " << error->message;
  return registry;
}

const RegValue* Value(const RegNode& registry, std::initializer_list<std::u16string_view> path,
                      std::u16string_view name) {
  const RegNode* key = &registry;
  for (auto part : path) {
    key = key->FindChild(part);
    if (!key) return nullptr;
  }
  return key->FindValue(name);
}

TEST(RegFile, EveryValueTypeRoundTripsByteForByte) {
  RegNode registry = MakeEmptyRegistry();
  RegNode& key = registry.FindChild(u"HKEY_LOCAL_MACHINE")->AddChild(u"SOFTWARE").AddChild(u"Odd ]Name\u00e9");
  key.SetValue(u"", REG_SZ, Utf16(std::u16string(u"default") + u'\0'));
  key.SetValue(u"plain", REG_SZ, Utf16(std::u16string(u"C:\\Program Files\\\"q\" \u00e9\U0001F600") + u'\0'));
  key.SetValue(u"empty", REG_SZ, Utf16(std::u16string(1, u'\0')));
  key.SetValue(u"no terminator", REG_SZ, Utf16(u"abc"));
  key.SetValue(u"no data", REG_SZ, {});
  key.SetValue(u"odd length", REG_SZ, Bytes(std::string_view("a\0\0", 3)));
  key.SetValue(u"embedded nul", REG_SZ, Utf16(std::u16string_view(u"a\0b\0", 4)));
  key.SetValue(u"line break", REG_SZ, Utf16(std::u16string_view(u"a\nb\0", 4)));
  key.SetValue(u"lone surrogate", REG_SZ, Utf16(std::u16string_view(u"\xD800x\0", 3)));
  key.SetValue(u"expand", REG_EXPAND_SZ, Utf16(std::u16string_view(u"%TEMP%\0", 7)));
  key.SetValue(u"multi", REG_MULTI_SZ, Utf16(std::u16string_view(u"x\0y\0\0", 5)));
  key.SetValue(u"dword", REG_DWORD, {0x2a, 0, 0, 0x80});
  key.SetValue(u"short dword", REG_DWORD, {1, 2, 3});
  key.SetValue(u"qword", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0});
  key.SetValue(u"none", REG_NONE, {});
  key.SetValue(u"big endian", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1});
  key.SetValue(u"odd type", 0x12345, {9});
  std::vector<BYTE> blob(300);
  for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<BYTE>(i * 7);
  key.SetValue(u"blob", REG_BINARY, blob);
  key.SetValue(u"\"quoted\\name\"", REG_BINARY, {});

  const std::string text = FormatRegFile(registry);
  RegNode again = MakeEmptyRegistry();
  const auto error = ParseRegFile(text, again);
  ASSERT_FALSE(error) << error->message << " at line " << error->line << "\n" << text;
  EXPECT_EQ(Dump(registry), Dump(again));
  EXPECT_EQ(text, FormatRegFile(again));  // deterministic

  // The forms regedit writes, and hex(1) wherever a quoted text would not read back.
  for (const char* line : {"@=\"default\"",
                           "\"plain\"=\"C:\\\\Program Files\\\\\\\"q\\\" \u00e9\U0001F600\"",
                           "\"empty\"=\"\"",
                           "\"no terminator\"=hex(1):61,00,62,00,63,00",
                           "\"no data\"=hex(1):",
                           "\"odd length\"=hex(1):61,00,00",
                           "\"embedded nul\"=hex(1):61,00,00,00,62,00,00,00",
                           "\"line break\"=hex(1):61,00,0a,00,62,00,00,00",
                           "\"lone surrogate\"=hex(1):00,d8,",
                           "\"expand\"=hex(2):25,00",
                           "\"multi\"=hex(7):78,00,00,00,79,00,00,00,00,00",
                           "\"dword\"=dword:8000002a",
                           "\"short dword\"=hex(4):01,02,03",
                           "\"qword\"=hex(b):01,00,00,00,00,00,00,00",
                           "\"none\"=hex(0):",
                           "\"big endian\"=hex(5):00,00,00,01",
                           "\"odd type\"=hex(12345):09",
                           "\"blob\"=hex:00,07,0e,",
                           "\"\\\"quoted\\\\name\\\"\"=hex:\n",
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Odd ]Name\u00e9]\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;

  // Long lists wrap as regedit wraps them: about 80 columns, ",\" and an indent of two.
  std::istringstream lines(text);
  std::string line;
  int continued = 0;
  while (std::getline(lines, line)) {
    EXPECT_LE(line.size(), 80u) << line;
    if (line.ends_with(",\\")) ++continued;
  }
  EXPECT_GE(continued, 10);
  EXPECT_NE(text.find(",\\\n  "), std::string::npos);
}

TEST(RegFile, ReadsAWindowsExportInUtf16WithBomAndCrLf) {
  const std::u16string source =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"; exported by hand\r\n"
      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App]\r\n"
      u"@=\"Default \u00fcber\"\r\n"
      u"\"Path\"=\"C:\\\\App\\\\\"\r\n"
      u"\"Count\"=dword:0000000A\r\n"
      u"\"Blob\"=hex:01,02,\\\r\n"
      u"  03,04\r\n"
      u"\"Env\"=hex(2):25,00,41,00,25,00,00,00\r\n"
      u"\"Big\"=hex(B):ff,00,00,00,00,00,00,00\r\n"
      u"\"Gone\"=-\r\n"
      u"\r\n"
      u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Removed]\r\n"
      u"\r\n"
      u"[HKCU\\Console]\r\n"
      u"\"Empty\"=hex:\r\n";
  std::string bytes = "\xFF\xFE";
  for (BYTE b : Utf16(source)) bytes += static_cast<char>(b);

  const RegNode registry = Parse(bytes);
  const auto* def = Value(registry, {u"HKEY_LOCAL_MACHINE", u"SOFTWARE", u"Vendor", u"App"}, u"");
  ASSERT_TRUE(def);
  EXPECT_EQ(def->type, REG_SZ);
  EXPECT_EQ(def->data, Utf16(std::u16string(u"Default \u00fcber") + u'\0'));
  EXPECT_EQ(Value(registry, {u"HKEY_LOCAL_MACHINE", u"SOFTWARE", u"Vendor", u"App"}, u"Path")->data,
            Utf16(std::u16string(u"C:\\App\\") + u'\0'));
  const auto* count = Value(registry, {u"HKEY_LOCAL_MACHINE", u"SOFTWARE", u"Vendor", u"App"}, u"Count");
  EXPECT_EQ(count->type, REG_DWORD);
  EXPECT_EQ(count->data, (std::vector<BYTE>{10, 0, 0, 0}));
  EXPECT_EQ(Value(registry, {u"HKEY_LOCAL_MACHINE", u"SOFTWARE", u"Vendor", u"App"}, u"Blob")->data,
            (std::vector<BYTE>{1, 2, 3, 4}));
  EXPECT_EQ(Value(registry, {u"HKEY_LOCAL_MACHINE", u"SOFTWARE", u"Vendor", u"App"}, u"Env")->type, REG_EXPAND_SZ);
  EXPECT_EQ(Value(registry, {u"HKEY_LOCAL_MACHINE", u"SOFTWARE", u"Vendor", u"App"}, u"Big")->type, REG_QWORD);
  EXPECT_FALSE(Value(registry, {u"HKEY_LOCAL_MACHINE", u"SOFTWARE", u"Vendor", u"App"}, u"Gone"));
  EXPECT_FALSE(registry.FindChild(u"HKEY_LOCAL_MACHINE")->FindChild(u"SOFTWARE")->FindChild(u"Removed"));
  const auto* empty = Value(registry, {u"HKEY_CURRENT_USER", u"Console"}, u"Empty");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->data.empty());

  // The same text in UTF-8 with a BOM and LF line ends reads the same.
  std::string utf8 = "\xEF\xBB\xBF" + Utf16ToUtf8(source);
  std::erase(utf8, '\r');
  EXPECT_EQ(Dump(registry), Dump(Parse(utf8)));
}

TEST(RegFile, NamesKeepTheirCaseAndMatchWithoutIt) {
  const RegNode registry = Parse(
      "Windows Registry Editor Version 5.00\n\n"
      "[HKLM\\Software\\\u00c4pfel]\n"
      "\"Name\"=\"first\"\n\n"
      "[hkey_local_machine\\SOFTWARE\\\u00e4PFEL\\Sub]\n\n"
      "[HKEY_LOCAL_MACHINE\\software\\\u00e4pfel]\n"
      "\"NAME\"=\"second\"\n");
  const RegNode* hklm = registry.FindChild(u"hkey_local_machine");
  ASSERT_TRUE(hklm);
  ASSERT_EQ(hklm->children().size(), 1u);
  const RegNode& software = *hklm->children()[0];
  EXPECT_EQ(software.name(), u"Software");
  ASSERT_EQ(software.children().size(), 1u);
  const RegNode& apfel = *software.children()[0];
  EXPECT_EQ(apfel.name(), u"\u00c4pfel");
  ASSERT_EQ(apfel.values().size(), 1u);
  EXPECT_EQ(apfel.values()[0].name, u"Name");
  EXPECT_EQ(apfel.FindValue(u"nAmE")->data, Utf16(std::u16string(u"second") + u'\0'));
  EXPECT_TRUE(apfel.FindChild(u"SUB"));

  const std::string text = FormatRegFile(registry);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\\u00c4pfel]\n\"Name\"=\"second\"\n"), std::string::npos) << text;
}

TEST(RegFile, KeysAndValuesKeepTheOrderTheyWereAdded) {
  RegNode registry = MakeEmptyRegistry();
  RegNode& hkcu = *registry.FindChild(u"HKEY_CURRENT_USER");
  for (auto name : {u"zeta", u"alpha", u"Mid"}) hkcu.AddChild(name).SetValue(name, REG_DWORD, {1, 0, 0, 0});
  hkcu.AddChild(u"ALPHA").SetValue(u"b", REG_BINARY, {});
  hkcu.FindChild(u"Alpha")->SetValue(u"A", REG_BINARY, {});
  EXPECT_TRUE(hkcu.RemoveChild(u"ZETA"));
  EXPECT_EQ(FormatRegFile(registry),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CURRENT_USER\\alpha]\n\"alpha\"=dword:00000001\n\"b\"=hex:\n\"A\"=hex:\n\n"
            "[HKEY_CURRENT_USER\\Mid]\n\"Mid\"=dword:00000001\n\n");
  EXPECT_TRUE(hkcu.FindChild(u"MID"));  // the index follows a removal
  EXPECT_FALSE(hkcu.FindChild(u"zeta"));
}

TEST(RegFile, MalformedTextIsReportedWithItsLine) {
  struct Case {
    std::string text;
    std::size_t line;
  };
  const std::string h = "Windows Registry Editor Version 5.00\n\n";
  const std::vector<Case> cases{
      {"REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\X]\n", 1},
      {"\n; a comment first\n" + h, 2},
      {h + "\"x\"=\"value before any key\"\n", 3},
      {h + "[HKEY_LOCAL_MACHINE\\X]\n\"a\"=dword:123456789\n", 4},
      {h + "[HKEY_LOCAL_MACHINE\\X]\n\"a\"=dword:\n", 4},
      {h + "[HKEY_LOCAL_MACHINE\\X]\n\"a=\"b\"\n", 4},
      {h + "[HKEY_LOCAL_MACHINE\\X]\n\"a\"=\"b\n", 4},
      {h + "[HKEY_LOCAL_MACHINE\\X]\n\"a\"=\"b\"junk\n", 4},
      {h + "[HKEY_LOCAL_MACHINE\\X]\n\"a\"=\"C:\\Windows\"\n", 4},
      {h + "[HKEY_LOCAL_MACHINE\\X]\n\"a\" \"b\"\n", 4},
      {h + "[HKEY_LOCAL_MACHINE\\X]\n\"a\"=str:x\n", 4},
      {h + "[HKEY_LOCAL_MACHINE\\X]\n\"a\"=hex(2:00\n", 4},
      {h + "[HKEY_LOCAL_MACHINE\\X]\n\"a\"=hex:01,02,\n", 4},
      {h + "[HKEY_LOCAL_MACHINE\\X]\n\"a\"=hex:01,02,\\\n  03,zz,\\\n  04\n", 5},
      {h + "[HKEY_LOCAL_MACHINE\\X]\n\"a\"=hex:01,\\\n", 4},
      {h + "[HKEY_LOCAL_MACHINE\\X\n", 3},
      {h + "[HKEY_LOCAL_MACHINE\\X] trailing\n", 3},
      {h + "[HKEY_NOWHERE\\X]\n", 3},
      {h + "[HKEY_LOCAL_MACHINE\\X]\r\n\r\njust words\r\n", 5},
      {"\xFF\xFEW\0i\0n"s, 1},  // UTF-16 cut in the middle of a unit
      {"\xFE\xFF\0W\0i"s, 1},
  };
  for (const auto& c : cases) {
    RegNode registry = MakeEmptyRegistry();
    const auto error = ParseRegFile(c.text, registry);
    ASSERT_TRUE(error) << c.text;
    EXPECT_EQ(error->line, c.line) << c.text << "\n" << error->message;
    EXPECT_FALSE(error->message.empty());
  }
}

TEST(RegFile, AnEmptyFileIsAnEmptyRegistry) {
  EXPECT_EQ(Dump(Parse("")), Dump(MakeEmptyRegistry()));
  EXPECT_EQ(Dump(Parse("\r\n\n")), Dump(MakeEmptyRegistry()));
  EXPECT_EQ(FormatRegFile(MakeEmptyRegistry()), "Windows Registry Editor Version 5.00\n\n");
}

}  // namespace
}  // namespace kv::posix
