#pragma once
// A test on a fresh machine image whose process log starts closed and
// forgotten and is closed and forgotten again when the test ends.

#include <gtest/gtest.h>

#include "platform/win_types.h"
#include "tests/support/test_machine.h"

namespace kv::test {

class LoggedMachineTest : public ::testing::Test {
 protected:
  LoggedMachineTest();
  ~LoggedMachineTest() override;

  // Opens the log "name" in a Windows directory of the image at a level,
  // emptying it (truncate) or appending to it.
  bool OpenLog(const char* name, const char* windowsDirectory, DWORD level, bool truncate = true);

  TempMachine machine;
};

}  // namespace kv::test
