#pragma once
// One attempt of one request on libcurl: an easy handle driven through the
// request's multi handle on the caller's thread, in the pull model WinHTTP
// offers. Bytes move only while a call waits for them: the request body is
// handed to libcurl straight from the caller's buffer, and the response body
// lands in a bounded buffer; when that is full the transfer is paused, so
// the server is held back by TCP rather than buffered in memory.

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/http_headers.h"
#include "platform/posix/http_receive_buffer.h"
#include "platform/posix/http_tls.h"
#include "platform/win_types.h"

namespace kv::posix {

// The multi handle of a request, kept across its attempts so that another
// thread can wake a waiting call (closing the request cancels it).
class HttpMulti {
 public:
  HttpMulti();
  ~HttpMulti();
  HttpMulti(const HttpMulti&) = delete;
  HttpMulti& operator=(const HttpMulti&) = delete;
  CURLM* get() const { return multi_; }
  void Wake() const;

 private:
  CURLM* multi_;
};

// Time-outs in milliseconds; 0 means none.
struct HttpTimeouts {
  DWORD connect = 0;
  DWORD send = 0;
  DWORD receive = 0;
  DWORD receiveResponse = 0;
};

// Everything one attempt sends.
struct HttpAttempt {
  std::string url;
  std::string verb;
  bool http10 = false;
  HttpHeaderList headers;  // sent after libcurl's own (Host, User-Agent, Content-Length)
  std::string userAgent;
  std::string proxy;  // "host:port", empty for none
  std::string proxyUser;
  std::string proxyPassword;
  DWORD securityFlags = 0;
  DWORD secureProtocols = 0;
  HttpTimeouts timeouts;
  DWORD maxHeaderBytes = 0;
  std::string optional;  // the body's first bytes, given with the send
  std::uint64_t totalLength = 0;
};

class HttpTransfer {
 public:
  static constexpr std::size_t kReceiveBufferBytes = 2 * 1024 * 1024;

  HttpTransfer(HttpAttempt attempt, const HttpMulti& multi, const std::atomic<bool>& cancelled);
  ~HttpTransfer();
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;

  // WinHttpSendRequest: connected, the request and the optional data sent.
  DWORD Start();
  DWORD Write(const void* data, DWORD length, DWORD* written);
  DWORD ReceiveResponse();
  // The response head once ReceiveResponse succeeded, else null.
  const HttpMessageHead* Response() const { return received_ ? &response_ : nullptr; }
  DWORD QueryDataAvailable(DWORD* available);
  DWORD Read(void* buffer, DWORD length, DWORD* read);

 private:
  enum class Wait { kSend, kResponse, kBody };
  using Clock = std::chrono::steady_clock;

  static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t OnUpload(char* data, std::size_t size, std::size_t count, void* self);
  static int OnConnected(void* self, char*, char*, int, int);

  CURLcode Configure();
  // Drives the transfer until ready() holds or it ends; an error when a wait
  // ran out, the request was closed or libcurl failed on its own.
  template <typename Ready>
  DWORD Drive(Ready ready, Wait wait);
  void Perform();
  void End(CURLcode result);
  DWORD Abandon(DWORD code);
  DWORD MapResult(CURLcode result) const;
  void ApplyPause();
  // How long the next wait may last; expired when a time-out has run out.
  int WaitMs(Wait wait, Clock::time_point start, bool* expired) const;

  HttpAttempt attempt_;
  CURLM* multi_;
  const std::atomic<bool>& cancelled_;
  CURL* easy_ = nullptr;
  curl_slist* headers_ = nullptr;
  bool added_ = false;
  char errorText_[CURL_ERROR_SIZE] = {};
  HttpCertificatePolicy certificates_;

  // Progress, as the callbacks see it.
  bool connected_ = false;
  bool ended_ = false;
  DWORD outcome_ = 0;        // once ended_: 0, or the error code
  DWORD callbackError_ = 0;  // why a callback stopped the transfer
  Clock::time_point lastProgress_;

  // The request body.
  std::uint64_t bodySent_ = 0;
  std::size_t optionalSent_ = 0;
  const char* writeData_ = nullptr;
  std::size_t writeLength_ = 0;
  std::size_t writeTaken_ = 0;
  bool sendPaused_ = false;

  // The response.
  HttpMessageHead reading_;       // the head being read
  std::size_t readingBytes_ = 0;  // its size so far
  HttpMessageHead proxyAnswer_;   // the proxy's answer to a tunnel request
  HttpMessageHead response_;
  bool haveResponse_ = false;  // response_ is complete
  bool received_ = false;      // and ReceiveResponse has handed it out
  HttpReceiveBuffer body_{kReceiveBufferBytes};
  bool receivePaused_ = false;
};

}  // namespace kv::posix
