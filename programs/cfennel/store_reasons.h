#pragma once
// The store explains its failures only in its log. cfennel keeps that log
// in a directory of its own for the length of the run and reads back the
// ERROR lines a command wrote, to tell the user why the command failed.

#include <cstddef>
#include <filesystem>
#include <string>

namespace kv {

class StoreReasons {
 public:
  // Opens the store log at the ERROR level in a new directory in the
  // machine's TEMP.
  StoreReasons();
  // Closes the log and removes the directory.
  ~StoreReasons();
  StoreReasons(const StoreReasons&) = delete;
  StoreReasons& operator=(const StoreReasons&) = delete;

  // Forgets what was logged so far.
  void Mark();
  // The texts of the ERROR lines logged since the mark, each on one line,
  // joined with "; "; empty when there are none.
  std::string ErrorsSinceMark() const;

 private:
  std::filesystem::path directory_;
  std::filesystem::path log_;
  std::uintmax_t mark_ = 0;
};

}  // namespace kv
