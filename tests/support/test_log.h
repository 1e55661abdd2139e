#pragma once
// A log opened by a test in a machine image of its own at a chosen level,
// closed and freed when the object goes. The machine the process uses stays
// the one it was.

#include <string>

#include "tests/support/test_machine.h"

namespace kv::test {

class TestLog {
 public:
  explicit TestLog(unsigned level = 4);
  ~TestLog();
  TestLog(const TestLog&) = delete;
  TestLog& operator=(const TestLog&) = delete;

  std::string Contents() const;
  bool Contains(const std::string& text) const { return Contents().find(text) != std::string::npos; }
  const std::string& path() const { return path_; }

 private:
  TempMachine image_;
  std::string path_;
};

}  // namespace kv::test
