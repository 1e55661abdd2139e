#pragma once
// A directory of cfennel's own for the length of a run, in the machine's
// TEMP, named as the store names files: the store's log and the ODBC
// configuration of the run live there. It is removed at the end.

#include <filesystem>
#include <string>

namespace kv {

class RunDirectory {
 public:
  RunDirectory();
  ~RunDirectory();
  RunDirectory(const RunDirectory&) = delete;
  RunDirectory& operator=(const RunDirectory&) = delete;

  // Empty when no directory could be made.
  bool made() const { return !path_.empty(); }
  // As the machine names it.
  const std::string& path() const { return path_; }
  // As this program's own file functions name it.
  const std::filesystem::path& hostPath() const { return host_; }

 private:
  std::string path_;
  std::filesystem::path host_;
};

}  // namespace kv
