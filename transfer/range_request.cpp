#include "transfer/range_request.h"

#include "base/log_writer.h"
#include "platform/unicode.h"
#include "transfer/request_handle.h"

namespace kv {

DWORD AcceptRangeAnswer(const char* operation, const RequestHandleSet& set, const RangeAsked& asked, BodySink& sink,
                        std::uint64_t& total, std::uint64_t* end) {
  const auto status = static_cast<DWORD>(set.httpStatus);
  const RangeVerdict verdict = JudgeRangeAnswer(set.hRequest, status, asked);
  *end = verdict.end;
  switch (verdict.answer) {
    case RangeAnswer::kContinues: return ERROR_SUCCESS;
    case RangeAnswer::kStartsOver:
      LogInfo(
          "%s : The server sent the whole file for a request from byte %llu; the download starts again from "
          "byte 0\n",
          operation, static_cast<unsigned long long>(total));
      total = 0;
      return sink.StartOver();
    case RangeAnswer::kOtherVersion:
      LogError(
          "%s : The file changed on the server after byte %llu was downloaded (another ETag or Last-Modified); "
          "its bytes are not joined to those held\n",
          operation, static_cast<unsigned long long>(total));
      return UnusableRangeCode(status);
    case RangeAnswer::kUnusable: break;
  }
  LogError(
      "%s : The server's answer (status %d) to a request from byte %llu cannot be appended; the bytes held "
      "are kept\n",
      operation, static_cast<int>(status), static_cast<unsigned long long>(total));
  return UnusableRangeCode(status);
}

DWORD RequestRestOfBody(const RestOfBody& rest, DWORD code, RequestHandleSet& set, BodySink& sink, std::uint64_t& total,
                        std::uint64_t* end) {
  // Without a length there is no rest to ask for.
  if (rest.contentLength == 0 || !rest.budget.Grant(rest.operation, total)) return code;
  LogInfo(rest.soFarFormat, static_cast<unsigned>(total));
  LogInfo("%s : second attempt to recover from previous error\n", rest.operation);
  CloseRequestHandleSet(set);
  const RangeAsked asked{total, rest.contentLength, rest.contentLength, rest.version};
  LogDebug("%s: Content-Range Header message: %s\n", rest.rangeLineName,
           Utf16ToUtf8(RangeHeader(asked.offset, asked.last)).c_str());
  const std::u16string headers = RangeRequestHeaders(asked);
  set.requestMode = REQUEST_MODE_EXTRA_HEADER;
  set.extraHeader = headers;
  DWORD rc = GetInternetRequestHandle(rest.params, rest.destination, rest.requestType, rest.keepAlive, set);
  set.extraHeader = {};
  if (rc == ERROR_SUCCESS) rc = AcceptRangeAnswer(rest.operation, set, asked, sink, total, end);
  return rc;
}

}  // namespace kv
