#pragma once
// A request through the HTTP seam as the tests make them: open, send,
// receive, read, with every handle closed at the end.

#include <string>

#include "platform/http.h"

namespace kv::test {

struct HttpExchangeOptions {
  std::u16string server = u"127.0.0.1";
  unsigned port = 0;
  std::u16string path = u"/";
  std::u16string verb = u"GET";
  bool secure = false;
  DWORD securityFlags = 0;
  std::u16string proxy;  // named proxy, empty for none
  std::u16string bypass;
  std::u16string proxyUser;
  std::u16string proxyPassword;
  DWORD receiveTimeoutMs = 10000;
  DWORD sendTimeoutMs = 10000;
};

inline HttpExchangeOptions RequestTo(unsigned port, std::u16string path, std::u16string verb = u"GET") {
  HttpExchangeOptions options;
  options.port = port;
  options.path = std::move(path);
  options.verb = std::move(verb);
  return options;
}

class HttpExchange {
 public:
  explicit HttpExchange(const HttpExchangeOptions& options);
  ~HttpExchange();
  HttpExchange(const HttpExchange&) = delete;
  HttpExchange& operator=(const HttpExchange&) = delete;

  // The first failure of opening the handles, 0 when all opened.
  DWORD OpenError() const { return openError_; }
  HINTERNET request() const { return request_; }
  HINTERNET session() const { return session_; }

  DWORD Send(const std::string& body = {}) const;
  // Send, then receive.
  DWORD Run(const std::string& body = {}) const;
  DWORD Status() const;
  // A response header as UTF-8, empty when absent.
  std::string Header(DWORD level, std::u16string_view name = {}) const;
  // Reads the body to its end or to the first failure (its code in *error).
  std::string ReadBody(DWORD* error) const;

 private:
  HINTERNET session_ = nullptr;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
  DWORD openError_ = 0;
};

}  // namespace kv::test
