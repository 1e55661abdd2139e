// The two resumable downloads: the rest of the file in one Range request,
// or in paced Range blocks, gathered in memory and appended to the partial
// file, which is handed over once it holds the whole file.

#include "transfer/resume_download.h"

#include "agent/agent_settings.h"
#include "agent/error_texts.h"
#include "agent/registry_key_handle.h"
#include "base/log_writer.h"
#include "platform/unicode.h"
#include "transfer/download_files.h"
#include "transfer/paced_blocks.h"
#include "transfer/range_request.h"
#include "transfer/request_handle.h"
#include "transfer/resume_download_context.h"

namespace kv {
namespace {

constexpr const char* kResumeEx = "ResumeGetRequestEx";
constexpr const char* kResumeByBitrate = "ResumeGetRequestByBitrate";

// Failures after which the bytes read are worth keeping for the next run.
bool IsLostConnection(DWORD code) {
  return code == ERROR_WINHTTP_TIMEOUT || code == ERROR_WINHTTP_CANNOT_CONNECT ||
         code == ERROR_WINHTTP_CONNECTION_ERROR;
}

// One more run that ended short of the file.
void CountDownloadFailure() {
  RegistryKeyHandle key;
  if (key.openKey(HKEY_LOCAL_MACHINE, FileMetaDataKey().c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
  DWORD failures = 0;
  if (key.queryDword("DownloadFailureCount", failures) == ERROR_SUCCESS) {
    NoteFailure(key.setDword("DownloadFailureCount", failures + 1), "count the failed download");
    LogInfo("DownloadFailureCount set to %d\n", static_cast<int>(failures + 1));
  } else {
    LogError("The DownloadFailureCount value could not be read.Resetting to 1\n");
    NoteFailure(key.setDword("DownloadFailureCount", 1), "count the failed download");
  }
}

// The final save of a run that kept its bytes; a failed save turns a
// success into a failure, since the partial file then lacks them.
void SaveRestOfRun(ResumeBufferSink& sink, DWORD& result) {
  const DWORD saved = sink.SaveRest();
  if (result == ERROR_SUCCESS) result = saved;
}

// The destination's check, probe and initialisation, the same in both: 0
// to go on, else the result (already post-handled).
DWORD Prepare(const char* operation, ResumeDownloadContext& context, std::string* reply) {
  DWORD result = context.requestType == DOWNLOAD_FILE ? CheckDestination(operation, context.destination) : 0;
  if (result == ERROR_SUCCESS) result = context.PreDownloadHandling();
  if (result == ERROR_SUCCESS)
    result = context.handler.Initialize(context.destination, Utf16ToUtf8(context.version.lastModified),
                                        context.params.objectPath, Utf16ToUtf8(context.version.etag));
  if (result != ERROR_SUCCESS) {
    RequestHandleSet none;
    context.PostDownloadHandling(none, result, reply);
    return result;
  }
  context.bytesReceived = context.handler.storedPartialSize();
  return ERROR_SUCCESS;
}

}  // namespace

DWORD ResumeGetRequestEx(const ConnectionParameters& params, std::u16string_view destination, std::string* reply,
                         int requestType, bool keepAlive) {
  LogDebug("@@@@@@@@ Inside ResumeGetRequestEx Method @@@@@@@@ \n");
  LogDebug("ResumeGetRequestEx : URL to Get -> %s \n", Utf16ToUtf8(params.objectPath).c_str());
  ResumeDownloadContext context;
  context.StoreRequestParameters(params, destination, requestType, keepAlive);
  if (const DWORD result = Prepare(kResumeEx, context, reply)) {
    LogError("@@@@@@@@ End Of ResumeGetRequestEx Method @@@@@@@@ \n");
    return result;
  }
  RequestHandleSet set;
  DWORD result = ERROR_SUCCESS;
  if (context.bytesReceived == context.contentLength) {
    context.PostDownloadHandling(set, result, reply);
    LogError("@@@@@@@@ End Of ResumeGetRequestEx Method @@@@@@@@ Full File already exist\n");
    return result;
  }

  const RangeAsked asked{context.handler.resumeOffset(), context.contentLength, context.contentLength, context.version};
  LogError("ResumeGetRequestEx: Content-Range Header message: %s\n",
           Utf16ToUtf8(RangeHeader(asked.offset, asked.last)).c_str());
  const std::u16string headers = RangeRequestHeaders(asked);
  set.requestMode = REQUEST_MODE_EXTRA_HEADER;
  set.extraHeader = headers;
  result = GetInternetRequestHandle(params, destination, requestType, true, set);
  LogDebug("ResumeGetRequestEx: GetInternetRequestHandle function return code: %u\n", static_cast<unsigned>(result));
  const auto status = static_cast<DWORD>(set.httpStatus);
  ResumeBufferSink sink(context, kResumeEx);
  if (result == ERROR_SUCCESS && status != 200 && status != 206) result = status;
  std::uint64_t end = 0;
  if (result == ERROR_SUCCESS) result = AcceptRangeAnswer(kResumeEx, set, asked, sink, context.bytesReceived, &end);
  if (result != ERROR_SUCCESS) {
    // Nothing was read: the partial file stays as it is for the next run.
    CloseRequestHandleSet(set);
    LogDebug("@@@@@@@@ End Of ResumeGetRequestEx Method @@@@@@@@ \n");
    return result;
  }

  ReconnectBudget budget;
  const RestOfBody rest{params,          destination,
                        requestType,     keepAlive,
                        kResumeEx,       "ResumeGetRequestEx : Total Bytes read so far:%u\n",
                        kResumeEx,       context.contentLength,
                        context.version, budget};
  auto recover = [&](DWORD code) {
    return IsLostConnection(code) ? RequestRestOfBody(rest, code, set, sink, context.bytesReceived, &end) : code;
  };
  const BodyTexts texts{kResumeEx, "ResumeGetRequestEx : Bytes read reached the contenlength\n", false};
  result = ReadBody(set, texts, sink, context.bytesReceived, context.contentLength, end, recover).code;
  LogInfo("ResumeGetRequestEx: Total bytes read = %u\n", static_cast<unsigned>(context.bytesReceived));
  if (context.bytesReceived < context.contentLength) CountDownloadFailure();
  if (result == ERROR_SUCCESS || IsLostConnection(result)) {
    SaveRestOfRun(sink, result);
    // Short of the file: the partial file waits for the next attempt.
    if (context.bytesReceived < context.contentLength && result == ERROR_SUCCESS) result = PARTIAL_DOWNLOAD_RESULT;
  }
  context.PostDownloadHandling(set, result, reply);
  LogDebug("@@@@@@@@ End Of ResumeGetRequestEx Method @@@@@@@@ \n");
  return result;
}

DWORD ResumeGetRequestByBitrate(const ConnectionParameters& params, std::u16string_view destination, std::string* reply,
                                int requestType, bool keepAlive) {
  ResumeDownloadContext context;
  context.StoreRequestParameters(params, destination, requestType, keepAlive);
  LogDebug("@@@@@@@@ Inside ResumeGetRequestByBitrate Method @@@@@@@@ \n");
  LogInfo("ResumeGetRequestByBitrate : Kelvane Server & Port -> %s : %d \n", Utf16ToUtf8(params.serverName).c_str(),
          params.serverPort);
  LogDebug("ResumeGetRequestByBitrate : URL to Get -> %s \n", Utf16ToUtf8(params.objectPath).c_str());
  if (const DWORD result = Prepare(kResumeByBitrate, context, reply)) {
    LogDebug("@@@@@@@@ End Of ResumeGetRequestByBitrate Method @@@@@@@@ \n");
    return result;
  }
  const DWORD blockSize = BlockSizeBytes(Agent().gv_dataTransferRateKBps);
  LogDebug("ResumeGetRequestByBitrate: Block of bytes to read: %u\n", static_cast<unsigned>(blockSize));
  ResumeBufferSink sink(context, kResumeByBitrate);
  const PacedDownload paced{params,
                            destination,
                            requestType,
                            kResumeByBitrate,
                            true,
                            blockSize,
                            context.contentLength,
                            context.version,
                            "ResumeGetRequestByBitrate : Bytes read reached the contenlength\n"};
  DWORD result = FetchInPacedBlocks(paced, sink, context.bytesReceived);
  LogInfo("ResumeGetRequestByBitrate: Total bytes read = %u\n", static_cast<unsigned>(context.bytesReceived));
  if (result == ERROR_SUCCESS || IsLostConnection(result)) SaveRestOfRun(sink, result);
  RequestHandleSet closed;
  context.PostDownloadHandling(closed, result, reply);
  LogDebug("@@@@@@@@ End Of ResumeGetRequestByBitrate Method @@@@@@@@ \n");
  return result;
}

}  // namespace kv
