// Damaged registry files: whatever the bytes, reading either fails with a
// line number or gives a registry that writes and reads back unchanged.

#include <gtest/gtest.h>

#include <random>

#include "platform/posix/reg_file.h"

namespace kv::posix {
namespace {

constexpr const char* kSample =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\Kelvane\\KVAgent]\n"
    "@=\"default\"\n"
    "\"KVAgentInstallDir\"=\"C:\\\\Program Files (x86)\\\\Tarnwick\\\\\"\n"
    "\"Level\"=dword:00000004\n"
    "\"Bin\"=hex:01,02,03,ff\n"
    "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
    "\"Expand\"=hex(2):25,00,54,00,00,00\n"
    "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n"
    "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n"
    "  17,18,19,1a\n\n"
    "[HKLM\\SYSTEM\\CurrentControlSet]\n"
    "\"Name\"=\"Tarnwick \\\"quoted\\\"\"\n";

TEST(RegFileMutationTest, DamagedFilesFailCleanlyOrRoundTrip) {
  std::mt19937 random(20261208);
  const std::string sample = kSample;
  const char interesting[] = {'[', ']', '"', '\\', '=', ':', ',', '\n', '@', '-', '(', ')', '\0', '\xff', 'x'};
  for (int round = 0; round < 3000; ++round) {
    std::string text = sample;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % text.size();
      switch (random() % 3) {
        case 0: text[at] = interesting[random() % sizeof interesting]; break;
        case 1: text.erase(at, 1 + random() % 8); break;
        default: text.insert(at, 1, interesting[random() % sizeof interesting]); break;
      }
      if (text.empty()) text = "x";
    }
    RegNode registry = MakeEmptyRegistry();
    const auto error = ParseRegFile(text, registry);
    if (error) {
      EXPECT_GE(error->line, 1u) << text;
      continue;
    }
    const std::string written = FormatRegFile(registry);
    RegNode reread = MakeEmptyRegistry();
    ASSERT_FALSE(ParseRegFile(written, reread).has_value()) << written;
    EXPECT_EQ(FormatRegFile(reread), written);
  }
}

}  // namespace
}  // namespace kv::posix
