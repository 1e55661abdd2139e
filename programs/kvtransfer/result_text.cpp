#include "result_text.h"

#include "agent/error_texts.h"
#include "platform/system.h"
#include "platform/unicode.h"
#include "transfer/http_errors.h"
#include "transfer/transfer_types.h"

namespace kv::cli {
namespace {

struct HttpReason {
  DWORD status;
  const char* reason;
};

constexpr HttpReason kReasons[] = {
    {200, "OK"},
    {201, "Created"},
    {202, "Accepted"},
    {204, "No Content"},
    {206, "Partial Content"},
    {301, "Moved Permanently"},
    {302, "Found"},
    {303, "See Other"},
    {304, "Not Modified"},
    {307, "Temporary Redirect"},
    {308, "Permanent Redirect"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout"},
    {409, "Conflict"},
    {410, "Gone"},
    {411, "Length Required"},
    {413, "Content Too Large"},
    {414, "URI Too Long"},
    {416, "Range Not Satisfiable"},
    {429, "Too Many Requests"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
};

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  return text;
}

}  // namespace

std::string ResultMeaning(DWORD result) {
  switch (result) {
    case 0: return "success";
    case NOT_MODIFIED_RESULT: return "not modified since the time asked (HTTP 304)";
    case PARTIAL_DOWNLOAD_RESULT: return "partial download: fewer bytes than the Content-Length";
    case TRANSFER_NO_DATA: return "no data, or an unexpected failure";
    case TRANSFER_UNREADABLE_DATA: return "the downloaded data could not be read back";
    default: break;
  }
  // Results below 300 are no failures of HTTP (a transfer takes 1xx and 2xx
  // answers in its stride): they are Windows' codes, such as 123 for a name
  // Windows refuses or 206 for a name too long.
  if (result >= 300 && result <= 599) {
    for (const auto& entry : kReasons) {
      if (entry.status == result) return "HTTP " + std::to_string(result) + " " + entry.reason;
    }
    return "HTTP status " + std::to_string(result);
  }
  if (const char* text = WinHttpErrorText(result)) return Trimmed(text);
  if (const auto text = FormatSystemMessage(result, true)) return Trimmed(Utf16ToUtf8(*text));
  return GetBuiltinErrorText(result);
}

}  // namespace kv::cli
