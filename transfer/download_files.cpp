#include "transfer/download_files.h"

#include <cstdio>

#include "agent/agent_settings.h"
#include "agent/error_texts.h"
#include "base/log_writer.h"
#include "base/text_format.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/system.h"
#include "platform/unicode.h"
#include "transfer/transfer_types.h"

namespace kv {

std::string TemporaryFileName(int requestType, std::u16string_view destination) {
  const auto thread = static_cast<int>(GetCurrentThreadId());
  if (requestType == DOWNLOAD_FILE) return Format("%s%d.tmp", Utf16ToUtf8(destination).c_str(), thread);
  return Format("%s\\kv%d.tmp", Agent().gv_tempDir.c_str(), thread);
}

namespace {

DWORD DestinationCode(const std::string& path) {
  if (path.empty() || path.back() == '\\' || path.back() == '/') return ERROR_INVALID_NAME;
  const DWORD attributes = GetFileAttributes(path);
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return error;
  // The directories that are missing are made; the nearest one there must
  // be a directory for that.
  for (std::size_t cut = path.find_last_of("\\/"); cut != std::string::npos && cut > 0;
       cut = path.find_last_of("\\/", cut - 1)) {
    const DWORD above = GetFileAttributes(path.substr(0, cut));
    if (above != INVALID_FILE_ATTRIBUTES)
      return above & FILE_ATTRIBUTE_DIRECTORY ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
  }
  return ERROR_SUCCESS;
}

}  // namespace

DWORD CheckDestination(const char* operation, std::u16string_view destination) {
  const std::string path = Utf16ToUtf8(destination);
  const DWORD code = DestinationCode(path);
  if (code != ERROR_SUCCESS) {
    LogError("%s : The destination file %s cannot be written --> %d \n", operation, path.c_str(),
             static_cast<int>(code));
    LogErrorCodeText(code);
  }
  return code;
}

bool ReadTextFile(const std::string& path, std::string* text) {
  std::FILE* file = OpenStream(path, "rb");
  if (!file) return false;
  std::string bytes;
  const bool read = ReadToEnd(file, bytes);
  std::fclose(file);
  // A file that could not be read to its end is no text to hand on.
  if (!read) return false;
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
