#pragma once
// The store explains its failures only in its log. cfennel keeps that log
// in the run's own directory and reads back the ERROR lines a command
// wrote, to tell the user why the command failed.

#include <cstddef>
#include <filesystem>
#include <string>

#include "run_directory.h"

namespace kv {

class StoreReasons {
 public:
  // Opens the store log at the ERROR level in the run's directory.
  explicit StoreReasons(const RunDirectory& run);
  // Closes the log.
  ~StoreReasons();
  StoreReasons(const StoreReasons&) = delete;
  StoreReasons& operator=(const StoreReasons&) = delete;

  // Back to the ERROR level (the store's start-up raises it).
  void KeepErrorsOnly();
  // Forgets what was logged so far.
  void Mark();
  // The texts of the ERROR lines logged since the mark, each on one line,
  // joined with "; "; empty when there are none.
  std::string ErrorsSinceMark() const;

 private:
  const RunDirectory& run_;
  std::filesystem::path log_;
  std::uintmax_t mark_ = 0;
};

}  // namespace kv
