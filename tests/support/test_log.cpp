#include "tests/support/test_log.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "base/log_writer.h"

namespace kv::test {

TestLog::TestLog(unsigned level) {
  std::string pattern = (std::filesystem::temp_directory_path() / "kvlog-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  path_ = dir_ + "/test.log";
  ResetLogger();
  InitLoggerDefaults();
  SetLoggerParams("test.log", dir_.c_str(), level);
  if (!CreateLogFile()) throw std::runtime_error("cannot open the test log");
}

TestLog::~TestLog() {
  ResetLogger();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string TestLog::Contents() const {
  std::ifstream in(path_, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

}  // namespace kv::test
