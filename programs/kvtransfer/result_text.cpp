#include "result_text.h"

#include "agent/error_texts.h"
#include "platform/http.h"
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

namespace {

bool IsTlsFailure(DWORD result) {
  switch (result) {
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE: return true;
    default: return false;
  }
}

}  // namespace

ExitStatus ExitStatusOf(DWORD result, bool bodyStarted) {
  if (result == 0 || result == NOT_MODIFIED_RESULT) return kExitSuccess;
  if (result >= 300 && result <= 599) return kExitHttpStatus;
  if (IsTlsFailure(result)) return kExitTls;
  switch (result) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return kExitNameResolution;
    case ERROR_WINHTTP_CANNOT_CONNECT: return kExitConnection;
    case ERROR_WINHTTP_CONNECTION_ERROR: return bodyStarted ? kExitCutShort : kExitConnection;
    case ERROR_WINHTTP_TIMEOUT: return kExitTimeOut;
    case ERROR_INVALID_PARAMETER:
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: return kExitUsage;
    // The files of this computer: the destination, the file posted, the
    // temporary file and the data read back.
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_ACCESS_DENIED:
    case TRANSFER_UNREADABLE_DATA:
    case ERROR_WRITE_FAULT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_DISK_FULL:
    case ERROR_FILE_EXISTS:
    case ERROR_INVALID_NAME:
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY: return kExitLocalFile;
    default: return kExitCutShort;
  }
}

std::string FailureMessage(DWORD result, const std::string& server, const std::string& detail, bool bodyStarted) {
  const std::string why = detail.empty() ? std::string() : ": " + detail;
  switch (result) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "cannot resolve the host of " + server + why;
    case ERROR_WINHTTP_CANNOT_CONNECT: return "cannot connect to " + server + why;
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return bodyStarted ? "the connection to " + server + " was lost before the body was complete"
                         : "the connection to " + server + " was closed before an answer" + why;
    case ERROR_WINHTTP_TIMEOUT: return server + " did not answer in time";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return "the answer of " + server + " could not be read as HTTP";
    default: break;
  }
  if (IsTlsFailure(result)) {
    if (!detail.empty()) return "no TLS with " + server + ": " + detail;
    if (result == ERROR_WINHTTP_SECURE_FAILURE) return "the certificate of " + server + " was refused";
    return "no TLS with " + server;
  }
  return {};
}

std::string ResultMeaning(DWORD result, const std::string& detail) {
  if (!detail.empty() && IsTlsFailure(result)) return detail;
  return ResultMeaning(result);
}

}  // namespace kv::cli
