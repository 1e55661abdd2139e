// The HTTP seam against a real server: the emulated machine's libcurl here,
// WinHTTP in the Windows builds. The Windows builds run under Wine with the
// project's test server named by KV_TEST_HTTP_PORT (and its proxy by
// KV_TEST_HTTP_PROXY_PORT); without them a test server is started here.
// Where Wine's WinHTTP does what Windows' does not, the case says so and is
// skipped alone.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/library.h"
#include "tests/support/http_exchange.h"

#if !defined(_WIN32)
#include "tests/servers/http_test_server.h"
#endif

namespace kv {
namespace {

using test::HttpExchange;
using test::HttpExchangeOptions;

unsigned PortFrom(const char* variable) {
  const char* text = std::getenv(variable);
  return text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 0;
}

// The server the tests ask, and its proxy.
class Server {
 public:
  static Server& Get() {
    static Server server;
    return server;
  }
  unsigned port() const { return port_; }
  unsigned proxyPort() const { return proxyPort_; }

 private:
  Server() : port_(PortFrom("KV_TEST_HTTP_PORT")), proxyPort_(PortFrom("KV_TEST_HTTP_PROXY_PORT")) {
#if !defined(_WIN32)
    if (port_ == 0) {
      test::HttpTestServerOptions options;
      options.proxy = true;
      own_ = std::make_unique<test::HttpTestServer>(options);
      port_ = own_->Port();
      proxyPort_ = own_->ProxyPort();
    }
#endif
  }
#if !defined(_WIN32)
  std::unique_ptr<test::HttpTestServer> own_;
#endif
  unsigned port_;
  unsigned proxyPort_;
};

// Whether the program runs under Wine (its ntdll says so).
bool UnderWine() {
#if defined(_WIN32)
  Library ntdll;
  return LoadLibraryW(u"ntdll.dll", &ntdll) == ERROR_SUCCESS && ntdll.GetProcAddress("wine_get_version");
#else
  return false;
#endif
}

class HttpBackend : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Server::Get().port() == 0) GTEST_SKIP() << "no test server: KV_TEST_HTTP_PORT is not set";
  }
  static HttpExchangeOptions To(const std::u16string& path) { return test::RequestTo(Server::Get().port(), path); }
};

TEST_F(HttpBackend, StatusHeadersAndBody) {
  HttpExchange exchange(To(u"/bytes/100000"));
  ASSERT_EQ(exchange.OpenError(), 0u);
  ASSERT_EQ(exchange.Run(), 0u);
  EXPECT_EQ(exchange.Status(), 200u);
  EXPECT_EQ(exchange.Header(WINHTTP_QUERY_CONTENT_LENGTH), "100000");
  DWORD error = 0;
  const std::string body = exchange.ReadBody(&error);
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(body.size(), 100000u);

  HttpExchange missing(To(u"/nothing-here"));
  ASSERT_EQ(missing.Run(), 0u);
  EXPECT_EQ(missing.Status(), 404u);
  HttpExchange failing(To(u"/bytes/10?status=500"));
  ASSERT_EQ(failing.Run(), 0u);
  EXPECT_EQ(failing.Status(), 500u);
}

TEST_F(HttpBackend, ARefusedConnectionAndAStalledBodyAnswerWithTheirCodes) {
  HttpExchange refused(test::RequestTo(1, u"/"));
  ASSERT_EQ(refused.OpenError(), 0u);
  EXPECT_EQ(refused.Run(), ERROR_WINHTTP_CANNOT_CONNECT);

  HttpExchangeOptions options = To(u"/bytes/1000?stall=body&at=100&ms=5000");
  options.receiveTimeoutMs = 500;
  HttpExchange stalled(options);
  ASSERT_EQ(stalled.Run(), 0u);
  DWORD error = 0;
  const std::string body = stalled.ReadBody(&error);
  EXPECT_EQ(error, ERROR_WINHTTP_TIMEOUT);
  EXPECT_LT(body.size(), 1000u);
}

TEST_F(HttpBackend, ABodyCutShortIsAFailure) {
  if (UnderWine()) GTEST_SKIP() << "Wine's WinHTTP ends a body cut short as if it were complete";
  HttpExchange cut(To(u"/bytes/1000?fault=close&at=500"));
  ASSERT_EQ(cut.Run(), 0u);
  DWORD error = 0;
  const std::string body = cut.ReadBody(&error);
  EXPECT_EQ(error, ERROR_WINHTTP_CONNECTION_ERROR);
  EXPECT_LT(body.size(), 1000u);
}

TEST_F(HttpBackend, ARequestGoesThroughANamedProxy) {
  if (Server::Get().proxyPort() == 0) GTEST_SKIP() << "no proxy: KV_TEST_HTTP_PROXY_PORT is not set";
  // Named otherwise than the server: Wine's WinHTTP names only the path to a
  // proxy on the server's own host name.
  HttpExchangeOptions options = To(u"/bytes/100");
  const std::string proxy = "localhost:" + std::to_string(Server::Get().proxyPort());
  options.proxy = std::u16string(proxy.begin(), proxy.end());
  HttpExchange exchange(options);
  ASSERT_EQ(exchange.OpenError(), 0u);
  ASSERT_EQ(exchange.Run(), 0u);
  EXPECT_EQ(exchange.Status(), 200u);
  DWORD error = 0;
  EXPECT_EQ(exchange.ReadBody(&error).size(), 100u);
  EXPECT_EQ(error, 0u);
}

}  // namespace
}  // namespace kv
