// Writing the registry back changes only what the program changed: every
// other byte of registry.reg stays as it stood, in the file's encoding.

#include <gtest/gtest.h>

#include <string>

#include "platform/posix/reg_document.h"
#include "platform/posix/reg_file.h"
#include "platform/registry.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

using namespace std::string_literals;
using test::TempMachine;

constexpr const char* kHeader = "Windows Registry Editor Version 5.00\n\n";

void Erase(std::string& text, const std::string& part) {
  const auto at = text.find(part);
  ASSERT_NE(at, std::string::npos) << part;
  text.erase(at, part.size());
}

std::string Utf16File(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t u : text) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

class RegRewrite : public ::testing::Test {
 protected:
  void SetUp() override { machine.Use(); }

  void Image(const std::string& bytes) { machine.WriteFile("registry.reg", bytes); }
  std::string File() const { return machine.ReadFile("registry.reg"); }

  HKEY Open(std::u16string_view path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key, nullptr), ERROR_SUCCESS);
    return key;
  }

  void SetDword(std::u16string_view path, std::u16string_view name, BYTE value) {
    HKEY key = Open(path);
    const BYTE data[4] = {value, 0, 0, 0};
    EXPECT_EQ(RegSetValueExW(key, name, REG_DWORD, data, 4), ERROR_SUCCESS);
    RegCloseKey(key);
  }

  std::string QueryW(std::u16string_view path, std::u16string_view name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    BYTE data[256];
    DWORD size = sizeof data;
    const LONG rc = RegQueryValueExW(key, name, nullptr, data, &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::string(reinterpret_cast<char*>(data), size) : "error " + std::to_string(rc);
  }

  TempMachine machine;
};

TEST_F(RegRewrite, OnlyTheChangedLineChangesAndCommentsStayWhereTheyStood) {
  const std::string before = std::string(kHeader) +
                             "; the agent's settings\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Agent]\n"
                             "\"Level\"  =  dword:00000001   \n"
                             "; why the path is odd\n"
                             "\"Path\"=\"C:\\\\odd\xff\xfe bytes \xed\xa0\x80 alone\"\n"
                             "\"Blob\"=hex:01,02,\\\n"
                             "    03\n"
                             "\"Level\"=dword:00000002\n"
                             "\n"
                             "[hklm\\software\\agent]\n"
                             "\"Late\"=\"x\"\n";
  Image(before);
  SetDword(u"SOFTWARE\\Agent", u"LEVEL", 7);
  // The entry that set the value when read is written again in place; the
  // one it overrode stays, still overridden.
  std::string after = before;
  after.replace(after.find("\"Level\"=dword:00000002"), 22, "\"Level\"=dword:00000007");
  EXPECT_EQ(File(), after);
  EXPECT_EQ(QueryW(u"SOFTWARE\\Agent", u"Level"), "\x07\0\0\0"s);

  // A new value goes after the last entry of its key; others stay.
  SetDword(u"SOFTWARE\\Agent", u"New", 1);
  after.insert(after.size(), "\"New\"=dword:00000001\n");
  EXPECT_EQ(File(), after);

  // A value that is deleted loses every entry that set it.
  HKEY key = Open(u"SOFTWARE\\Agent");
  EXPECT_EQ(RegDeleteValueW(key, u"Level"), ERROR_SUCCESS);
  RegCloseKey(key);
  Erase(after, "\"Level\"  =  dword:00000001   \n");
  Erase(after, "\"Level\"=dword:00000007\n");
  EXPECT_EQ(File(), after);
  EXPECT_EQ(QueryW(u"SOFTWARE\\Agent", u"Level"), "error 2");
}

TEST_F(RegRewrite, UnpairedSurrogatesAndNonUtf8BytesSurvive) {
  // In UTF-8 an unpaired surrogate is the three bytes of its code point.
  const std::string before = std::string(kHeader) +
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\S]\n"
                             "\"a\xed\xa0\x80\"=\"high\"\n"
                             "\"a\xed\xb0\x80\"=\"low \xed\xb0\x80\"\n"
                             "\"raw\"=\"\x80\x81\"\n";
  Image(before);
  // Two names that differ only in their surrogate are two values.
  EXPECT_EQ(QueryW(u"SOFTWARE\\S", u"a\xD800"), "h\0i\0g\0h\0\0\0"s);
  EXPECT_EQ(QueryW(u"SOFTWARE\\S", u"a\xDC00"), "l\0o\0w\0 \0\x00\xDC\0\0"s);

  SetDword(u"SOFTWARE\\S", u"b\xDBFF", 1);  // a name holding one too
  EXPECT_EQ(File(), before + "\"b\xed\xaf\xbf\"=dword:00000001\n");
  EXPECT_EQ(QueryW(u"SOFTWARE\\S", u"b\xDBFF"), "\x01\0\0\0"s);

  // A value holding unpaired units is written so that it reads back whole.
  HKEY key = Open(u"SOFTWARE\\S");
  const std::u16string lone = u"x\xDC01y";
  EXPECT_EQ(RegSetValueExW(key, u"lone", REG_SZ, reinterpret_cast<const BYTE*>(lone.data()), 8), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(QueryW(u"SOFTWARE\\S", u"lone"), "x\0\x01\xDCy\0\0\0"s);
  EXPECT_NE(File().find(before), std::string::npos);
}

TEST_F(RegRewrite, AUtf16LeImageStaysUtf16LeWithItsLineEnds) {
  const std::u16string before =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"; exported\r\n"
      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\W]\r\n"
      u"\"n\xD800\"=\"lone \xDC00 unit\"\r\n"
      u"\"n\xDBFF\"=dword:00000001\r\n"
      u"\"Bin\"=hex:01,\\\r\n  02\r\n";
  Image(Utf16File(before));
  EXPECT_EQ(QueryW(u"SOFTWARE\\W", u"n\xD800"), "l\0o\0n\0e\0 \0\0\xDC \0u\0n\0i\0t\0\0\0"s);
  EXPECT_EQ(QueryW(u"SOFTWARE\\W", u"n\xDBFF"), "\x01\0\0\0"s);

  SetDword(u"SOFTWARE\\W", u"n\xDBFF", 2);
  SetDword(u"SOFTWARE\\W\\Sub", u"v", 3);
  std::u16string after = before;
  after.replace(after.find(u"dword:00000001"), 14, u"dword:00000002");
  after += u"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\W\\Sub]\r\n\"v\"=dword:00000003\r\n\r\n";
  EXPECT_EQ(File(), Utf16File(after));
}

TEST_F(RegRewrite, AKeyDeletionIsAppliedWhenReadAndStaysWhereItStood) {
  const std::string before = std::string(kHeader) +
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\n"
                             "\"v\"=\"1\"\n\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept]\n"
                             "\"old\"=\"1\"\n"
                             "\"old\"=-\n\n"
                             "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\n\n";
  Image(before);
  EXPECT_EQ(QueryW(u"SOFTWARE\\Gone", u"v"), "<no key>");
  EXPECT_EQ(QueryW(u"SOFTWARE\\Kept", u"old"), "error 2");

  SetDword(u"SOFTWARE\\Kept", u"new", 1);
  std::string after = before;
  after.insert(after.find("\"old\"=-\n") + 8, "\"new\"=dword:00000001\n");
  EXPECT_EQ(File(), after);

  // Made again after its deletion: its lines come after the deletion.
  SetDword(u"SOFTWARE\\Gone", u"back", 1);
  after += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\n\"back\"=dword:00000001\n\n";
  EXPECT_EQ(File(), after);
  EXPECT_EQ(QueryW(u"SOFTWARE\\Gone", u"v"), "error 2");
  EXPECT_EQ(QueryW(u"SOFTWARE\\Gone", u"back"), "\x01\0\0\0"s);
}

TEST_F(RegRewrite, DeletedKeysLoseTheirLinesAndNothingComesBack) {
  const std::string before = std::string(kHeader) +
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\P\\Child]\n"
                             "; a comment inside\n"
                             "\"v\"=\"1\"\n\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q\\Old]\n\n"
                             "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Q\\Old]\n";
  Image(before);
  HKEY software = Open(u"SOFTWARE");
  EXPECT_EQ(RegDeleteKeyA(software, "P\\Child"), ERROR_SUCCESS);
  // P was named first by its child's line: a line of its own takes that
  // place, so that P keeps its place among its siblings.
  EXPECT_EQ(File(), std::string(kHeader) + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\P]\n; a comment inside\n\n" +
                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q\\Old]\n\n"
                        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Q\\Old]\n");
  // Q is kept in being by the line of a key deleted after it: deleting Q
  // takes that line too, so that Q does not come back.
  EXPECT_EQ(RegDeleteKeyA(software, "Q"), ERROR_SUCCESS);
  RegCloseKey(software);
  EXPECT_EQ(File().find("Q\\Old]\n\n[-"), std::string::npos) << File();
  EXPECT_EQ(QueryW(u"SOFTWARE\\Q", u""), "<no key>");
  EXPECT_EQ(QueryW(u"SOFTWARE\\P", u""), "error 2");
}

TEST(RegDocument, AnUnchangedDocumentWritesItsOwnBytes) {
  const std::string texts[] = {
      "",
      "\n\n",
      std::string(kHeader),
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n[HKCU\\A]\r\n\"x\"=\"1\"",
      std::string(kHeader) + "[HKLM\\A\\B]\n[-HKLM\\A\\B]\n\"orphan\"=\"1\"\n[HKLM\\C]\n@=-\n;end",
  };
  for (const auto& text : texts) {
    posix::RegDocument document;
    ASSERT_FALSE(document.Parse(text)) << text;
    const std::string rendered = document.Render();
    if (!text.starts_with(kHeader) && !text.starts_with("\xEF")) {
      EXPECT_EQ(rendered, std::string(kHeader) + text);  // a file without a header gets one
    } else {
      EXPECT_EQ(rendered, text);
    }
  }
}

TEST(RegDocument, NewValuesFollowTheLastEntryEvenWithoutALineEnd) {
  posix::RegDocument document;
  ASSERT_FALSE(document.Parse("Windows Registry Editor Version 5.00\r\n\r\n[HKCU\\A]\r\n\"x\"=\"1\""));
  posix::RegNode& a = *document.tree().FindChild(u"HKEY_CURRENT_USER")->FindChild(u"a");
  a.SetValue(u"y", REG_BINARY, {1, 2});
  a.AddChild(u"B");
  EXPECT_EQ(document.Render(),
            "Windows Registry Editor Version 5.00\r\n\r\n[HKCU\\A]\r\n\"x\"=\"1\"\r\n\"y\"=hex:01,02\r\n"
            "\r\n[HKEY_CURRENT_USER\\A\\B]\r\n\r\n");
}

}  // namespace
}  // namespace kv
