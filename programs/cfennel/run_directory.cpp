#include "run_directory.h"

#include <random>
#include <system_error>

#include "base/text_format.h"
#include "platform/files.h"
#include "platform/system.h"

namespace kv {

RunDirectory::RunDirectory() {
  const std::string temporary = GetEnvironmentVariable("TEMP").value_or("C:\\Windows\\Temp");
  std::random_device random;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::string candidate = temporary + "\\" + Format("cfennel-%08x", static_cast<unsigned>(random()));
    if (CreateDirectoryTree(candidate) == ERROR_SUCCESS) path_ = candidate;
  }
  if (made()) host_ = MapPath(path_);
}

RunDirectory::~RunDirectory() {
  std::error_code error;
  if (!host_.empty()) std::filesystem::remove_all(host_, error);
}

}  // namespace kv
