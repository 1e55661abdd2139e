#include "db/data_file.h"

#include "base/log_writer.h"
#include "base/text_format.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "store/store_root.h"

namespace kv {
namespace {

constexpr auto IsBlank = ascii::IsWhiteSpace<char>;

}  // namespace

DataFile OpenDataFile(const char* path, const char* fileName) {
  if (path) {
    if (DataFile file{OpenStream(path, "r")}) return file;
  }
  const std::optional<std::string> root = CFennelRoot();
  if (!root) return nullptr;
  const std::string fallback = Format("%s/data/%s", root->c_str(), fileName);
  LogDebug("Opening %s\n", fallback.c_str());
  return DataFile(OpenStream(fallback, "r"));
}

std::optional<std::string> ReadDataLine(std::FILE* file) {
  std::string line;
  int c;
  while ((c = std::fgetc(file)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
  if (c == EOF && line.empty()) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

LineWords SplitLine(std::string_view line, std::size_t count) {
  LineWords split;
  std::size_t i = 0;
  while (split.words.size() < count) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) break;
    const std::size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    split.words.push_back(line.substr(start, i - start));
  }
  // The one separator after the last word is not part of the rest.
  if (i < line.size()) ++i;
  split.rest = line.substr(i);
  return split;
}

}  // namespace kv
