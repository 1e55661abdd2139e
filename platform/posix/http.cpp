// WinHTTP's synchronous session API on libcurl: handles, options, request
// headers and the building of each attempt; the transfer itself is in
// http_transfer.cpp.

#include "platform/http.h"

#include <curl/curl.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/last_error.h"
#include "platform/posix/http_headers.h"
#include "platform/posix/http_proxy.h"
#include "platform/posix/http_transfer.h"
#include "platform/unicode.h"

namespace kv {
namespace posix {
namespace {

enum class HttpKind { kSession, kConnection, kRequest };

// The options a handle holds and hands to the handles opened on it.
struct HttpSettings {
  DWORD resolveTimeout = 0;
  DWORD connectTimeout = 60000;
  DWORD sendTimeout = 30000;
  DWORD receiveTimeout = 30000;
  DWORD receiveResponseTimeout = 90000;
  DWORD securityFlags = 0;
  DWORD secureProtocols = 0;
  DWORD maxHeaderBytes = 64 * 1024;
  std::u16string userAgent;
  std::u16string proxyUser;
  std::u16string proxyPassword;
};

struct HttpHandleObject {
  HttpHandleObject(HttpKind k, HttpSettings s) : kind(k), settings(std::move(s)) {}
  virtual ~HttpHandleObject() = default;
  const HttpKind kind;
  HttpSettings settings;
};

struct HttpSession : HttpHandleObject {
  using HttpHandleObject::HttpHandleObject;
  bool useProxy = false;
  std::string proxyList;
  std::string bypassList;
};

struct HttpConnection : HttpHandleObject {
  using HttpHandleObject::HttpHandleObject;
  std::shared_ptr<HttpSession> session;
  std::string host;  // as it stands in a URL
  INTERNET_PORT port = 0;
};

struct HttpRequest : HttpHandleObject {
  using HttpHandleObject::HttpHandleObject;
  std::shared_ptr<HttpConnection> connection;
  std::string verb;
  std::string path;
  std::string version;
  bool secure = false;
  INTERNET_PORT port = 0;
  std::string url;
  HttpHeaderList headers;
  std::mutex busy;  // one call at a time
  std::atomic<bool> closed{false};
  HttpMulti multi;  // outlives every transfer on it
  std::unique_ptr<HttpTransfer> transfer;
};

// The open handles of the process. Never destroyed: handles left open at
// exit are not torn down behind the TLS library's back.
class HttpHandleTable {
 public:
  HINTERNET Add(std::shared_ptr<HttpHandleObject> object) {
    std::lock_guard lock(mutex_);
    const std::uintptr_t id = next_++;
    objects_.emplace(id, std::move(object));
    return reinterpret_cast<HINTERNET>(id);
  }
  std::shared_ptr<HttpHandleObject> Find(HINTERNET handle) {
    std::lock_guard lock(mutex_);
    const auto found = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == objects_.end() ? nullptr : found->second;
  }
  std::shared_ptr<HttpHandleObject> Remove(HINTERNET handle) {
    std::lock_guard lock(mutex_);
    const auto found = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == objects_.end()) return nullptr;
    auto object = std::move(found->second);
    objects_.erase(found);
    return object;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<std::uintptr_t, std::shared_ptr<HttpHandleObject>> objects_;
  std::uintptr_t next_ = 1;
};

HttpHandleTable& Handles() {
  static auto* table = new HttpHandleTable;
  return *table;
}

DWORD Fail(DWORD code) {
  SetLastError(code);
  return code;
}

// Result of a call: success as it is, a failure also as the last error.
DWORD Result(DWORD code) { return code == ERROR_SUCCESS ? code : Fail(code); }

template <typename Object>
DWORD Lookup(HINTERNET handle, HttpKind kind, std::shared_ptr<Object>* object) {
  auto found = Handles().Find(handle);
  if (!found) return ERROR_INVALID_HANDLE;
  if (found->kind != kind) return ERROR_WINHTTP_INCORRECT_HANDLE_TYPE;
  *object = std::static_pointer_cast<Object>(std::move(found));
  return ERROR_SUCCESS;
}

// Where an option lives in a handle's settings, if it applies to the handle.
struct OptionSlot {
  DWORD* number = nullptr;
  std::u16string* text = nullptr;
};

DWORD FindOption(HttpHandleObject& object, DWORD option, OptionSlot* slot) {
  HttpSettings& s = object.settings;
  switch (option) {
    case WINHTTP_OPTION_RESOLVE_TIMEOUT: slot->number = &s.resolveTimeout; break;
    case WINHTTP_OPTION_CONNECT_TIMEOUT: slot->number = &s.connectTimeout; break;
    case WINHTTP_OPTION_SEND_TIMEOUT: slot->number = &s.sendTimeout; break;
    case WINHTTP_OPTION_RECEIVE_TIMEOUT: slot->number = &s.receiveTimeout; break;
    case WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT: slot->number = &s.receiveResponseTimeout; break;
    case WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE: slot->number = &s.maxHeaderBytes; break;
    case WINHTTP_OPTION_SECURITY_FLAGS:
      if (object.kind != HttpKind::kRequest) return ERROR_WINHTTP_INCORRECT_HANDLE_TYPE;
      slot->number = &s.securityFlags;
      break;
    case WINHTTP_OPTION_SECURE_PROTOCOLS:
      if (object.kind != HttpKind::kSession) return ERROR_WINHTTP_INCORRECT_HANDLE_TYPE;
      slot->number = &s.secureProtocols;
      break;
    case WINHTTP_OPTION_USER_AGENT:
      if (object.kind != HttpKind::kSession) return ERROR_WINHTTP_INCORRECT_HANDLE_TYPE;
      slot->text = &s.userAgent;
      break;
    case WINHTTP_OPTION_PROXY_USERNAME: slot->text = &s.proxyUser; break;
    case WINHTTP_OPTION_PROXY_PASSWORD: slot->text = &s.proxyPassword; break;
    default: return ERROR_WINHTTP_INVALID_OPTION;
  }
  return ERROR_SUCCESS;
}

constexpr DWORD kIgnorableCertificateChecks = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                                              SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                              SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
constexpr DWORD kKnownSecureProtocols = WINHTTP_FLAG_SECURE_PROTOCOL_SSL2 | WINHTTP_FLAG_SECURE_PROTOCOL_SSL3 |
                                        WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 |
                                        WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;

// Percent-encodes what may not stand in a request target as it is.
std::string EscapeObjectName(std::u16string_view objectName, DWORD flags) {
  std::string utf8 = Utf16ToUtf8(objectName);
  if (utf8.empty() || utf8.front() != '/') utf8.insert(utf8.begin(), '/');
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  bool inQuery = false;
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    inQuery = inQuery || c == '?';
    const bool unsafe = c <= 0x20 || c >= 0x7F || std::string_view("\"#<>\\^`{|}").find(ch) != std::string_view::npos ||
                        (c == '%' && (flags & WINHTTP_FLAG_ESCAPE_PERCENT));
    const bool keep = (flags & WINHTTP_FLAG_ESCAPE_DISABLE) || (inQuery && (flags & WINHTTP_FLAG_ESCAPE_DISABLE_QUERY));
    if (unsafe && !keep) {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 15];
    } else {
      escaped += ch;
    }
  }
  return escaped;
}

// 0 and 0xFFFFFFFF both mean "no time-out".
DWORD Limit(DWORD ms) { return ms == 0xFFFFFFFF ? 0 : ms; }

HttpAttempt MakeAttempt(const HttpRequest& request, const HttpHeaderList& extraHeaders, const void* optional,
                        DWORD optionalLength, DWORD totalLength) {
  const HttpSettings& s = request.settings;
  const HttpSession& session = *request.connection->session;
  HttpAttempt attempt;
  attempt.url = request.url;
  attempt.verb = request.verb;
  attempt.http10 = request.version == "HTTP/1.0";
  attempt.headers = request.headers;
  attempt.headers.insert(attempt.headers.end(), extraHeaders.begin(), extraHeaders.end());
  attempt.userAgent = Utf16ToUtf8(session.settings.userAgent);
  if (session.useProxy && !BypassesProxy(session.bypassList, request.connection->host, request.port, request.secure))
    attempt.proxy = ChooseProxy(session.proxyList, request.secure);
  attempt.proxyUser = Utf16ToUtf8(s.proxyUser);
  attempt.proxyPassword = Utf16ToUtf8(s.proxyPassword);
  attempt.securityFlags = s.securityFlags;
  attempt.secureProtocols = session.settings.secureProtocols;
  attempt.timeouts = {Limit(s.connectTimeout), Limit(s.sendTimeout), Limit(s.receiveTimeout),
                      Limit(s.receiveResponseTimeout)};
  attempt.maxHeaderBytes = s.maxHeaderBytes;
  if (optional && optionalLength) attempt.optional.assign(static_cast<const char*>(optional), optionalLength);
  attempt.totalLength = totalLength;
  return attempt;
}

// Runs one call on a request's transfer, one call at a time.
template <typename Call>
DWORD OnTransfer(HINTERNET handle, Call call) {
  std::shared_ptr<HttpRequest> request;
  if (const DWORD error = Lookup(handle, HttpKind::kRequest, &request)) return Fail(error);
  std::lock_guard busy(request->busy);
  if (!request->transfer) return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  return Result(call(*request->transfer));
}

}  // namespace
}  // namespace posix

using namespace posix;

DWORD WinHttpOpen(std::u16string_view userAgent, DWORD accessType, std::u16string_view proxyName,
                  std::u16string_view proxyBypass, DWORD flags, HINTERNET* session) {
  if (!session) return Fail(ERROR_INVALID_PARAMETER);
  *session = nullptr;
  if (flags != 0) return Fail(ERROR_INVALID_PARAMETER);
  const bool named = accessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  if (!named && accessType != WINHTTP_ACCESS_TYPE_NO_PROXY && accessType != WINHTTP_ACCESS_TYPE_DEFAULT_PROXY &&
      accessType != WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY)
    return Fail(ERROR_INVALID_PARAMETER);
  if (named && proxyName.empty()) return Fail(ERROR_INVALID_PARAMETER);
  static std::once_flag curlReady;
  std::call_once(curlReady, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  HttpSettings settings;
  settings.userAgent = std::u16string(userAgent);
  auto object = std::make_shared<HttpSession>(HttpKind::kSession, std::move(settings));
  object->useProxy = named;
  if (named) {
    object->proxyList = Utf16ToUtf8(proxyName);
    object->bypassList = Utf16ToUtf8(proxyBypass);
  }
  *session = Handles().Add(std::move(object));
  return ERROR_SUCCESS;
}

DWORD WinHttpConnect(HINTERNET session, std::u16string_view serverName, INTERNET_PORT port, HINTERNET* connection) {
  if (!connection) return Fail(ERROR_INVALID_PARAMETER);
  *connection = nullptr;
  std::shared_ptr<HttpSession> owner;
  if (const DWORD error = Lookup(session, HttpKind::kSession, &owner)) return Fail(error);
  if (serverName.empty()) return Fail(ERROR_WINHTTP_INVALID_URL);
  auto object = std::make_shared<HttpConnection>(HttpKind::kConnection, owner->settings);
  object->host = Utf16ToUtf8(serverName);
  // An IPv6 address stands in brackets in a URL.
  if (object->host.find(':') != std::string::npos && object->host.front() != '[')
    object->host = "[" + object->host + "]";
  object->port = port;
  object->session = std::move(owner);
  *connection = Handles().Add(std::move(object));
  return ERROR_SUCCESS;
}

DWORD WinHttpOpenRequest(HINTERNET connection, std::u16string_view verb, std::u16string_view objectName,
                         std::u16string_view version, std::u16string_view referrer,
                         const std::vector<std::u16string_view>& acceptTypes, DWORD flags, HINTERNET* request) {
  if (!request) return Fail(ERROR_INVALID_PARAMETER);
  *request = nullptr;
  std::shared_ptr<HttpConnection> owner;
  if (const DWORD error = Lookup(connection, HttpKind::kConnection, &owner)) return Fail(error);
  const std::string httpVersion = version.empty() ? "HTTP/1.1" : Utf16ToUtf8(version);
  if (httpVersion != "HTTP/1.1" && httpVersion != "HTTP/1.0") return Fail(ERROR_INVALID_PARAMETER);

  auto object = std::make_shared<HttpRequest>(HttpKind::kRequest, owner->settings);
  if (!object->multi.get()) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  object->verb = verb.empty() ? "GET" : Utf16ToUtf8(verb);
  object->path = EscapeObjectName(objectName, flags);
  object->version = httpVersion;
  object->secure = (flags & WINHTTP_FLAG_SECURE) != 0;
  object->port = owner->port != INTERNET_DEFAULT_PORT ? owner->port
                 : object->secure                     ? INTERNET_DEFAULT_HTTPS_PORT
                                                      : INTERNET_DEFAULT_HTTP_PORT;
  object->url =
      (object->secure ? "https://" : "http://") + owner->host + ":" + std::to_string(object->port) + object->path;
  std::string accept;
  for (const auto type : acceptTypes) {
    if (type.empty()) continue;
    if (!accept.empty()) accept += ", ";
    accept += Utf16ToUtf8(type);
  }
  if (!accept.empty()) object->headers.push_back({"Accept", accept});
  if (!referrer.empty()) object->headers.push_back({"Referer", Utf16ToUtf8(referrer)});
  if (flags & WINHTTP_FLAG_REFRESH) {
    object->headers.push_back({"Pragma", "no-cache"});
    if (httpVersion == "HTTP/1.1") object->headers.push_back({"Cache-Control", "no-cache"});
  }
  object->connection = std::move(owner);
  *request = Handles().Add(std::move(object));
  return ERROR_SUCCESS;
}

DWORD WinHttpAddRequestHeaders(HINTERNET request, std::u16string_view headers, DWORD modifiers) {
  std::shared_ptr<HttpRequest> object;
  if (const DWORD error = Lookup(request, HttpKind::kRequest, &object)) return Fail(error);
  HttpHeaderList parsed;
  if (const DWORD error = ParseHeaderLines(headers, &parsed)) return Fail(error);
  if (parsed.empty()) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard busy(object->busy);
  return Result(EditHeaders(object->headers, parsed, modifiers));
}

DWORD WinHttpSetOption(HINTERNET handle, DWORD option, DWORD value) {
  auto object = Handles().Find(handle);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  OptionSlot slot;
  if (const DWORD error = FindOption(*object, option, &slot)) return Fail(error);
  if (!slot.number) return Fail(ERROR_INVALID_PARAMETER);
  if (option == WINHTTP_OPTION_SECURE_PROTOCOLS && (value & ~kKnownSecureProtocols))
    return Fail(ERROR_INVALID_PARAMETER);
  if (option == WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE && value == 0) return Fail(ERROR_INVALID_PARAMETER);
  // Of the security flags only the certificate checks can be given up.
  *slot.number = option == WINHTTP_OPTION_SECURITY_FLAGS ? value & kIgnorableCertificateChecks : value;
  return ERROR_SUCCESS;
}

DWORD WinHttpSetOption(HINTERNET handle, DWORD option, std::u16string_view text) {
  auto object = Handles().Find(handle);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  OptionSlot slot;
  if (const DWORD error = FindOption(*object, option, &slot)) return Fail(error);
  if (!slot.text) return Fail(ERROR_INVALID_PARAMETER);
  *slot.text = std::u16string(text);
  return ERROR_SUCCESS;
}

DWORD WinHttpQueryOption(HINTERNET handle, DWORD option, DWORD* value) {
  auto object = Handles().Find(handle);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  OptionSlot slot;
  if (const DWORD error = FindOption(*object, option, &slot)) return Fail(error);
  if (!slot.number || !value) return Fail(ERROR_INVALID_PARAMETER);
  *value = *slot.number;
  return ERROR_SUCCESS;
}

DWORD WinHttpQueryOption(HINTERNET handle, DWORD option, std::u16string* text) {
  auto object = Handles().Find(handle);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  OptionSlot slot;
  if (const DWORD error = FindOption(*object, option, &slot)) return Fail(error);
  if (!slot.text || !text) return Fail(ERROR_INVALID_PARAMETER);
  *text = *slot.text;
  return ERROR_SUCCESS;
}

DWORD WinHttpSendRequest(HINTERNET request, std::u16string_view headers, const void* optional, DWORD optionalLength,
                         DWORD totalLength) {
  std::shared_ptr<HttpRequest> object;
  if (const DWORD error = Lookup(request, HttpKind::kRequest, &object)) return Fail(error);
  if (optionalLength > totalLength || (optionalLength && !optional)) return Fail(ERROR_INVALID_PARAMETER);
  HttpHeaderList extra;
  if (const DWORD error = ParseHeaderLines(headers, &extra)) return Fail(error);
  std::lock_guard busy(object->busy);
  object->transfer.reset();
  object->transfer = std::make_unique<HttpTransfer>(MakeAttempt(*object, extra, optional, optionalLength, totalLength),
                                                    object->multi, object->closed);
  return Result(object->transfer->Start());
}

DWORD WinHttpWriteData(HINTERNET request, const void* data, DWORD length, DWORD* written) {
  if (!written || (length && !data)) return Fail(ERROR_INVALID_PARAMETER);
  *written = 0;
  return OnTransfer(request, [&](HttpTransfer& transfer) { return transfer.Write(data, length, written); });
}

DWORD WinHttpReceiveResponse(HINTERNET request) {
  return OnTransfer(request, [&](HttpTransfer& transfer) { return transfer.ReceiveResponse(); });
}

DWORD WinHttpQueryHeaders(HINTERNET request, DWORD infoLevel, std::u16string_view name, void* buffer,
                          DWORD* bufferLength, DWORD* index) {
  std::shared_ptr<HttpRequest> object;
  if (const DWORD error = Lookup(request, HttpKind::kRequest, &object)) return Fail(error);
  if (!bufferLength) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard busy(object->busy);
  if (infoLevel & WINHTTP_QUERY_FLAG_REQUEST_HEADERS)
    return Result(QueryHead(RequestHead(object->verb, object->path, object->version, object->headers), infoLevel, name,
                            buffer, bufferLength, index));
  const HttpMessageHead* response = object->transfer ? object->transfer->Response() : nullptr;
  if (!response) return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  return Result(QueryHead(*response, infoLevel, name, buffer, bufferLength, index));
}

DWORD WinHttpQueryDataAvailable(HINTERNET request, DWORD* available) {
  if (!available) return Fail(ERROR_INVALID_PARAMETER);
  *available = 0;
  return OnTransfer(request, [&](HttpTransfer& transfer) { return transfer.QueryDataAvailable(available); });
}

DWORD WinHttpReadData(HINTERNET request, void* buffer, DWORD length, DWORD* read) {
  if (!read || (length && !buffer)) return Fail(ERROR_INVALID_PARAMETER);
  *read = 0;
  return OnTransfer(request, [&](HttpTransfer& transfer) { return transfer.Read(buffer, length, read); });
}

DWORD WinHttpCloseHandle(HINTERNET handle) {
  auto object = Handles().Remove(handle);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  if (object->kind == HttpKind::kRequest) {
    // A call waiting on the request ends; the transfer goes with the last
    // holder of the request.
    auto& request = static_cast<HttpRequest&>(*object);
    request.closed = true;
    request.multi.Wake();
  }
  return ERROR_SUCCESS;
}

}  // namespace kv
