#include "transfer/body_reader.h"

#include <algorithm>

#include "base/log_writer.h"
#include "transfer/http_errors.h"
#include "transfer/transfer_state.h"

namespace kv {
namespace {

DWORD QueryAvailable(const RequestHandleSet& set, const BodyTexts& texts, DWORD* available) {
  const DWORD rc = WinHttpQueryDataAvailable(set.hRequest, available);
  if (rc != ERROR_SUCCESS) {
    LogError("%s : Error occured in WinHttpQueryDataAvailable --> %d \n", texts.operation, static_cast<int>(rc));
    HttpGetLastError(rc);
  }
  return rc;
}

}  // namespace

BodyReadResult ReadBody(RequestHandleSet& set, const BodyTexts& texts, BodySink& sink, std::uint64_t& total,
                        std::uint64_t expected, const std::uint64_t& end, const BodyRecovery& recover) {
  BodyReadResult result;
  for (;;) {
    DWORD available = 0;
    DWORD rc = QueryAvailable(set, texts, &available);
    if (rc != ERROR_SUCCESS) {
      if (recover) rc = recover(rc);
      if (rc == ERROR_SUCCESS) rc = QueryAvailable(set, texts, &available);
      if (rc != ERROR_SUCCESS) {
        result.code = rc;
        result.queryFailed = true;
        return result;
      }
    }
    if (texts.logAvailable)
      LogDebug("%s: Bytes Available to read now: %u\n", texts.operation, static_cast<unsigned>(available));
    if (available == 0) break;
    // Only an answer of no announced bytes is asked whether more comes: a
    // body sent without its length.
    if (total >= end) {
      LogError("%s : The server sent more than the %llu bytes it announced\n", texts.operation,
               static_cast<unsigned long long>(end));
      result.overrun = true;
      break;
    }

    char* room = nullptr;
    DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(available, end - total));
    if ((result.code = sink.Room(&want, &room)) != ERROR_SUCCESS) return result;
    DWORD read = 0;
    rc = WinHttpReadData(set.hRequest, room, want, &read);
    if (rc != ERROR_SUCCESS) {
      LogError("%s :  Error in WinHttpReadData --> %d \n", texts.operation, static_cast<int>(rc));
      HttpGetLastError(rc);
      result.code = rc;
      return result;
    }
    total += read;
    if ((result.code = sink.Keep(read)) != ERROR_SUCCESS) return result;
    ReportProgress(total, expected);
    if (total == expected) {
      LogInfo("%s", texts.reachedLine);
      break;
    }
    if (read == 0 || total == end) break;
  }
  return result;
}

}  // namespace kv
