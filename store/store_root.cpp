#include "store/store_root.h"

#include "base/log_writer.h"

namespace kv {
namespace {

struct StoreRoot {
  std::optional<std::string> directory;
};

StoreRoot& Root() {
  static StoreRoot root;
  return root;
}

}  // namespace

void SetCFennelRoot(const char* directory) {
  LogTrace("@@@ Inside SetCFennelRoot @@@\n");
  if (!directory) {
    LogDebug("Default Path Used");
    return;
  }
  Root().directory = directory;
  SetLogRootDirectory(directory);
}

std::optional<std::string> CFennelRoot() { return Root().directory; }

void ResetCFennelRoot() {
  Root().directory.reset();
  SetLogRootDirectory(nullptr);
}

}  // namespace kv
