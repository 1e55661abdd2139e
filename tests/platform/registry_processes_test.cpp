// Processes sharing one machine image: concurrent writers lose nothing, and a
// writer killed in the middle of a write leaves a whole registry.reg.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "platform/registry.h"
#include "tests/platform/written_registry_values.h"
#include "tests/support/child_process.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

using test::TempMachine;
using test::WrittenValues;

// An image in memory when the host has /dev/shm: what these tests check is
// the locking and the replacing of the file, and a disk's flush time on a
// loaded machine would only make them slow.
std::unique_ptr<TempMachine> MakeImage() {
  const char* previous = std::getenv("TMPDIR");
  const std::string saved = previous ? previous : "";
  if (access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
  auto machine = std::make_unique<TempMachine>();
  if (previous)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
  return machine;
}

// Starts kv_reg_writer on the image without waiting for it.
pid_t StartWriter(const std::string& image, const std::string& prefix, int count) {
  test::SpawnOptions options;
  options.env = {{"KV_MACHINE", image}};
  return test::SpawnProgram(test::BinPath("kv_reg_writer"), {prefix, std::to_string(count)}, options);
}

// The exit code, or minus the signal that ended the process.
int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

std::string ValueName(const std::string& prefix, int i) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%04d", prefix.c_str(), i);
  return name;
}

// How many of prefix0000, prefix0001, ... are there in order, each holding
// its number; -1 when the values with that prefix are not such a prefix.
int ConsistentPrefix(const std::map<std::string, std::string>& values, const std::string& prefix) {
  int count = 0;
  for (const auto& [name, text] : values)
    if (name.starts_with(prefix)) ++count;
  for (int i = 0; i < count; ++i) {
    const auto it = values.find(ValueName(prefix, i));
    if (it == values.end() || it->second != std::to_string(i)) return -1;
  }
  return count;
}

TEST(RegistryProcesses, TwoWritersAtOnceLoseNothing) {
  const auto image = MakeImage();
  TempMachine& machine = *image;
  const pid_t a = StartWriter(machine.dir(), "a", 500);
  const pid_t b = StartWriter(machine.dir(), "b", 500);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  EXPECT_EQ(WaitFor(a), 0);
  EXPECT_EQ(WaitFor(b), 0);

  std::string why;
  const auto values = WrittenValues(machine, u"KvTest", &why);
  ASSERT_TRUE(values) << why;
  EXPECT_EQ(values->size(), 1000u);
  EXPECT_EQ(ConsistentPrefix(*values, "a"), 500);
  EXPECT_EQ(ConsistentPrefix(*values, "b"), 500);

  // And this process reads what they wrote.
  machine.Use();
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KvTest", 0, KEY_READ, &key), ERROR_SUCCESS);
  char text[8] = {};
  DWORD size = sizeof text;
  EXPECT_EQ(RegQueryValueExA(key, "b0499", nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, "499");
  RegCloseKey(key);
}

TEST(RegistryProcesses, AWriterKilledMidWriteLeavesTheFileWhole) {
  const auto image = MakeImage();
  TempMachine& machine = *image;
  std::map<std::string, int> kept;  // prefix -> values that round left
  // Every version of the file parses completely and holds a consistent
  // prefix of every writer's values, the earlier writers' ones all.
  const auto whole = [&](const std::map<std::string, std::string>& values, const std::string& prefix) {
    if (ConsistentPrefix(values, prefix) < 0) return false;
    for (const auto& [earlier, n] : kept)
      if (ConsistentPrefix(values, earlier) != n) return false;
    return true;
  };
  for (int round = 0; round < 10; ++round) {
    const std::string prefix = "r" + std::to_string(round) + "_";
    const pid_t pid = StartWriter(machine.dir(), prefix, 0);
    ASSERT_GT(pid, 0);
    // Watch the file while the writer works; kill it at a varying moment
    // once it has begun.
    std::string why;
    for (int polls = -1; polls < 2 + round * 3;) {
      const auto values = WrittenValues(machine, u"KvTest", &why);
      ASSERT_TRUE(values) << why;
      ASSERT_TRUE(whole(*values, prefix)) << "while " << prefix << " was writing";
      if (polls >= 0 || values->count(ValueName(prefix, 0)))
        ++polls;
      else
        ASSERT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "the writer ended early";
      usleep(300);
    }
    kill(pid, SIGKILL);
    EXPECT_EQ(WaitFor(pid), -SIGKILL);

    const auto values = WrittenValues(machine, u"KvTest", &why);
    ASSERT_TRUE(values) << why;
    ASSERT_TRUE(whole(*values, prefix)) << "after " << prefix << " was killed";
    kept[prefix] = ConsistentPrefix(*values, prefix);
    EXPECT_GE(kept[prefix], 1);
  }

  // What a killed writer leaves behind does not stand in the way of the next.
  machine.Use();
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KvTest", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "after", REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  RegCloseKey(key);
  std::string why;
  const auto values = WrittenValues(machine, u"KvTest", &why);
  ASSERT_TRUE(values) << why;
  EXPECT_EQ(values->count("after"), 1u);
}

}  // namespace
}  // namespace kv
