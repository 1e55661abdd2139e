#include "transfer/resume_download_context.h"

#include <algorithm>

#include "agent/text_operations.h"
#include "base/log_writer.h"
#include "platform/unicode.h"
#include "transfer/access_log.h"
#include "transfer/download_answer.h"
#include "transfer/guarded.h"
#include "transfer/request_handle.h"
#include "transfer/transfer_state.h"

namespace kv {

void ResumeDownloadContext::StoreRequestParameters(const ConnectionParameters& connection, std::u16string_view target,
                                                   int type, bool keep) {
  params = connection;
  destination = target;
  requestType = type;
  keepAlive = keep;
  buffer.assign(kDefaultSaveLimit, '\0');
  accessLogPrefix = AccessLogStamp(GetLocalTime());
  contentLength = 0;
  bytesReceived = 0;
}

DWORD ResumeDownloadContext::PreDownloadHandling() {
  return Guarded("preDownloadHandling failed\n", ERROR_INVALID_DATA, [&]() -> DWORD {
    RequestHandleSet probe;
    DWORD rc = GetInternetRequestHandle(params, destination, requestType, keepAlive, probe);
    if (rc != ERROR_SUCCESS) {
      LogError("PreDownloadHandling: ERROR in GetInternetRequestHandle - %d\n", static_cast<int>(rc));
      return rc;
    }
    // The resumable path always needs the server's Last-Modified; it is
    // kept for If-Modified-Since only while that is on.
    std::u16string ownCopy;
    std::u16string& lastModified = Transfer().ifModifiedSinceEnabled == 1 ? Transfer().lastModifiedTime : ownCopy;
    const FirstAnswerTexts texts{"PreDownloadHandling", "PreDownloadHandling :File not modified since the time: %s\n",
                                 "PreDownloadHandling : Failed with the http status code, %d \n"};
    // Without a length the download could not tell a whole file from an
    // empty one.
    rc = ReadFirstAnswer(texts, probe, false, &lastModified, &version, &contentLength);
    // The probe's body is never read: its handles go with it here.
    return rc;
  });
}

void ResumeDownloadContext::PostDownloadHandling(RequestHandleSet& set, DWORD& result, std::string* reply) {
  Guarded("Error caught in PostDownloadHandling\n", [&] {
    LogInfo("Proceeding for PostDownloadHandling \n");
    CloseRequestHandleSet(set);
    std::vector<char>().swap(buffer);
    // A file of no bytes had nothing appended to make its partial file.
    if (result == ERROR_SUCCESS && contentLength == 0) result = handler.CreateEmptyPartialFile();
    if (result == ERROR_SUCCESS) {
      if (requestType == GET_DATA) {
        std::string text;
        if (handler.LoadDatafromFile(&text)) {
          LogInfo("PostDownloadHandling Data in memory : %s\n", text.c_str());
          if (reply) *reply = std::move(text);
        } else {
          LogError("PostDownloadHandling : could n't read the data from .tmp file \n");
          result = TRANSFER_UNREADABLE_DATA;
        }
      } else if (const DWORD rc = handler.SaveToDestFile()) {
        LogInfo("PostDownloadHandling : failed\n");
        result = rc;
      } else {
        LogInfo(
            "PostDownloadHandling : Successfully downloaded the file %s from the server %s to the destination "
            "file %s \n",
            Utf16ToUtf8(params.objectPath).c_str(), Utf16ToUtf8(params.serverName).c_str(),
            Utf16ToUtf8(destination).c_str());
      }
    }
    PrintHTTPAccessLog(result);
  });
}

void ResumeDownloadContext::PrintHTTPAccessLog(DWORD result) {
  Guarded("Error caught in PrintHTTPAccessLog", [&] {
    AccessRecord record;
    record.startStamp = accessLogPrefix;
    record.url = Utf16ToUtf8(params.objectPath);
    record.requestType = requestType;
    record.contentLength = contentLength;
    record.result = result;
    record.bytesReceived = static_cast<DWORD>(bytesReceived);
    record.endTime = AccessTimeText(GetLocalTime());
    record.serverName = Utf16ToUtf8(params.serverName);
    record.port = params.serverPort;
    const std::string path = AccessLogPath(result);
    LogDebug("downloadaccesslog : %s \n", path.c_str());
    if (!AppendAccessRecord(path, FormatAccessRecord(record))) LogError("Error caught in PrintHTTPAccessLog");
  });
}

DWORD ResumeBufferSink::Room(DWORD* count, char** room) {
  // Never more than the save limit in one piece, so that each append to the
  // partial file stays within it and the buffer never outgrows it.
  const std::size_t limit = context_.handler.saveLimit();
  if (context_.buffer.size() < limit) context_.buffer.resize(limit);
  const std::size_t want = std::min<std::size_t>(*count, limit);
  if (pending_ + want > limit) {
    const DWORD rc =
        context_.handler.ProcessDownloadedBuffer(context_.buffer.data(), static_cast<DWORD>(pending_), true);
    pending_ = 0;
    if (rc != ERROR_SUCCESS) {
      LogError("%s :  Error in WriteFile --> %d \n", operation_, static_cast<int>(rc));
      return rc;
    }
  }
  *count = static_cast<DWORD>(want);
  *room = context_.buffer.data() + pending_;
  return ERROR_SUCCESS;
}

DWORD ResumeBufferSink::Keep(DWORD count) {
  pending_ += count;
  return ERROR_SUCCESS;
}

DWORD ResumeBufferSink::StartOver() {
  pending_ = 0;
  return context_.handler.StartOver();
}

DWORD ResumeBufferSink::SaveRest() {
  const DWORD rc =
      context_.handler.ProcessDownloadedBuffer(context_.buffer.data(), static_cast<DWORD>(pending_), false);
  pending_ = 0;
  return rc;
}

}  // namespace kv
