#include "tests/support/log_fixture.h"

#include "base/log_writer.h"

namespace kv::test {

LoggedMachineTest::LoggedMachineTest() {
  ResetLogger();
  machine.Use();
}

LoggedMachineTest::~LoggedMachineTest() { ResetLogger(); }

bool LoggedMachineTest::OpenLog(const char* name, const char* windowsDirectory, DWORD level, bool truncate) {
  if (!InitLoggerDefaults() || !SetLoggerParams(name, windowsDirectory, level)) return false;
  return truncate ? CreateLogFile() : OpenLogFile();
}

}  // namespace kv::test
