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
  if (directory)
    Root().directory = directory;
  else
    Root().directory.reset();
  SetLogRootDirectory(directory);
}

std::optional<std::string> CFennelRoot() { return Root().directory; }

void ResetCFennelRoot() { SetCFennelRoot(nullptr); }

}  // namespace kv
