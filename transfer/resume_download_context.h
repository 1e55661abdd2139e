#pragma once
// What one resumable download holds from start to end: its request
// parameters, the partial file's handler, the memory buffer the body
// gathers in and the counters, and the access-log record it ends with.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"
#include "transfer/body_reader.h"
#include "transfer/download_resume_handler.h"
#include "transfer/request_handle_set.h"
#include "transfer/resource_version.h"
#include "transfer/transfer_types.h"

namespace kv {

class ResumeDownloadContext {
 public:
  ResumeDownloadContext() = default;
  ResumeDownloadContext(const ResumeDownloadContext&) = delete;
  ResumeDownloadContext& operator=(const ResumeDownloadContext&) = delete;

  void StoreRequestParameters(const ConnectionParameters& params, std::u16string_view destination, int requestType,
                              bool keepAlive);
  // The probe: status, version and Content-Length of the file. 0, 90001 for
  // 304, the status, or an error code.
  DWORD PreDownloadHandling();
  // Closes the handles, hands a complete download over (result 0) and
  // writes the access-log record; the result changes when the hand-over fails.
  void PostDownloadHandling(RequestHandleSet& set, DWORD& result, std::string* reply);
  void PrintHTTPAccessLog(DWORD result);

  bool keepAlive = false;
  ConnectionParameters params;
  std::u16string destination;
  std::string accessLogPrefix;
  // What the probe's answer says of the file: which version, how long.
  ResourceVersion version;
  DownloadResumeHandler handler;
  std::vector<char> buffer;
  int requestType = 0;
  DWORD contentLength = 0;
  // Bytes in the partial file plus those read in this run.
  std::uint64_t bytesReceived = 0;
};

// The body into the context's memory buffer, appended to the partial file
// whenever the next piece would not fit under the save limit.
class ResumeBufferSink : public BodySink {
 public:
  ResumeBufferSink(ResumeDownloadContext& context, const char* operation) : context_(context), operation_(operation) {}

  DWORD Room(DWORD* count, char** room) override;
  DWORD Keep(DWORD count) override;
  DWORD StartOver() override;
  // The final save of the run.
  DWORD SaveRest();

 private:
  ResumeDownloadContext& context_;
  const char* operation_;
  std::size_t pending_ = 0;
};

}  // namespace kv
