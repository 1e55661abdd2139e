#include "transfer/download_files.h"

#include <cstdio>

#include "agent/agent_settings.h"
#include "base/text_format.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/unicode.h"
#include "transfer/transfer_types.h"

namespace kv {

std::string TemporaryFileName(int requestType, std::u16string_view destination) {
  const auto thread = static_cast<int>(GetCurrentThreadId());
  if (requestType == DOWNLOAD_FILE) return Format("%s%d.tmp", Utf16ToUtf8(destination).c_str(), thread);
  return Format("%s\\kv%d.tmp", Agent().gv_tempDir.c_str(), thread);
}

bool ReadTextFile(const std::string& path, std::string* text) {
  std::FILE* file = OpenStream(path, "rb");
  if (!file) return false;
  std::string bytes;
  char piece[64 * 1024];
  std::size_t got = 0;
  while ((got = std::fread(piece, 1, sizeof piece, file)) > 0) bytes.append(piece, got);
  std::fclose(file);
  // Text mode: a line ends with LF in memory, whatever ended it on disk.
  text->clear();
  text->reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text->push_back(bytes[i]);
  }
  return true;
}

DWORD MoveIntoPlace(const std::string& finished, const std::string& destination) {
  return MoveFileEx(finished, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
}

}  // namespace kv
