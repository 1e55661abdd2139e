// Sending a download's GET or HEAD, and reading what its response says about
// the file: Last-Modified and where a partial answer starts.

#include "transfer/request_handle.h"

#include <vector>

#include "agent/file_system_helpers.h"
#include "base/log_writer.h"
#include "platform/unicode.h"
#include "transfer/http_errors.h"
#include "transfer/http_session.h"
#include "transfer/transfer_state.h"

namespace kv {
namespace {

constexpr const char* kGetHandle = "GetInternetRequestHandle";

// The download's request; reopened as a whole (session, connection and
// request) when the retry rule asks for it.
class DownloadRequest : public SendAttempts {
 public:
  DownloadRequest(const ConnectionParameters& params, std::u16string_view destination, int requestType, bool keepAlive,
                  RequestHandleSet& set)
      : params_(params), destination_(destination), requestType_(requestType), keepAlive_(keepAlive), set_(set) {}

  DWORD Open() {
    const std::u16string_view verb = set_.requestMode == REQUEST_MODE_HEAD ? u"HEAD" : u"GET";
    if (const DWORD rc = OpenSessionAndConnection(params_, kGetHandle, set_)) return rc;
    if (const DWORD rc = OpenRequest(params_, kGetHandle, verb, set_)) return rc;
    AddConnectionHeader(set_.hRequest, kGetHandle, keepAlive_);
    AddConditionHeader();
    return ConfigureRequest(params_, kGetHandle, set_.hRequest, requestType_ == GET_DATA);
  }

  DWORD BeforeSend() override {
    if (requestType_ != GET_DATA) return ERROR_SUCCESS;
    const DWORD rc = SetReceiveTimeout(set_.hRequest);
    if (rc != ERROR_SUCCESS) {
      LogError("GetInternetRequestHandle :  Error in WinHttpSetOption before send request --> %d \n",
               static_cast<int>(rc));
      HttpGetLastError(rc);
    }
    return rc;
  }
  DWORD Send() override { return WinHttpSendRequest(set_.hRequest, {}, nullptr, 0, 0); }
  DWORD Receive() override { return WinHttpReceiveResponse(set_.hRequest); }
  DWORD Reopen() override {
    CloseRequestHandleSet(set_);
    return Open();
  }

 private:
  // The Range of a block or resume, else If-Modified-Since while it is on.
  void AddConditionHeader() {
    if (set_.requestMode == REQUEST_MODE_EXTRA_HEADER) {
      const DWORD rc = WinHttpAddRequestHeaders(set_.hRequest, set_.extraHeader, WINHTTP_ADDREQ_FLAG_ADD);
      if (rc != ERROR_SUCCESS) LogHttpFailure("InternetGetRequestByBitrate", "WinHttpAddRequestHeaders", rc);
      return;
    }
    const TransferState& state = Transfer();
    if (state.ifModifiedSinceEnabled != 1 || state.lastModifiedTime.empty()) return;
    // A file that is not there cannot be "not modified".
    if (requestType_ != GET_DATA && CheckFileExists(std::u16string(destination_).c_str()) != ERROR_SUCCESS) {
      LogError(
          "GetInternetRequestHandle: destination file is not present, hence if-modified-since header is not "
          "applied\n");
      return;
    }
    const std::u16string header = u"If-Modified-Since: " + state.lastModifiedTime;
    LogDebug("GetInternetRequestHandle : %s\n", Utf16ToUtf8(header).c_str());
    const DWORD rc = WinHttpAddRequestHeaders(set_.hRequest, header, WINHTTP_ADDREQ_FLAG_ADD);
    if (rc != ERROR_SUCCESS) LogHttpFailure(kGetHandle, "IF-MODIFIED-SINCE WinHttpAddRequestHeaders", rc);
  }

  const ConnectionParameters& params_;
  std::u16string_view destination_;
  int requestType_;
  bool keepAlive_;
  RequestHandleSet& set_;
};

}  // namespace

DWORD GetInternetRequestHandle(const ConnectionParameters& params, std::u16string_view destination, int requestType,
                               bool keepAlive, RequestHandleSet& set) {
  LogDebug("@@@@@@@@ Inside GetInternetRequestHandle Method @@@@@@@@ \n");
  set.httpStatus = 0;
  DownloadRequest request(params, destination, requestType, keepAlive, set);
  DWORD rc = request.Open();
  if (rc == ERROR_SUCCESS) rc = SendWithRetries(kGetHandle, params, request);
  if (rc != ERROR_SUCCESS) return rc;
  DWORD status = 0;
  rc = ReadResponseStatus(kGetHandle, set.hRequest, &status);
  set.httpStatus = static_cast<std::int32_t>(status);
  if (rc != ERROR_SUCCESS) return rc;
  LogDebug("@@@@@@@@ End of GetInternetRequestHandle Method @@@@@@@@ \n");
  return ERROR_SUCCESS;
}

DWORD GetFilelastmodifiedTime(HINTERNET request, std::u16string& out) {
  LogDebug("@@@@@@@@@@@ Inside GetFilelastmodifiedTime Method   @@@@@@@@@@@@@\n");
  DWORD size = 0;
  DWORD rc = WinHttpQueryHeaders(request, WINHTTP_QUERY_LAST_MODIFIED, {}, nullptr, &size, nullptr);
  if (rc != ERROR_INSUFFICIENT_BUFFER) {
    LogError("GetFilelastmodifiedTime: Could n't query HEADER for last modified time\n");
    return rc;
  }
  // Room to spare, as the agent has always given it.
  std::vector<char16_t> buffer((static_cast<std::size_t>(size) * 4 + 2) / sizeof(char16_t) + 1, u'\0');
  DWORD length = static_cast<DWORD>((buffer.size() - 1) * sizeof(char16_t));
  rc = WinHttpQueryHeaders(request, WINHTTP_QUERY_LAST_MODIFIED, {}, buffer.data(), &length, nullptr);
  if (rc != ERROR_SUCCESS && rc != ERROR_INSUFFICIENT_BUFFER) {
    LogError("GetFilelastmodifiedTime :  Error in Content Length Header -> %d \n", static_cast<int>(rc));
    HttpGetLastError(rc);
    return rc;
  }
  out = std::u16string(buffer.data());
  LogDebug("GetFilelastmodifiedTime : File last modified time: %s\n", Utf16ToUtf8(out).c_str());
  LogDebug("@@@@@@@@@@@ End of GetFilelastmodifiedTime Method   @@@@@@@@@@@@@\n");
  return ERROR_SUCCESS;
}

}  // namespace kv
