#include "transfer/download_answer.h"

#include "base/log_writer.h"
#include "platform/unicode.h"
#include "transfer/http_errors.h"
#include "transfer/http_session.h"
#include "transfer/request_handle.h"
#include "transfer/transfer_state.h"
#include "transfer/transfer_types.h"

namespace kv {

DWORD ReadFirstAnswer(const FirstAnswerTexts& texts, const RequestHandleSet& set, bool lengthMayBeMissing,
                      std::u16string* lastModified, ResourceVersion* version, DWORD* contentLength) {
  *contentLength = 0;
  const std::int32_t status = set.httpStatus;
  if (status == 304) {
    LogInfo(texts.notModifiedFormat, Utf16ToUtf8(Transfer().lastModifiedTime).c_str());
    return NOT_MODIFIED_RESULT;
  }
  if (status != 200) {
    LogError(texts.failedFormat, static_cast<int>(status));
    return static_cast<DWORD>(status);
  }
  // A missing Last-Modified leaves the value as it was.
  if (lastModified) (void)GetFilelastmodifiedTime(set.hRequest, *lastModified);
  *version = ReadResourceVersion(set.hRequest);
  const DWORD rc = QueryContentLength(set.hRequest, contentLength);
  const bool accepted = rc == ERROR_SUCCESS || rc == ERROR_INSUFFICIENT_BUFFER ||
                        (lengthMayBeMissing && rc == ERROR_WINHTTP_HEADER_NOT_FOUND);
  if (!accepted) {
    LogError("%s :  Error in Content Length Header -> %d \n", texts.operation, static_cast<int>(rc));
    HttpGetLastError(rc);
    return rc;
  }
  LogInfo("%s : Content Length of the request file: %u Bytes\n", texts.operation,
          static_cast<unsigned>(*contentLength));
  return ERROR_SUCCESS;
}

}  // namespace kv
