// Writes on a full or failing disk (machine.json "disk"): every writer of
// the machine gives a clean error, and the file it replaces or appends to is
// left whole.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "platform/registry.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

using test::TempMachine;

class DiskFaults : public ::testing::Test {
 protected:
  void Faults(const std::string& faults) {
    machine.WriteMachineJson(R"({"disk":{"write_faults":[)" + faults + "]}}");
    machine.MakeDirectory("drive_c");
    machine.Use();
  }
  LONG SetValue(const char* name) {
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kv", 0, KEY_ALL_ACCESS, &key, nullptr);
    if (result != ERROR_SUCCESS) return result;
    const BYTE data[4] = {1, 0, 0, 0};
    result = RegSetValueExA(key, name, REG_DWORD, data, 4);
    RegCloseKey(key);
    return result;
  }

  TempMachine machine;
};

TEST_F(DiskFaults, TheRegistryFileStaysAsItWasOnAFullOrFailingDisk) {
  for (const char* error : {"ENOSPC", "EIO"}) {
    SCOPED_TRACE(error);
    machine.WriteRegistry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kv]\n\"Old\"=dword:00000001\n\n");
    const std::string before = machine.ReadFile("registry.reg");
    Faults(std::string(R"({"file":"registry.reg","error":")") + error + R"(","after":10})");
    EXPECT_NE(SetValue("New"), ERROR_SUCCESS);
    EXPECT_EQ(machine.ReadFile("registry.reg"), before);
    EXPECT_FALSE(machine.Exists("registry.reg.tmp"));
  }
}

TEST_F(DiskFaults, AFileTakesWhatFitsThenTheWriteFailsWithTheDisksCode) {
  Faults(R"({"file":"out.bin","after":10},{"file":"io.bin","error":"EIO"})");
  FileHandle file;
  ASSERT_EQ(CreateFile("C:\\out.bin", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file), ERROR_SUCCESS);
  DWORD written = 0;
  EXPECT_EQ(file.Write("0123456789abcdef", 16, &written), ERROR_DISK_FULL);
  EXPECT_EQ(written, 10u);
  EXPECT_EQ(file.Write("x", 1, &written), ERROR_DISK_FULL);
  EXPECT_EQ(written, 0u);
  ASSERT_EQ(file.Close(), ERROR_SUCCESS);
  EXPECT_EQ(machine.ReadFile("drive_c/out.bin"), "0123456789");

  FileHandle io;
  ASSERT_EQ(CreateFile("C:\\io.bin", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &io), ERROR_SUCCESS);
  EXPECT_NE(io.Write("x", 1, &written), ERROR_SUCCESS);

  // A file the faults do not name is written as ever; so is a stream.
  FileHandle other;
  ASSERT_EQ(CreateFile("C:\\other.bin", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &other), ERROR_SUCCESS);
  EXPECT_EQ(other.Write("0123456789abcdef", 16, &written), ERROR_SUCCESS);
  std::FILE* stream = OpenStream("C:\\dir\\..\\out.bin", "w");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(std::fputs("too much for the disk", stream) >= 0 && std::fflush(stream) == 0, false);
  std::fclose(stream);
}

}  // namespace
}  // namespace kv
