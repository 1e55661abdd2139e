#pragma once
// The store's log for the length of a run: kept in the run's own directory
// at the ERROR level, so that the store never writes a log into a data
// directory a person names. Why a command failed reaches cfennel through a
// FailureCapture, not through this file.

#include "run_directory.h"

namespace kv {

class RunLog {
 public:
  // Opens the store log at the ERROR level in the run's directory.
  explicit RunLog(const RunDirectory& run);
  // Closes the log.
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Back to the ERROR level (the store's start-up raises it).
  void KeepErrorsOnly();

 private:
  const RunDirectory& run_;
  bool open_ = false;
};

}  // namespace kv
