#include "tests/support/test_log.h"

#include <stdexcept>

#include "base/log_writer.h"
#include "platform/posix/machine.h"
#include "tests/support/child_process.h"

namespace kv::test {

TestLog::TestLog(unsigned level) {
  // The log is opened on its own image; the machine the test uses comes back.
  const std::string previous = posix::Machine().directory;
  image_.MakeDirectory("drive_c/logs");
  image_.Use();
  ResetLogger();
  const bool opened = InitLoggerDefaults() && SetLoggerParams("test.log", "C:\\logs", level) && CreateLogFile();
  posix::UseMachine(previous);
  if (!opened) throw std::runtime_error("cannot open the test log");
  path_ = image_.Path("drive_c/logs/test.log");
}

TestLog::~TestLog() { ResetLogger(); }

std::string TestLog::Contents() const { return ReadWholeFile(path_); }

}  // namespace kv::test
