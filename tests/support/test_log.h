#pragma once
// A log opened by a test in a temporary directory at a chosen level, closed
// and freed when the object goes.

#include <string>

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
  std::string dir_;
  std::string path_;
};

}  // namespace kv::test
