// The plain downloads: the body into a temporary file, handed over as a
// whole once complete; the dispatch to the resumable path.

#include "transfer/downloading.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "agent/agent_settings.h"
#include "agent/error_texts.h"
#include "agent/file_system_helpers.h"
#include "agent/registry_helpers.h"
#include "base/log_writer.h"
#include "platform/files.h"
#include "platform/unicode.h"
#include "transfer/body_reader.h"
#include "transfer/download_answer.h"
#include "transfer/download_files.h"
#include "transfer/http_errors.h"
#include "transfer/paced_blocks.h"
#include "transfer/range_request.h"
#include "transfer/reconnect_budget.h"
#include "transfer/request_handle.h"
#include "transfer/resume_download.h"
#include "transfer/transfer_state.h"

namespace kv {
namespace {

constexpr const char* kGetEx = "InternetGetRequestEx";
constexpr const char* kGetByBitrate = "InternetGetRequestByBitrate";
constexpr const char* kReachedLine = "Bytes read reached the contenlength\n";
// Bytes taken from the connection and handed to the file at a time: small
// enough that they are still in the processor's cache when the system
// copies them into the file, however much the server has sent ahead.
constexpr DWORD kFilePiece = 128 * 1024;

// The XML and JSON documents, which are small and change, never resume.
bool IsDocument(const ConnectionParameters& params) {
  const std::string path = Utf16ToUtf8(params.objectPath);
  return path.find(".xml") != std::string::npos || path.find(".json") != std::string::npos;
}

// The registry's DownloadMode, or 1 where the process turned the resumable
// mode on; nullopt when neither says.
std::optional<DWORD> DownloadMode() {
  DWORD mode = 0;
  const std::string settings = Agent().gv_RegKey + "\\Settings";
  const bool read = ReadDwordRegistryData(HKEY_LOCAL_MACHINE, settings.c_str(), "DownloadMode", mode) == ERROR_SUCCESS;
  if (Transfer().resumableDownloads) return 1;
  return read ? std::optional<DWORD>(mode) : std::nullopt;
}

// Whether the download goes the resumable way: only when the registry says
// so, and never for a document.
bool TakesResumablePath(const ConnectionParameters& params, int requestType, bool paced) {
  std::optional<DWORD> mode;
  if (!IsDocument(params)) {
    LogInfo("InternetGetDownloader : Kelvane Server & Port -> %s : %d \n", Utf16ToUtf8(params.serverName).c_str(),
            params.serverPort);
    mode = DownloadMode();
  }
  if (mode == 1u && (paced || requestType == DOWNLOAD_FILE)) return true;
  if (!paced) LogInfo("InternetGetDownloader : Download Mode %d\n", static_cast<int>(mode.value_or(0)));
  return false;
}

// The temporary file, which takes each piece of the body as it is read.
class TemporaryFileSink : public BodySink {
 public:
  explicit TemporaryFileSink(const char* operation) : operation_(operation) {}

  FileHandle& file() { return file_; }

  DWORD Room(DWORD* count, char** room) override {
    *count = std::min(*count, kFilePiece);
    buffer_.resize(static_cast<std::size_t>(*count) + 1);
    *room = buffer_.data();
    return ERROR_SUCCESS;
  }
  DWORD Keep(DWORD count) override {
    DWORD written = 0;
    const DWORD rc = file_.Write(buffer_.data(), count, &written);
    if (rc != ERROR_SUCCESS) LogError("%s :  Error in WriteFile --> %d \n", operation_, static_cast<int>(rc));
    return rc;
  }
  DWORD StartOver() override {
    DWORD rc = file_.SetPointer(0, FILE_BEGIN);
    if (rc == ERROR_SUCCESS) rc = file_.SetEndOfFile();
    if (rc != ERROR_SUCCESS) LogError("%s :  Error in WriteFile --> %d \n", operation_, static_cast<int>(rc));
    return rc;
  }

 private:
  const char* operation_;
  FileHandle file_;
  std::vector<char> buffer_;
};

// What both plain downloads do with their temporary file, from its naming to
// its removal, and how they hand a complete body over.
class PlainDownload {
 public:
  PlainDownload(const char* operation, const ConnectionParameters& params, std::u16string_view destination,
                int requestType)
      : operation_(operation),
        params_(params),
        destination_(destination),
        requestType_(requestType),
        sink_(operation) {}
  // The temporary file goes in every case.
  ~PlainDownload() {
    sink_.file().Close();
    if (!temporary_.empty()) (void)DeleteFile(temporary_);  // what stays is in the system's temporary folder
  }

  TemporaryFileSink& sink() { return sink_; }

  void LogStart() const {
    LogInfo("%s : Kelvane Server & Port -> %s : %d \n", operation_, Utf16ToUtf8(params_.serverName).c_str(),
            params_.serverPort);
    LogDebug("%s : URL to Get -> %s \n", operation_, Utf16ToUtf8(params_.objectPath).c_str());
  }

  // A file download whose destination cannot take the file ends before it
  // asks the server anything.
  DWORD CheckTarget() const {
    if (requestType_ != DOWNLOAD_FILE) return ERROR_SUCCESS;
    DWORD rc = CheckDestination(operation_, destination_);
    if (rc == ERROR_SUCCESS)
      rc = CheckDestination(operation_, Utf8ToUtf16(TemporaryFileName(requestType_, destination_)));
    return rc;
  }

  DWORD CreateTemporaryFile() {
    temporary_ = TemporaryFileName(requestType_, destination_);
    if (requestType_ == DOWNLOAD_FILE && CreateFolder(std::u16string(destination_).c_str()) != ERROR_SUCCESS) {
      LogError("%s : Failed to create the destination directory for the destination file %s \n", operation_,
               Utf16ToUtf8(destination_).c_str());
    }
    const DWORD rc =
        CreateFile(temporary_, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, &sink_.file());
    if (rc != ERROR_SUCCESS) {
      LogError("%s : Error occured while creating the file --> %d \n", operation_, static_cast<int>(rc));
      HttpGetLastError(rc);
    }
    return rc;
  }

  // Every piece went to the system as it was read; nothing is held back
  // here to flush. Forcing the file onto the disk is left to the system, as
  // other downloaders leave it: it would cost a download its speed.
  void CloseTemporaryFile() { sink_.file().Close(); }

  // The complete body into memory (GET_DATA) or into its place.
  DWORD Deliver(std::string* reply, bool paced) {
    if (requestType_ == GET_DATA) {
      LogDebug("LoadDatafromFile: tmpDataFilePath, %s\n", temporary_.c_str());
      std::string text;
      if (!ReadTextFile(temporary_, &text)) {
        LogError("%s: could n't read the data from .tmp file \n", operation_);
        return TRANSFER_UNREADABLE_DATA;
      }
      LogDebug("Data in memory : %s\n", text.c_str());
      if (reply) *reply = std::move(text);
      return ERROR_SUCCESS;
    }
    const std::string destination = Utf16ToUtf8(destination_);
    const std::string path = Utf16ToUtf8(params_.objectPath);
    const std::string server = Utf16ToUtf8(params_.serverName);
    const DWORD rc = MoveIntoPlace(temporary_, destination);
    if (rc == ERROR_SUCCESS && paced) {
      LogInfo("InternetGetRequestByBitrate : Successfully downloaded the file %s from the server %s\n", path.c_str(),
              server.c_str());
    } else if (rc == ERROR_SUCCESS) {
      LogInfo(
          "InternetGetRequestEx : Successfully downloaded the file %s from the server %s to the destination file "
          "%s \n",
          path.c_str(), server.c_str(), destination.c_str());
    } else if (paced) {
      LogError("InternetGetRequestByBitrate : could n't copy from .tmp file, errorcode --> %d \n",
               static_cast<int>(rc));
    } else {
      LogError("InternetGetRequestEx : could n't copy from %s file to %s ,\n", temporary_.c_str(), destination.c_str());
      LogErrorCodeText(rc);
    }
    return rc;
  }

 private:
  const char* operation_;
  const ConnectionParameters& params_;
  std::u16string_view destination_;
  int requestType_;
  TemporaryFileSink sink_;
  std::string temporary_;
};

// Where a download keeps the Last-Modified it is told, if anywhere.
std::u16string* LastModifiedKeeper() {
  return Transfer().ifModifiedSinceEnabled == 1 ? &Transfer().lastModifiedTime : nullptr;
}

// The body of a 200 answer into the temporary file, in one response (and,
// after a time-out, the rest of it from where it stopped).
DWORD ReceiveWholeBody(PlainDownload& download, RequestHandleSet& set, const ConnectionParameters& params,
                       std::u16string_view destination, int requestType, bool keepAlive) {
  DWORD contentLength = 0;
  ResourceVersion version;
  const FirstAnswerTexts texts{kGetEx, "InternetGetRequestEx :File not modified since the time: %s\n",
                               "InternetGetRequestEx : Failed with the http status code, %d \n"};
  DWORD result = ReadFirstAnswer(texts, set, true, LastModifiedKeeper(), &version, &contentLength);
  if (result == ERROR_SUCCESS) result = download.CreateTemporaryFile();
  if (result != ERROR_SUCCESS) return result;

  std::uint64_t total = 0;
  std::uint64_t end = contentLength;
  ReconnectBudget budget;
  const RestOfBody rest{params,        destination,   requestType, keepAlive, kGetEx, "Total Bytes read so far:%u\n",
                        kGetByBitrate, contentLength, version,     budget};
  auto recover = [&](DWORD code) {
    return code == ERROR_WINHTTP_TIMEOUT ? RequestRestOfBody(rest, code, set, download.sink(), total, &end) : code;
  };
  const BodyReadResult read =
      ReadBody(set, {kGetEx, kReachedLine, false}, download.sink(), total, contentLength, end, recover);
  result = read.code;
  LogInfo("InternetGetRequestEx : Total bytes read = %u\n", static_cast<unsigned>(total));
  if (result == ERROR_SUCCESS) {
    // Without a Content-Length only an empty body is known to be whole.
    std::int64_t size = 0;
    download.sink().file().GetSize(&size);
    if (size == static_cast<std::int64_t>(contentLength) && !read.overrun) {
      LogInfo("InternetGetRequestEx : GetFileSize returns :  %u\n", static_cast<unsigned>(size));
      LogInfo("InternetGetRequestEx : File completely downloaded..!\n");
    } else {
      LogError("InternetGetRequestEx : Error in downloading..!\n");
      LogError("InternetGetRequestEx : Only partial file downloaded. GetFileSize returns :  %u\n",
               static_cast<unsigned>(size));
      result = PARTIAL_DOWNLOAD_RESULT;
    }
  }
  download.CloseTemporaryFile();
  return result;
}

}  // namespace

DWORD InternetGetRequestEx(const ConnectionParameters& params, std::u16string_view destination, std::string* reply,
                           int requestType, bool keepAlive) {
  if (TakesResumablePath(params, requestType, false))
    return ResumeGetRequestEx(params, destination, reply, requestType, keepAlive);
  LogDebug("@@@@@@@@ Inside InternetGetRequestEx Method @@@@@@@@ \n");
  PlainDownload download(kGetEx, params, destination, requestType);
  download.LogStart();
  DWORD result = download.CheckTarget();
  if (result == ERROR_SUCCESS) {
    RequestHandleSet set;
    result = GetInternetRequestHandle(params, destination, requestType, keepAlive, set);
    if (result == ERROR_SUCCESS) result = ReceiveWholeBody(download, set, params, destination, requestType, keepAlive);
    CloseRequestHandleSet(set, kGetEx);
  }
  if (result == ERROR_SUCCESS) result = download.Deliver(reply, false);
  LogDebug("@@@@@@@@ End Of InternetGetRequestEx Method @@@@@@@@ \n");
  return result;
}

DWORD InternetGetRequestByBitrate(const ConnectionParameters& params, std::u16string_view destination,
                                  std::string* reply, int requestType, bool keepAlive) {
  if (TakesResumablePath(params, requestType, true))
    return ResumeGetRequestByBitrate(params, destination, reply, requestType, keepAlive);
  LogDebug("@@@@@@@@ Inside InternetGetRequestByBitrate Method @@@@@@@@ \n");
  PlainDownload download(kGetByBitrate, params, destination, requestType);
  download.LogStart();
  DWORD contentLength = 0;
  ResourceVersion version;
  DWORD result = download.CheckTarget();
  if (result == ERROR_SUCCESS) {
    // The HEAD tells status, version and length; the blocks follow.
    RequestHandleSet head;
    head.requestMode = REQUEST_MODE_HEAD;
    result = GetInternetRequestHandle(params, destination, requestType, true, head);
    const FirstAnswerTexts texts{kGetByBitrate, "InternetGetRequestByBitrate : File not modified since the time: %s\n",
                                 "InternetGetRequestByBitrate : Failed with the http status code: %d \n"};
    if (result == ERROR_SUCCESS)
      result = ReadFirstAnswer(texts, head, false, LastModifiedKeeper(), &version, &contentLength);
    CloseRequestHandleSet(head, kGetByBitrate);
  }
  if (result == ERROR_SUCCESS) result = download.CreateTemporaryFile();
  if (result == ERROR_SUCCESS) {
    const DWORD blockSize = BlockSizeBytes(Agent().gv_dataTransferRateKBps);
    LogDebug("InternetGetRequestByBitrate: Block of bytes to read: %u\n", static_cast<unsigned>(blockSize));
    std::uint64_t total = 0;
    const PacedDownload paced{params,    destination,   requestType, kGetByBitrate, false,
                              blockSize, contentLength, version,     kReachedLine};
    result = FetchInPacedBlocks(paced, download.sink(), total);
    LogInfo("InternetGetRequestByBitrate: Total bytes read = %u\n", static_cast<unsigned>(total));
    download.CloseTemporaryFile();
  }
  if (result == ERROR_SUCCESS) result = download.Deliver(reply, true);
  LogDebug("@@@@@@@@ End Of InternetGetRequestByBitrate Method @@@@@@@@ \n");
  return result;
}

bool DownloadsResumably(const ConnectionParameters& params) { return !IsDocument(params) && DownloadMode() == 1u; }

DWORD InternetGetRequestIntoSink(const ConnectionParameters& params, BodySink& sink, bool paced, bool keepAlive) {
  constexpr const char* kIntoSink = "InternetGetRequestIntoSink";
  LogInfo("%s : Kelvane Server & Port -> %s : %d \n", kIntoSink, Utf16ToUtf8(params.serverName).c_str(),
          params.serverPort);
  LogDebug("%s : URL to Get -> %s \n", kIntoSink, Utf16ToUtf8(params.objectPath).c_str());
  const std::u16string_view noDestination;
  const FirstAnswerTexts texts{kIntoSink, "InternetGetRequestIntoSink : File not modified since the time: %s\n",
                               "InternetGetRequestIntoSink : Failed with the http status code, %d \n"};
  DWORD contentLength = 0;
  ResourceVersion version;
  std::uint64_t total = 0;
  DWORD result = ERROR_SUCCESS;
  if (paced) {
    RequestHandleSet head;
    head.requestMode = REQUEST_MODE_HEAD;
    result = GetInternetRequestHandle(params, noDestination, DOWNLOAD_FILE, true, head);
    if (result == ERROR_SUCCESS)
      result = ReadFirstAnswer(texts, head, false, LastModifiedKeeper(), &version, &contentLength);
    CloseRequestHandleSet(head, kIntoSink);
    if (result == ERROR_SUCCESS) {
      const PacedDownload download{params,    noDestination, DOWNLOAD_FILE, kIntoSink, false,
                                   BlockSizeBytes(Agent().gv_dataTransferRateKBps),
                                   contentLength, version, kReachedLine};
      result = FetchInPacedBlocks(download, sink, total);
    }
  } else {
    RequestHandleSet set;
    result = GetInternetRequestHandle(params, noDestination, DOWNLOAD_FILE, keepAlive, set);
    if (result == ERROR_SUCCESS) result = ReadFirstAnswer(texts, set, true, LastModifiedKeeper(), &version, &contentLength);
    if (result == ERROR_SUCCESS) {
      std::uint64_t end = contentLength;
      ReconnectBudget budget;
      const RestOfBody rest{params,       noDestination, DOWNLOAD_FILE, keepAlive, kIntoSink,
                            "Total Bytes read so far:%u\n", kIntoSink, contentLength, version, budget};
      auto recover = [&](DWORD code) {
        return code == ERROR_WINHTTP_TIMEOUT ? RequestRestOfBody(rest, code, set, sink, total, &end) : code;
      };
      const BodyReadResult read = ReadBody(set, {kIntoSink, kReachedLine, false}, sink, total, contentLength, end, recover);
      result = read.code;
      // As for a file: without a Content-Length only an empty body is known to be whole.
      if (result == ERROR_SUCCESS && (total != contentLength || read.overrun)) {
        LogError("InternetGetRequestIntoSink : Only partial file downloaded: %llu bytes\n",
                 static_cast<unsigned long long>(total));
        result = PARTIAL_DOWNLOAD_RESULT;
      }
    }
    CloseRequestHandleSet(set, kIntoSink);
  }
  LogInfo("InternetGetRequestIntoSink : Total bytes read = %llu, result %u\n", static_cast<unsigned long long>(total),
          static_cast<unsigned>(result));
  return result;
}

}  // namespace kv
