#include "dbstore/data_files.h"

#include "base/log_writer.h"
#include "platform/files.h"
#include "store/store_root.h"

namespace kv {

std::string RelativeDataPath(const char* name) { return std::string("..\\data\\") + name; }

StoreDataFile OpenStoreDataFile(const char* name) {
  StoreDataFile found;
  found.file.reset(OpenStream(RelativeDataPath(name), "r"));
  if (found.file) {
    found.directory = "..\\data\\";
    return found;
  }
  found.file = OpenDataFile(nullptr, name);
  if (found.file) found.directory = *CFennelRoot() + "/data/";
  return found;
}

std::optional<std::string> ReadListLine(std::FILE* list, const char* listName, int& lineNumber) {
  while (std::optional<std::string> line = ReadDataLine(list)) {
    ++lineNumber;
    if (line->size() <= kListLineMax) return line;
    LogError("%s line %d left out: it is longer than %d characters.\n", listName, lineNumber,
             static_cast<int>(kListLineMax));
  }
  return std::nullopt;
}

}  // namespace kv
