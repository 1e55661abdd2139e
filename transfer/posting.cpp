// POST requests: a buffer in one send, or a file streamed in chunks; the
// reply of a 200 answer read back into memory.

#include "transfer/posting.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "agent/file_system_helpers.h"
#include "base/log_writer.h"
#include "base/text_format.h"
#include "platform/files.h"
#include "platform/unicode.h"
#include "transfer/http_errors.h"
#include "transfer/http_session.h"

namespace kv {
namespace {

constexpr const char* kSendEx = "InternetSendRequestEx";
constexpr const char* kSendByBitRate = "InternetSendRequestByBitRate";
constexpr std::size_t kReplyPiece = 64 * 1024;

// One POST: its session, connection and request, and how its request is
// opened again, on the same connection, when the retry rule asks for it.
class PostExchange : public SendAttempts {
 public:
  PostExchange(const ConnectionParameters& params, const char* operation, bool keepAlive, bool connectTimeout)
      : params_(params), operation_(operation), keepAlive_(keepAlive), connectTimeout_(connectTimeout) {}

  DWORD Open() {
    if (const DWORD rc = OpenSessionAndConnection(params_, operation_, set_)) return rc;
    return PrepareRequest();
  }
  DWORD Reopen() override {
    WinHttpCloseHandle(set_.hRequest);
    set_.hRequest = InvalidHttpHandle();
    return PrepareRequest();
  }
  DWORD Receive() override { return WinHttpReceiveResponse(set_.hRequest); }

  RequestHandleSet& set() { return set_; }

 protected:
  HINTERNET request() const { return set_.hRequest; }
  const char* operation() const { return operation_; }

 private:
  DWORD PrepareRequest() {
    if (const DWORD rc = OpenRequest(params_, operation_, u"POST", set_)) return rc;
    AddConnectionHeader(set_.hRequest, operation_, keepAlive_);
    return ConfigureRequest(params_, operation_, set_.hRequest, connectTimeout_);
  }

  const ConnectionParameters& params_;
  const char* operation_;
  bool keepAlive_;
  bool connectTimeout_;
  RequestHandleSet set_;
};

// A body held in memory, sent whole with the request.
class BufferPost : public PostExchange {
 public:
  BufferPost(const ConnectionParameters& params, const std::string& data, DWORD length, int requestType, bool keepAlive)
      : PostExchange(params, kSendEx, keepAlive, requestType == SEND_DATA),
        data_(data),
        length_(length),
        requestType_(requestType) {}

  DWORD BeforeSend() override {
    if (requestType_ == SEND_DATA) {
      if (const DWORD rc = SetReceiveTimeout(request())) {
        LogError("InternetSendRequestEx :  Error in WinHttpSetOption before send request--> %d \n",
                 static_cast<int>(rc));
        HttpGetLastError(rc);
      }
    } else if (requestType_ == SEND_MULTIPART) {
      // Replaced rather than added again, so that a resend carries it once.
      const DWORD rc = WinHttpAddRequestHeaders(request(), u"Content-Type: multipart/form-data",
                                                WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
      if (rc != ERROR_SUCCESS) {
        LogError("InternetSendRequestEx :  Error in WinHttpAddRequestHeaders (second Header ) --> %d \n",
                 static_cast<int>(rc));
        HttpGetLastError(rc);
      }
    }
    return ERROR_SUCCESS;
  }
  DWORD Send() override { return WinHttpSendRequest(request(), {}, data_.data(), length_, length_); }

 private:
  const std::string& data_;
  DWORD length_;
  int requestType_;
};

// A file streamed in chunks after the request has gone out with its size.
class FilePost : public PostExchange {
 public:
  FilePost(const ConnectionParameters& params, const char* path, std::uint64_t size, DWORD chunkSize)
      : PostExchange(params, kSendByBitRate, true, false), path_(path), size_(size), chunkSize_(chunkSize) {}

  DWORD BeforeSend() override { return ERROR_SUCCESS; }
  DWORD Send() override {
    // Each attempt sends the file again from its start. A file that cannot
    // be opened sends nothing; the receive then tells.
    FileHandle file;
    if (CreateFile(path_, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, &file) != ERROR_SUCCESS)
      return ERROR_SUCCESS;
    std::vector<char> chunk(chunkSize_);
    const std::string header =
        Format("Content-type: multipart/form-data; filesize=\"%llu\"", static_cast<unsigned long long>(size_));
    LogInfo("InternetSendRequestByBitRate: Header buffer: %s", header.c_str());
    if (const DWORD rc = WinHttpSendRequest(request(), Utf8ToUtf16(header), nullptr, 0, static_cast<DWORD>(size_)))
      return rc;
    // Failures here end the stream quietly; the receive reports them.
    std::uint64_t remaining = size_;
    while (remaining > 0) {
      const auto want = static_cast<DWORD>(std::min<std::uint64_t>(chunkSize_, remaining));
      DWORD got = 0;
      if (file.Read(chunk.data(), want, &got) != ERROR_SUCCESS || got == 0) break;
      DWORD written = 0;
      if (WinHttpWriteData(request(), chunk.data(), got, &written) != ERROR_SUCCESS) break;
      remaining -= got;
    }
    return ERROR_SUCCESS;
  }

 private:
  const char* path_;
  std::uint64_t size_;
  DWORD chunkSize_;
};

// The reply of a 200 answer, up to its Content-Length (with room to spare
// for the agent's old multi-byte sizing); what does not fit stays unread.
DWORD ReadReply(const char* operation, HINTERNET request, const std::string& server, std::string* reply) {
  LogInfo("%s : Reading the response sent by the server %s \n", operation, server.c_str());
  DWORD contentLength = 0;
  if (const DWORD rc = QueryContentLength(request, &contentLength)) {
    LogError("%s :  WinHttpQueryHeaders failed with the error code while getting content length -> %d \n", operation,
             static_cast<int>(rc));
    HttpGetLastError(rc);
    return rc;
  }
  // The reply's room, its terminating NUL included.
  const std::uint64_t capacity = (static_cast<std::uint64_t>(contentLength) + 2) * 4 + 4;
  reply->clear();
  std::vector<char> piece(kReplyPiece);
  for (;;) {
    const std::uint64_t room = capacity - 1 - reply->size();
    if (room == 0) break;
    DWORD read = 0;
    const auto want = static_cast<DWORD>(std::min<std::uint64_t>(room, piece.size()));
    if (WinHttpReadData(request, piece.data(), want, &read) != ERROR_SUCCESS || read == 0) break;
    reply->append(piece.data(), read);
    LogDebug("%s : Received response from server %s: \n %s \n", operation, server.c_str(), reply->c_str());
    LogDebug("%s :  No Of Bytes -> %d \n", operation, static_cast<int>(read));
  }
  return ERROR_SUCCESS;
}

// Sends under the retry rule, then reads the status and, for 200, the reply.
DWORD RunPost(PostExchange& post, const ConnectionParameters& params, const char* operation, std::string* reply) {
  DWORD rc = post.Open();
  if (rc == ERROR_SUCCESS) rc = SendWithRetries(operation, params, post);
  DWORD status = 0;
  if (rc == ERROR_SUCCESS) rc = ReadResponseStatus(operation, post.set().hRequest, &status);
  if (rc == ERROR_SUCCESS) {
    const std::string server = Utf16ToUtf8(params.serverName);
    if (status != 200) {
      LogError("%s : Failed to post the data to the server %s with http status code %d \n", operation, server.c_str(),
               static_cast<int>(status));
      rc = status;
    } else {
      LogInfo("%s : Successfully posted the data to the server %s \n", operation, server.c_str());
      if (reply) rc = ReadReply(operation, post.set().hRequest, server, reply);
    }
  }
  CloseRequestHandleSet(post.set(), operation);
  return rc;
}

void LogPostStart(const char* operation, const ConnectionParameters& params) {
  LogInfo("%s : Kelvane Server & Port -> %s : %d \n", operation, Utf16ToUtf8(params.serverName).c_str(),
          params.serverPort);
  LogDebug("%s : URL to Post -> %s \n", operation, Utf16ToUtf8(params.objectPath).c_str());
}

}  // namespace

DWORD InternetSendRequestEx(const ConnectionParameters& params, const std::string* data, std::string* reply,
                            int requestType, bool keepAlive, DWORD postSize) {
  LogDebug("@@@@@@@@ Inside InternetSendRequestEx Method @@@@@@@@ \n");
  LogPostStart(kSendEx, params);
  LogDebug("InternetSendRequestEx : Data to Send -> \n %s \n", data ? data->c_str() : kNullLogText);
  DWORD result = TRANSFER_NO_DATA;
  if (data) {
    // A post size beyond the data would send bytes the caller does not have.
    const std::size_t length = requestType == SEND_MULTIPART && postSize != 0
                                   ? std::min<std::size_t>(postSize, data->size())
                                   : std::strlen(data->c_str());
    LogDebug("InternetSendRequestEx : dwPostSize: %d \n", static_cast<int>(length));
    BufferPost post(params, *data, static_cast<DWORD>(length), requestType, keepAlive);
    result = RunPost(post, params, kSendEx, reply);
  }
  LogDebug("@@@@@@@@ End Of InternetSendRequestEx Method @@@@@@@@ \n");
  return result;
}

DWORD InternetSendRequestByBitRate(const ConnectionParameters& params, const char* filePath, std::string* reply,
                                   DWORD chunkSize) {
  LogDebug("***************** Inside InternetSendRequestByBitRate Method ***************** \n");
  LogPostStart(kSendByBitRate, params);
  DWORD result = TRANSFER_NO_DATA;
  std::int64_t size = 0;
  if (filePath && !GetFileSize64(filePath, &size)) size = 0;
  if (filePath && size < 1) {
    LogError("InternetSendRequestByBitRate: File Size is zero: %d\n", static_cast<int>(size));
  } else if (filePath && size > 0xFFFFFFFFLL) {
    // A request body is announced in 32 bits: a larger file would go out cut.
    LogError("InternetSendRequestByBitRate: File is too large to post: %lld\n", static_cast<long long>(size));
  } else if (filePath) {
    FilePost post(params, filePath, static_cast<std::uint64_t>(size), chunkSize);
    result = RunPost(post, params, kSendByBitRate, reply);
  }
  LogDebug("***************** End Of InternetSendRequestByBitRate Method ***************** \n");
  return result;
}

}  // namespace kv
