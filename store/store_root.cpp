#include "store/store_root.h"

namespace kv {
namespace {
std::optional<std::string>& Root() {
  static std::optional<std::string> root;
  return root;
}
}  // namespace

void SetCFennelRoot(const char* directory) {
  if (directory)
    Root() = directory;
  else
    Root().reset();
}

const std::optional<std::string>& CFennelRoot() { return Root(); }

}  // namespace kv
