#include "platform/posix/http_transfer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string_view>

#include "platform/ascii.h"
#include "platform/http.h"

namespace kv::posix {
namespace {

// libcurl's receive buffer: large reads, few calls. Every piece it hands on
// fits the receive buffer many times over.
constexpr long kCurlBufferBytes = 512 * 1024;
static_assert(HttpTransfer::kReceiveBufferBytes >= 4 * kCurlBufferBytes);

// A waiting call looks at the clock (and at a close from another thread,
// which also wakes it) at least this often.
constexpr int kLongestPollMs = 1000;

bool IsBlankLine(std::string_view line) { return line.find_first_not_of("\r\n") == std::string_view::npos; }

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The words behind this thread's last failed exchange (WinHttpLastFailureDetail).
thread_local std::string lastFailureDetail;

// What a person would want to know beyond the WinHTTP code.
std::string FailureDetail(CURL* easy, CURLcode result, const char* errorText) {
  if (result == CURLE_COULDNT_CONNECT) {
    long error = 0;
    if (curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &error) != CURLE_OK || error == 0) return {};
    switch (error) {
      case ECONNREFUSED: return "connection refused";
      case ETIMEDOUT: return "connection timed out";
      case EHOSTUNREACH: return "no route to host";
      case ENETUNREACH: return "network unreachable";
      default: break;
    }
    std::string text = std::strerror(static_cast<int>(error));
    if (!text.empty()) text[0] = ascii::ToLower(text[0]);
    return text;
  }
  if (result == CURLE_COULDNT_RESOLVE_HOST) return "the name is not known";
  if (result == CURLE_COULDNT_RESOLVE_PROXY) return "the proxy's name is not known";
  if (result == CURLE_SSL_CONNECT_ERROR) {
    // What OpenSSL says of an answer that is no TLS record at all: most
    // often a plain HTTP server on the port.
    const std::string_view text(errorText);
    for (const char* sign : {"wrong version number", "packet length too long", "record layer failure", "http request"})
      if (text.find(sign) != std::string_view::npos) return "the server did not answer in TLS";
  }
  return {};
}

}  // namespace

HttpMulti::HttpMulti() : multi_(curl_multi_init()) {}

HttpMulti::~HttpMulti() {
  if (multi_) curl_multi_cleanup(multi_);
}

void HttpMulti::Wake() const {
  if (multi_) curl_multi_wakeup(multi_);
}

HttpTransfer::HttpTransfer(HttpAttempt attempt, const HttpMulti& multi, const std::atomic<bool>& cancelled)
    : attempt_(std::move(attempt)), multi_(multi.get()), cancelled_(cancelled) {
  certificates_.securityFlags = attempt_.securityFlags;
}

HttpTransfer::~HttpTransfer() {
  if (added_) curl_multi_remove_handle(multi_, easy_);
  if (easy_) curl_easy_cleanup(easy_);
  curl_slist_free_all(headers_);
}

CURLcode HttpTransfer::Configure() {
  CURLcode rc = CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    if (rc == CURLE_OK) rc = curl_easy_setopt(easy_, option, value);
  };
  set(CURLOPT_URL, attempt_.url.c_str());
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_PATH_AS_IS, 1L);
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_BUFFERSIZE, kCurlBufferBytes);
  set(CURLOPT_ERRORBUFFER, errorText_);
  // Every attempt on a connection of its own, closed afterwards.
  set(CURLOPT_FRESH_CONNECT, 1L);
  set(CURLOPT_FORBID_REUSE, 1L);
  set(CURLOPT_HTTP_VERSION, attempt_.http10 ? long{CURL_HTTP_VERSION_1_0} : long{CURL_HTTP_VERSION_1_1});
  set(CURLOPT_CONNECTTIMEOUT_MS, attempt_.timeouts.connect ? long{attempt_.timeouts.connect} : 0x7FFFFFFFL);
  set(CURLOPT_HEADERFUNCTION, OnHeader);
  set(CURLOPT_HEADERDATA, this);
  set(CURLOPT_WRITEFUNCTION, OnBody);
  set(CURLOPT_WRITEDATA, this);
  set(CURLOPT_PREREQFUNCTION, OnConnected);
  set(CURLOPT_PREREQDATA, this);
  if (!attempt_.userAgent.empty()) set(CURLOPT_USERAGENT, attempt_.userAgent.c_str());

  // An empty proxy also keeps libcurl from taking one from the environment.
  const std::string proxy = attempt_.proxy.empty() ? std::string() : "http://" + attempt_.proxy;
  set(CURLOPT_PROXY, proxy.c_str());
  if (!attempt_.proxy.empty() && !attempt_.proxyUser.empty()) {
    set(CURLOPT_PROXYUSERNAME, attempt_.proxyUser.c_str());
    set(CURLOPT_PROXYPASSWORD, attempt_.proxyPassword.c_str());
    set(CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_BASIC));
  }

  if (rc == CURLE_OK) rc = ApplyCertificatePolicy(easy_, &certificates_);
  set(CURLOPT_SSLVERSION, TlsVersionRange(attempt_.secureProtocols));

  const bool hasBody = attempt_.totalLength > 0 || attempt_.verb == "POST" || attempt_.verb == "PUT";
  if (attempt_.verb == "HEAD") {
    set(CURLOPT_NOBODY, 1L);
  } else if (hasBody) {
    set(CURLOPT_POST, 1L);
    set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(attempt_.totalLength));
    set(CURLOPT_READFUNCTION, OnUpload);
    set(CURLOPT_READDATA, this);
    if (attempt_.verb != "POST") set(CURLOPT_CUSTOMREQUEST, attempt_.verb.c_str());
  } else {
    set(CURLOPT_HTTPGET, 1L);
    if (attempt_.verb != "GET") set(CURLOPT_CUSTOMREQUEST, attempt_.verb.c_str());
  }

  // The headers as the caller made them, and none of libcurl's own that
  // WinHTTP would not send.
  auto add = [&](const std::string& line) {
    if (curl_slist* list = curl_slist_append(headers_, line.c_str())) {
      headers_ = list;
    } else if (rc == CURLE_OK) {
      rc = CURLE_OUT_OF_MEMORY;
    }
  };
  for (const auto& header : attempt_.headers)
    add(header.value.empty() ? header.name + ";" : header.name + ": " + header.value);
  if (!FindHeader(attempt_.headers, "Accept")) add("Accept:");
  add("Expect:");
  if (hasBody && !FindHeader(attempt_.headers, "Content-Type")) add("Content-Type:");
  set(CURLOPT_HTTPHEADER, headers_);
  return rc;
}

DWORD HttpTransfer::Start() {
  lastFailureDetail.clear();
  easy_ = curl_easy_init();
  if (!easy_) return Abandon(ERROR_NOT_ENOUGH_MEMORY);
  if (Configure() != CURLE_OK) return Abandon(ERROR_WINHTTP_INTERNAL_ERROR);
  if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return Abandon(ERROR_WINHTTP_INTERNAL_ERROR);
  added_ = true;
  lastProgress_ = Clock::now();
  // Sent once connected and the given part of the body is on its way.
  const DWORD error = Drive(
      [&] {
        return connected_ && optionalSent_ == attempt_.optional.size() &&
               (sendPaused_ || bodySent_ == attempt_.totalLength);
      },
      Wait::kSend);
  if (error) return error;
  // What ends the transfer once the request is out (a reset, no answer, a
  // refused tunnel answered by the proxy) is for ReceiveResponse to tell,
  // however quickly it came; before that it is the failure of the send.
  const bool requestOut = connected_ && bodySent_ == attempt_.totalLength;
  return ended_ && !haveResponse_ && !requestOut ? outcome_ : ERROR_SUCCESS;
}

DWORD HttpTransfer::Write(const void* data, DWORD length, DWORD* written) {
  *written = 0;
  if (!easy_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  if (ended_) return outcome_ ? outcome_ : ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  if (bodySent_ + length > attempt_.totalLength) return ERROR_INVALID_PARAMETER;
  writeData_ = static_cast<const char*>(data);
  writeLength_ = length;
  writeTaken_ = 0;
  if (sendPaused_) {
    sendPaused_ = false;
    ApplyPause();
  }
  const DWORD error = Drive([&] { return writeTaken_ == writeLength_; }, Wait::kSend);
  *written = static_cast<DWORD>(writeTaken_);
  const bool complete = writeTaken_ == writeLength_;
  writeData_ = nullptr;
  writeLength_ = writeTaken_ = 0;
  if (error) return error;
  if (!complete) return outcome_ ? outcome_ : ERROR_WINHTTP_CONNECTION_ERROR;
  return ERROR_SUCCESS;
}

DWORD HttpTransfer::ReceiveResponse() {
  if (!easy_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  if (received_) return ERROR_SUCCESS;
  if (!ended_ && bodySent_ < attempt_.totalLength) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  if (const DWORD error = Drive([&] { return haveResponse_; }, Wait::kResponse)) return error;
  if (!haveResponse_) return outcome_ ? outcome_ : ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
  received_ = true;
  return ERROR_SUCCESS;
}

DWORD HttpTransfer::QueryDataAvailable(DWORD* available) {
  *available = 0;
  if (!received_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  // With bytes in hand this only gathers what has already arrived.
  if (!ended_ && !receivePaused_) {
    if (const DWORD error = Drive([&] { return body_.Size() > 0; }, Wait::kBody)) return error;
  }
  if (body_.Size() > 0) {
    *available = static_cast<DWORD>(std::min<std::size_t>(body_.Size(), std::numeric_limits<DWORD>::max()));
    return ERROR_SUCCESS;
  }
  return outcome_;
}

DWORD HttpTransfer::Read(void* buffer, DWORD length, DWORD* read) {
  *read = 0;
  if (!received_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  if (body_.Size() == 0) {
    DWORD available = 0;
    if (const DWORD error = QueryDataAvailable(&available)) return error;
  }
  *read = static_cast<DWORD>(body_.Take(static_cast<char*>(buffer), length));
  // Let the server go on once there is room for a good run of bytes.
  if (receivePaused_ && body_.Free() >= body_.Capacity() / 2) {
    receivePaused_ = false;
    ApplyPause();
  }
  return ERROR_SUCCESS;
}

template <typename Ready>
DWORD HttpTransfer::Drive(Ready ready, Wait wait) {
  const auto start = Clock::now();
  for (;;) {
    if (cancelled_.load()) return Abandon(ERROR_WINHTTP_OPERATION_CANCELLED);
    Perform();
    if (ready() || ended_) return ERROR_SUCCESS;
    bool expired = false;
    const int waitMs = WaitMs(wait, start, &expired);
    if (expired) return Abandon(ERROR_WINHTTP_TIMEOUT);
    if (curl_multi_poll(multi_, nullptr, 0, waitMs, nullptr) != CURLM_OK) return Abandon(ERROR_WINHTTP_INTERNAL_ERROR);
  }
}

void HttpTransfer::Perform() {
  if (ended_) return;
  int running = 0;
  if (curl_multi_perform(multi_, &running) != CURLM_OK) {
    Abandon(ERROR_WINHTTP_INTERNAL_ERROR);
    return;
  }
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &queued))
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) End(message->data.result);
}

void HttpTransfer::End(CURLcode result) {
  ended_ = true;
  outcome_ = result == CURLE_OK ? ERROR_SUCCESS : MapResult(result);
  if (outcome_ != ERROR_SUCCESS) lastFailureDetail = FailureDetail(easy_, result, errorText_);
  // A proxy that refused the tunnel (407 for want of credentials, say)
  // answered the request: its answer is the response, without a body.
  if (outcome_ != ERROR_SUCCESS && !connected_ && !haveResponse_ && proxyAnswer_.status >= 300) {
    response_ = std::move(proxyAnswer_);
    haveResponse_ = true;
    outcome_ = ERROR_SUCCESS;
  }
}

DWORD HttpTransfer::Abandon(DWORD code) {
  if (added_) curl_multi_remove_handle(multi_, easy_);
  added_ = false;
  ended_ = true;
  outcome_ = code;
  return code;
}

void HttpTransfer::ApplyPause() {
  const int mask = (sendPaused_ ? CURLPAUSE_SEND : 0) | (receivePaused_ ? CURLPAUSE_RECV : 0);
  if (curl_easy_pause(easy_, mask) != CURLE_OK) Abandon(ERROR_WINHTTP_INTERNAL_ERROR);
}

int HttpTransfer::WaitMs(Wait wait, Clock::time_point start, bool* expired) const {
  using std::chrono::milliseconds;
  const auto now = Clock::now();
  auto deadline = Clock::time_point::max();
  auto limit = [&](Clock::time_point since, DWORD ms) {
    if (ms != 0) deadline = std::min(deadline, since + milliseconds(ms));
  };
  const auto idleSince = std::max(start, lastProgress_);
  switch (wait) {
    case Wait::kSend:
      // Until connected, the connect time-out (libcurl's) is the limit.
      if (connected_) limit(idleSince, attempt_.timeouts.send);
      break;
    case Wait::kResponse:
      limit(idleSince, attempt_.timeouts.receive);
      limit(start, attempt_.timeouts.receiveResponse);
      break;
    case Wait::kBody: limit(idleSince, attempt_.timeouts.receive); break;
  }
  if (deadline <= now) {
    *expired = true;
    return 0;
  }
  const auto left = std::chrono::duration_cast<milliseconds>(deadline - now).count() + 1;
  return static_cast<int>(std::min<long long>(left, kLongestPollMs));
}

DWORD HttpTransfer::MapResult(CURLcode result) const {
  if (callbackError_) return callbackError_;
  if (certificates_.rejected) return ERROR_WINHTTP_SECURE_FAILURE;
  switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_WINHTTP_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_WINHTTP_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_WINHTTP_TIMEOUT;
    case CURLE_PEER_FAILED_VERIFICATION: return ERROR_WINHTTP_SECURE_FAILURE;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_USE_SSL_FAILED: return ERROR_WINHTTP_SECURE_CHANNEL_ERROR;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_BAD_CONTENT_ENCODING: return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
    case CURLE_URL_MALFORMAT: return ERROR_WINHTTP_INVALID_URL;
    case CURLE_OUT_OF_MEMORY:
      // libcurl's answer to a header line beyond its own limit.
      return connected_ && !haveResponse_ ? ERROR_WINHTTP_HEADER_SIZE_OVERFLOW : ERROR_NOT_ENOUGH_MEMORY;
    case CURLE_RECV_ERROR:
      // A chunked body that cannot be decoded is a response we cannot
      // parse; anything else went wrong on the connection.
      if (std::strstr(errorText_, "chunk")) return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
      return ERROR_WINHTTP_CONNECTION_ERROR;
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_SEND_FAIL_REWIND: return ERROR_WINHTTP_CONNECTION_ERROR;
    default: return ERROR_WINHTTP_INTERNAL_ERROR;
  }
}

std::size_t HttpTransfer::OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
  auto* t = static_cast<HttpTransfer*>(self);
  const std::size_t length = size * count;
  // Trailers of a chunked body come after the head is complete.
  if (t->haveResponse_) return length;
  const std::string_view line(data, length);
  t->lastProgress_ = Clock::now();
  const bool statusLine = StartsWith(line, "HTTP/");
  t->readingBytes_ = statusLine ? length : t->readingBytes_ + length;
  if (t->attempt_.maxHeaderBytes != 0 && t->readingBytes_ > t->attempt_.maxHeaderBytes) {
    t->callbackError_ = ERROR_WINHTTP_HEADER_SIZE_OVERFLOW;
    return 0;
  }
  if (statusLine) {
    StartResponseHead(t->reading_, line);
  } else if (!IsBlankLine(line)) {
    AddResponseHeaderLine(t->reading_, line);
  } else {
    const DWORD status = t->reading_.status;
    if (status >= 200 || status == 0) {
      // Heads before the connection was ready are the proxy's answers to
      // the tunnel request; interim (1xx) heads are not the response.
      if (!t->connected_) {
        t->proxyAnswer_ = std::move(t->reading_);
      } else {
        t->response_ = std::move(t->reading_);
        t->haveResponse_ = true;
      }
    }
    t->reading_ = HttpMessageHead();
    t->readingBytes_ = 0;
  }
  return length;
}

std::size_t HttpTransfer::OnBody(char* data, std::size_t size, std::size_t count, void* self) {
  auto* t = static_cast<HttpTransfer*>(self);
  const std::size_t length = size * count;
  if (length > t->body_.Capacity()) {
    t->callbackError_ = ERROR_WINHTTP_INTERNAL_ERROR;
    return 0;
  }
  if (!t->body_.Append(data, length)) {
    // Full: libcurl keeps the piece and stops reading until resumed.
    t->receivePaused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  t->lastProgress_ = Clock::now();
  return length;
}

std::size_t HttpTransfer::OnUpload(char* data, std::size_t size, std::size_t count, void* self) {
  auto* t = static_cast<HttpTransfer*>(self);
  const std::size_t room = size * count;
  auto give = [&](const char* from, std::size_t available, std::size_t* taken) {
    const std::size_t length = std::min(room, available - *taken);
    std::memcpy(data, from + *taken, length);
    *taken += length;
    t->bodySent_ += length;
    t->lastProgress_ = Clock::now();
    return length;
  };
  if (t->optionalSent_ < t->attempt_.optional.size())
    return give(t->attempt_.optional.data(), t->attempt_.optional.size(), &t->optionalSent_);
  if (t->writeTaken_ < t->writeLength_) return give(t->writeData_, t->writeLength_, &t->writeTaken_);
  if (t->bodySent_ >= t->attempt_.totalLength) return 0;
  // The caller has not written the rest yet.
  t->sendPaused_ = true;
  return CURL_READFUNC_PAUSE;
}

int HttpTransfer::OnConnected(void* self, char*, char*, int, int) {
  auto* t = static_cast<HttpTransfer*>(self);
  t->connected_ = true;
  t->lastProgress_ = Clock::now();
  return CURL_PREREQFUNC_OK;
}

}  // namespace kv::posix

namespace kv {

std::string WinHttpLastFailureDetail() { return posix::lastFailureDetail; }

}  // namespace kv
