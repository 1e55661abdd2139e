#pragma once
// Telling the progress listener of a load or save how far it is: every few
// hundred rows and once at the end, so that a listener costs nothing per row.

#include <cstdint>

namespace kv {

class ProgressReport {
 public:
  ProgressReport(const char* operation, const char* tableName, std::int64_t total)
      : operation_(operation), tableName_(tableName), total_(total) {}
  // One more row done; false when the program asked the work to stop
  // (looked at as often as progress is told).
  [[nodiscard]] bool Step() {
    if ((++done_ & (kEvery - 1)) != 0) return true;
    Tell();
    return !Cancelled();
  }
  // The last report, with the rows done.
  void Finish() { Tell(); }

 private:
  static constexpr std::int64_t kEvery = 512;
  void Tell() const;
  bool Cancelled() const;

  const char* operation_;
  const char* tableName_;
  std::int64_t total_;
  std::int64_t done_ = 0;
};

}  // namespace kv
