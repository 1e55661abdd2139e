#include "tests/support/http_exchange.h"

#include "platform/unicode.h"

namespace kv::test {

HttpExchange::HttpExchange(const HttpExchangeOptions& o) {
  const DWORD access = o.proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  openError_ = WinHttpOpen(u"KelvaneAgent", access, o.proxy, o.bypass, 0, &session_);
  if (!openError_) openError_ = WinHttpConnect(session_, o.server, static_cast<INTERNET_PORT>(o.port), &connection_);
  const DWORD flags = WINHTTP_FLAG_REFRESH | (o.secure ? WINHTTP_FLAG_SECURE : 0);
  if (!openError_) openError_ = WinHttpOpenRequest(connection_, o.verb, o.path, {}, {}, {u"*/*"}, flags, &request_);
  if (!openError_) openError_ = WinHttpSetOption(request_, WINHTTP_OPTION_RECEIVE_TIMEOUT, o.receiveTimeoutMs);
  if (!openError_) openError_ = WinHttpSetOption(request_, WINHTTP_OPTION_SEND_TIMEOUT, o.sendTimeoutMs);
  if (!openError_ && o.securityFlags)
    openError_ = WinHttpSetOption(request_, WINHTTP_OPTION_SECURITY_FLAGS, o.securityFlags);
  if (!openError_ && !o.proxyUser.empty())
    openError_ = WinHttpSetOption(request_, WINHTTP_OPTION_PROXY_USERNAME, o.proxyUser);
  if (!openError_ && !o.proxyPassword.empty())
    openError_ = WinHttpSetOption(request_, WINHTTP_OPTION_PROXY_PASSWORD, o.proxyPassword);
}

HttpExchange::~HttpExchange() {
  for (HINTERNET handle : {request_, connection_, session_})
    if (handle) WinHttpCloseHandle(handle);
}

DWORD HttpExchange::Send(const std::string& body) const {
  const auto length = static_cast<DWORD>(body.size());
  return WinHttpSendRequest(request_, {}, body.data(), length, length);
}

DWORD HttpExchange::Run(const std::string& body) const {
  if (const DWORD error = Send(body)) return error;
  return WinHttpReceiveResponse(request_);
}

DWORD HttpExchange::Status() const {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (WinHttpQueryHeaders(request_, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, {}, &status, &size, nullptr))
    return 0;
  return status;
}

std::string HttpExchange::Header(DWORD level, std::u16string_view name) const {
  DWORD size = 0;
  if (WinHttpQueryHeaders(request_, level, name, nullptr, &size, nullptr) != ERROR_INSUFFICIENT_BUFFER) return {};
  std::u16string text(size / 2, u'\0');
  if (WinHttpQueryHeaders(request_, level, name, text.data(), &size, nullptr)) return {};
  text.resize(size / 2);
  return Utf16ToUtf8(text);
}

std::string HttpExchange::ReadBody(DWORD* error) const {
  std::string body;
  for (;;) {
    DWORD available = 0;
    if ((*error = WinHttpQueryDataAvailable(request_, &available)) != 0 || available == 0) return body;
    const std::size_t old = body.size();
    body.resize(old + available);
    DWORD read = 0;
    if ((*error = WinHttpReadData(request_, body.data() + old, available, &read)) != 0) {
      body.resize(old);
      return body;
    }
    body.resize(old + read);
    if (read == 0) return body;
  }
}

}  // namespace kv::test
