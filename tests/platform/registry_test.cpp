#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "platform/last_error.h"
#include "platform/posix/reg_file.h"
#include "platform/unicode.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

using test::TempMachine;

const BYTE* Data(std::string_view s) { return reinterpret_cast<const BYTE*>(s.data()); }
DWORD Size(std::string_view s) { return static_cast<DWORD>(s.size()); }

std::string Utf16Bytes(std::u16string_view text) {
  const std::vector<BYTE> bytes = posix::Utf16LeBytes(text);
  return std::string(bytes.begin(), bytes.end());
}

// The value as the narrow functions read it, or "error N".
std::string Read(HKEY root, std::string_view path, std::string_view name, DWORD access = KEY_READ) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExA(root, path, 0, access, &key);
  if (rc != ERROR_SUCCESS) return "error " + std::to_string(rc);
  DWORD type = 0, size = 0;
  rc = RegQueryValueExA(key, name, &type, nullptr, &size);
  std::string data(size, '\0');
  if (rc == ERROR_SUCCESS) rc = RegQueryValueExA(key, name, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return "error " + std::to_string(rc);
  if (!data.empty() && data.back() == '\0') data.pop_back();
  return data;
}

LONG Write(HKEY root, std::string_view path, std::string_view name, std::string_view text,
           DWORD access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(root, path, 0, access, &key, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueExA(key, name, REG_SZ, Data(text), Size(text) + 1);
  RegCloseKey(key);
  return rc;
}

std::vector<std::string> Subkeys(HKEY root, std::string_view path, DWORD access = KEY_READ) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, access, &key) != ERROR_SUCCESS) return {"<no key>"};
  std::string name;
  for (DWORD i = 0; RegEnumKeyA(key, i, &name) == ERROR_SUCCESS; ++i) names.push_back(name);
  RegCloseKey(key);
  return names;
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { machine.Use(); }
  TempMachine machine;
};

TEST_F(Registry, NarrowAndWideValuesConvertOnlyStringTypes) {
  ASSERT_EQ(Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\App", "Text", "gr\u00fc\u00df"), ERROR_SUCCESS);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"software\\APP", 0, KEY_READ, &key), ERROR_SUCCESS);

  // Stored as UTF-16LE with the terminator the caller counted.
  char wide[32] = {};
  DWORD type = 0, size = sizeof wide;
  ASSERT_EQ(RegQueryValueExW(key, u"text", &type, reinterpret_cast<BYTE*>(wide), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(std::string(wide, size), Utf16Bytes(std::u16string(u"gr\u00fc\u00df") + u'\0'));

  // Narrow: the UTF-8 size, learnt with a null buffer, too small a buffer says how much.
  size = 0;
  type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "TEXT", &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 7u);
  char narrow[8] = {};
  size = 3;
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, reinterpret_cast<BYTE*>(narrow), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
  size = sizeof narrow;
  ASSERT_EQ(RegQueryValueExA(key, "Text", nullptr, reinterpret_cast<BYTE*>(narrow), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(narrow, size), std::string("gr\u00fc\u00df", 6) + '\0');
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, reinterpret_cast<BYTE*>(narrow), nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(key, "Text", &type, nullptr, nullptr), ERROR_SUCCESS);
  RegCloseKey(key);

  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\App", 0, KEY_ALL_ACCESS, &key, nullptr), ERROR_SUCCESS);
  // Data stored without its terminator reads back without one; other types pass unchanged.
  const std::string bare = Utf16Bytes(u"abc");
  ASSERT_EQ(RegSetValueExW(key, u"Bare", REG_EXPAND_SZ, Data(bare), Size(bare)), ERROR_SUCCESS);
  const std::string multi = std::string("a\0b\0\0", 5);
  ASSERT_EQ(RegSetValueExA(key, "Multi", REG_MULTI_SZ, Data(multi), Size(multi)), ERROR_SUCCESS);
  const std::string blob("\x01\x00\xff", 3);
  ASSERT_EQ(RegSetValueExA(key, "Blob", REG_BINARY, Data(blob), Size(blob)), ERROR_SUCCESS);
  const DWORD number = 0xfffffffe;
  ASSERT_EQ(RegSetValueExA(key, "", REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), ERROR_SUCCESS);
  RegCloseKey(key);

  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\App", "Bare"), "abc");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\App", "Multi"), std::string("a\0b\0", 4));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\App", "Blob"), blob);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\App", ""), std::string("\xfe\xff\xff\xff", 4));
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\App", 0, KEY_READ, &key), ERROR_SUCCESS);
  char buffer[16];
  size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExW(key, u"Multi", &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(buffer, size), Utf16Bytes(std::u16string_view(u"a\0b\0\0", 5)));
  RegCloseKey(key);

  const std::string file = machine.ReadFile("registry.reg");
  EXPECT_NE(file.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\App]\n\"Text\"=\"gr\u00fc\u00df\"\n"), std::string::npos) << file;
  EXPECT_NE(file.find("\"Bare\"=hex(2):61,00,62,00,63,00\n"), std::string::npos) << file;
  EXPECT_NE(file.find("@=dword:fffffffe\n"), std::string::npos) << file;
}

TEST_F(Registry, MissingKeysValuesAndHandlesAnswerWithWindowsCodes) {
  HKEY key = nullptr;
  SetLastError(0);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nothing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);

  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Here", 0, KEY_ALL_ACCESS, &key, nullptr), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "absent", nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueA(key, "absent"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExA(key, "x", nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);

  // A handle whose key is deleted meanwhile.
  HKEY held = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Here\\Child", 0, KEY_ALL_ACCESS, &held, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Here"), ERROR_ACCESS_DENIED);  // it has a subkey
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Here\\child"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Here\\Child"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegSetValueExA(held, "v", REG_BINARY, nullptr, 0), ERROR_KEY_DELETED);
  EXPECT_EQ(RegQueryValueExA(held, "v", nullptr, nullptr, &size), ERROR_KEY_DELETED);
  std::string name;
  EXPECT_EQ(RegEnumKeyA(held, 0, &name), ERROR_KEY_DELETED);
  EXPECT_EQ(GetLastError(), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(held), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);  // a hive stays
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "a\nb", 0, KEY_READ, &key), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, ChangesAreInTheFileAtOnce) {
  DWORD disposition = 0;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Empty", 0, KEY_ALL_ACCESS, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  RegCloseKey(key);
  EXPECT_NE(machine.ReadFile("registry.reg").find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Empty]\n"),
            std::string::npos);
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\VENDOR\\empty", 0, KEY_ALL_ACCESS, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);

  ASSERT_EQ(RegSetValueExA(key, "Mixed Case", REG_SZ, Data("1"), 2), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "MIXED CASE", REG_SZ, Data("2"), 2), ERROR_SUCCESS);
  std::string file = machine.ReadFile("registry.reg");
  EXPECT_NE(file.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Empty]\n\"Mixed Case\"=\"2\"\n"), std::string::npos)
      << file;
  EXPECT_EQ(RegDeleteValueA(key, "mixed case"), ERROR_SUCCESS);
  EXPECT_EQ(machine.ReadFile("registry.reg").find("Mixed"), std::string::npos);
  RegCloseKey(key);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Empty"), ERROR_SUCCESS);
  EXPECT_EQ(machine.ReadFile("registry.reg").find("Empty"), std::string::npos);

  // Nothing but the file holds the registry: another image, then this one again.
  ASSERT_EQ(Write(HKEY_CURRENT_USER, "Console", "Font", "Consolas"), ERROR_SUCCESS);
  TempMachine other;
  other.WriteRegistry("[HKEY_CURRENT_USER\\Console]\n\"Font\"=\"Lucida\"\n");
  other.Use();
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Console", "Font"), "Lucida");
  machine.Use();
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Console", "Font"), "Consolas");

  // A change made to the file behind the process's back is seen, even one
  // that keeps the file's size.
  file = machine.ReadFile("registry.reg");
  file.replace(file.find("Consolas"), 8, "Terminal");
  machine.WriteFile("registry.reg", file);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Console", "Font"), "Terminal");
}

TEST_F(Registry, EnumeratesSubkeysInWindowsOrderWhateverTheStoredOrder) {
  // Windows lists subkeys sorted by their upper-cased names.
  machine.WriteRegistry(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\List\\Beta]\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\List\\alpha]\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\List\\A much longer name]\n\n");
  EXPECT_EQ(Subkeys(HKEY_LOCAL_MACHINE, "SOFTWARE\\List"),
            (std::vector<std::string>{"A much longer name", "alpha", "Beta"}));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\List", 0, KEY_READ, &key), ERROR_SUCCESS);
  std::string name = "unchanged";
  EXPECT_EQ(RegEnumKeyA(key, 3, &name), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegEnumKeyA(key, 2, &name, 4), ERROR_MORE_DATA);  // "Beta" needs 5 with its terminator
  EXPECT_EQ(RegEnumKeyA(key, 2, &name, 5), ERROR_SUCCESS);
  EXPECT_EQ(name, "Beta");
  RegCloseKey(key);
}

// A 64-bit machine with a 32-bit process, the agent's own case.
class Wow64Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.WriteMachineJson(R"({"os": {"architecture": 9, "wow64": true}})");
    machine.WriteRegistry(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\n\"Bits\"=\"64\"\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE\\Vendor]\n\"Bits\"=\"32\"\n\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\Setup]\n\"Shared\"=\"yes\"\n\n");
    machine.Use();
  }
  TempMachine machine;
};

TEST_F(Wow64Registry, TheThirtyTwoBitViewStepsIntoWow6432Node) {
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Bits"), "32");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Bits", KEY_READ | KEY_WOW64_32KEY), "32");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Bits", KEY_READ | KEY_WOW64_64KEY), "64");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Vendor", "Bits"), "32");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SYSTEM\\Setup", "Shared"), "yes");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SYSTEM\\Setup", "Shared", KEY_READ | KEY_WOW64_64KEY), "yes");
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ | KEY_WOW64_RES, &key), ERROR_INVALID_PARAMETER);

  // Relative opens go on from where the key was found, in the view they ask for.
  HKEY software = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ | KEY_WOW64_64KEY, &software), ERROR_SUCCESS);
  EXPECT_EQ(Read(software, "Vendor", "Bits"), "32");
  EXPECT_EQ(Read(software, "Vendor", "Bits", KEY_READ | KEY_WOW64_64KEY), "64");
  RegCloseKey(software);

  // Creating follows the same rule; the file shows where each key went.
  ASSERT_EQ(Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\Agent", "Dir", "C:\\Agent", KEY_ALL_ACCESS), ERROR_SUCCESS);
  ASSERT_EQ(Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\Policy", "On", "1", KEY_ALL_ACCESS | KEY_WOW64_64KEY), ERROR_SUCCESS);
  const std::string file = machine.ReadFile("registry.reg");
  EXPECT_NE(file.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE\\Agent]\n\"Dir\"=\"C:\\\\Agent\"\n"),
            std::string::npos)
      << file;
  EXPECT_NE(file.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Policy]\n\"On\"=\"1\"\n"), std::string::npos) << file;
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Agent", "Dir", KEY_READ | KEY_WOW64_64KEY), "error 2");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Policy", "On"), "error 2");

  // Deleting by the process's view removes the 32-bit key.
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Agent"), ERROR_SUCCESS);
  EXPECT_EQ(machine.ReadFile("registry.reg").find("Agent"), std::string::npos);
}

TEST_F(Wow64Registry, EnumerationHidesWow6432NodeInTheThirtyTwoBitView) {
  EXPECT_EQ(Subkeys(HKEY_LOCAL_MACHINE, "SOFTWARE"), (std::vector<std::string>{"Vendor"}));
  EXPECT_EQ(Subkeys(HKEY_LOCAL_MACHINE, "SOFTWARE", KEY_READ | KEY_WOW64_64KEY),
            (std::vector<std::string>{"Vendor", "WOW6432NODE"}));
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE"), ERROR_ACCESS_DENIED);
}

TEST(RegistryViews, ANativeProcessAndAThirtyTwoBitMachineHaveOneDefaultView) {
  const std::string keys =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\n\"Bits\"=\"64\"\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor]\n\"Bits\"=\"32\"\n\n";
  TempMachine native;
  native.WriteMachineJson(R"({"os": {"architecture": 9, "wow64": false}})");
  native.WriteRegistry(keys);
  native.Use();
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Bits"), "64");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Bits", KEY_READ | KEY_WOW64_32KEY), "32");
  EXPECT_EQ(Subkeys(HKEY_LOCAL_MACHINE, "SOFTWARE").size(), 2u);

  TempMachine x86;
  x86.WriteMachineJson(R"({"os": {"architecture": 0, "wow64": false}})");
  x86.WriteRegistry(keys);
  x86.Use();
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Bits", KEY_READ | KEY_WOW64_32KEY), "64");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Bits", KEY_READ | KEY_WOW64_RES), "64");
}

TEST_F(Registry, AMalformedImageFailsEveryCallAndIsNeverRewritten) {
  const std::string bad = std::string(test::kRegHeader) +
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n"
                          "\"ok\"=dword:00000001\n"
                          "\"broken\"=dword:xyz\n";
  machine.WriteFile("registry.reg", bad);
  testing::internal::CaptureStderr();
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", 0, KEY_READ, &key), ERROR_BADDB);
  EXPECT_EQ(GetLastError(), ERROR_BADDB);
  EXPECT_EQ(Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "new", "v"), ERROR_BADDB);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\X"), ERROR_BADDB);
  std::string name;
  EXPECT_EQ(RegEnumKeyA(HKEY_LOCAL_MACHINE, 0, &name), ERROR_BADDB);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(machine.Path("registry.reg") + ":5:"), std::string::npos) << err;
  EXPECT_EQ(err.find("registry.reg"), err.rfind("registry.reg")) << "reported more than once:\n" << err;
  EXPECT_EQ(machine.ReadFile("registry.reg"), bad);

  // Mended, the image works again.
  machine.WriteRegistry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"ok\"=\"fine\"\n");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "ok"), "fine");
}

TEST(RegistryImage, AnInvalidMachineJsonFailsWithBadDb) {
  TempMachine machine;
  machine.WriteMachineJson("{ not json");
  machine.WriteRegistry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"ok\"=\"fine\"\n");
  const std::string before = machine.ReadFile("registry.reg");
  testing::internal::CaptureStderr();
  machine.Use();
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "ok"), "error 1009");
  EXPECT_EQ(Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "new", "v"), ERROR_BADDB);
  EXPECT_EQ(machine.ReadFile("registry.reg"), before);
}

TEST(RegistryImage, AMissingFileIsAnEmptyRegistryUntilTheFirstWrite) {
  TempMachine machine;
  std::filesystem::remove(machine.Path("registry.reg"));
  machine.Use();
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "v"), "error 2");
  EXPECT_EQ(Subkeys(HKEY_LOCAL_MACHINE, ""), std::vector<std::string>{});
  EXPECT_FALSE(machine.Exists("registry.reg"));
  ASSERT_EQ(Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "v", "1"), ERROR_SUCCESS);
  EXPECT_EQ(machine.ReadFile("registry.reg"),
            "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"v\"=\"1\"\n\n");
}

TEST_F(Registry, AWriteThatCannotBePersistedIsNotKept) {
  ASSERT_EQ(Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "kept", "1"), ERROR_SUCCESS);
  const std::string before = machine.ReadFile("registry.reg");
  // The new file cannot be made where it must be.
  machine.MakeDirectory("registry.reg.tmp/blocker");
  EXPECT_EQ(Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "lost", "2"), ERROR_CANTWRITE);
  EXPECT_EQ(GetLastError(), ERROR_CANTWRITE);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "lost"), "error 2");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "kept"), "1");
  EXPECT_EQ(machine.ReadFile("registry.reg"), before);
  std::filesystem::remove_all(machine.Path("registry.reg.tmp"));
  EXPECT_EQ(Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "lost", "2"), ERROR_SUCCESS);
}

// Run as an unprivileged user, for the permission check means nothing to root.
int RunUnprivileged(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(90);
    _exit(body());
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(Registry, AWriteToAReadOnlyImageIsDeniedAndChangesNothing) {
  ASSERT_EQ(Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "kept", "1"), ERROR_SUCCESS);
  const std::string before = machine.ReadFile("registry.reg");
  ASSERT_EQ(chmod(machine.dir().c_str(), 0555), 0);
  const int result = RunUnprivileged([] {
    if (Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "denied", "2") != ERROR_ACCESS_DENIED) return 1;
    if (GetLastError() != ERROR_ACCESS_DENIED) return 2;
    if (Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "denied") != "error 2") return 3;
    if (Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "kept") != "1") return 4;
    return 0;
  });
  chmod(machine.dir().c_str(), 0700);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(machine.ReadFile("registry.reg"), before);
}

TEST_F(Registry, ThreadsShareTheStore) {
  auto writer = [](const char* prefix) {
    for (int i = 0; i < 20; ++i) {
      const std::string name = prefix + std::to_string(i);
      if (Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\Threads", name, name) != ERROR_SUCCESS) return;
      if (Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Threads", name) != name) return;
    }
  };
  std::thread a(writer, "a"), b(writer, "b");
  a.join();
  b.join();
  for (int i = 0; i < 20; ++i)
    for (const std::string prefix : {"a", "b"})
      EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Threads", prefix + std::to_string(i)), prefix + std::to_string(i));
}

}  // namespace
}  // namespace kv
