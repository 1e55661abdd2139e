#pragma once
// The scenario tests once more against Windows' own facilities: with
// KV_WINE_BIN naming the bin folder of a Windows build, the programs the
// tests start are that build's, run under Wine. A machine image becomes a
// Wine prefix of its own (Wine's C: drive is the image's drive_c/), its
// registry.reg is imported into Wine's real registry with Wine's "reg
// import", and after the run the prefix's registry is written back to
// registry.reg, so that a test reads the outcome as it does on the emulated
// machine. Facilities that Wine cannot serve make a test skip, naming why.

#include <string>
#include <vector>

#include "tests/support/test_machine.h"

namespace kv::test {

// Whether the tests run the Windows build under Wine.
bool WineMode();
// The Windows build's bin folder ("" outside Wine mode).
std::string WineBin();

// Whether the Windows build under Wine is the 64-bit one, which runs where
// this machine cannot execute 32-bit programs. It reads the registry in the
// native view; the harness shows it the agent's key where the 32-bit agent
// finds it, but a scenario about the 32-bit view itself cannot run with it.
bool WineBuildIs64Bit();

// Runs a program of the Windows build (name without ".exe") under Wine on
// the image, and records its whole exit code in the image's "exit-code".
RunResult RunUnderWine(const TempMachine& machine, const std::string& program, const std::vector<std::string>& args);

}  // namespace kv::test

// Skips the current test in Wine mode, naming what Wine cannot serve.
#define KV_SKIP_UNDER_WINE(reason) \
  if (::kv::test::WineMode()) GTEST_SKIP() << "not served by Wine: " << reason
// Skips the current test with the 64-bit build under Wine, naming what
// depends on the 32-bit program's view of the registry.
#define KV_SKIP_UNDER_64BIT_WINE(reason) \
  if (::kv::test::WineBuildIs64Bit())    \
  GTEST_SKIP() << "needs the 32-bit build, which this machine cannot execute under Wine: " << reason
