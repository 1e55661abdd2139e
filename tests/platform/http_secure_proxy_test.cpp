// HTTPS certificate checks relaxed only as the security flags say, and
// requests through a proxy that wants Basic credentials.

#include <gtest/gtest.h>

#include "platform/http.h"
#include "tests/support/http_exchange.h"
#include "tests/servers/http_test_server.h"

namespace kv::test {
namespace {

constexpr DWORD kUnknownCa = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
constexpr DWORD kName = SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
constexpr DWORD kDate = SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
constexpr DWORD kUsage = SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;

struct CertificateCase {
  const char* name;
  CertificateTraits certificate;
  DWORD enough;     // the flags that let the request through
  DWORD notEnough;  // flags that still leave one check failing
};

class HttpCertificateTest : public ::testing::TestWithParam<CertificateCase> {};

TEST_P(HttpCertificateTest, PassesOnlyWithTheFlagsForItsFlaws) {
  const CertificateCase& c = GetParam();
  HttpTestServerOptions serverOptions;
  serverOptions.tls = true;
  serverOptions.certificate = c.certificate;
  HttpTestServer server(serverOptions);
  server.Put("/secret", "over tls");
  for (const DWORD flags : {0u, c.notEnough}) {
    HttpExchangeOptions options = RequestTo(server.TlsPort(), u"/secret");
    options.secure = true;
    options.securityFlags = flags;
    EXPECT_EQ(HttpExchange(options).Send(), ERROR_WINHTTP_SECURE_FAILURE) << "flags " << flags;
  }
  HttpExchangeOptions options = RequestTo(server.TlsPort(), u"/secret");
  options.secure = true;
  options.securityFlags = c.enough;
  HttpExchange get(options);
  ASSERT_EQ(get.Run(), 0u);
  DWORD error = 1;
  EXPECT_EQ(get.ReadBody(&error), "over tls");
  EXPECT_EQ(server.Requests().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Flaws, HttpCertificateTest,
    ::testing::Values(
        CertificateCase{"SelfSignedForAnotherHost", {"other.example", -1, 30, false}, kUnknownCa | kName, kUnknownCa},
        CertificateCase{
            "SelfSignedExpired", {"127.0.0.1", -30, -1, false}, kUnknownCa | kDate, kUnknownCa | kName | kUsage},
        CertificateCase{
            "SelfSignedForClientsOnly", {"127.0.0.1", -1, 30, true}, kUnknownCa | kUsage, kUnknownCa | kName | kDate}),
    [](const auto& info) { return std::string(info.param.name); });

class HttpProxyTest : public ::testing::Test {
 protected:
  HttpProxyTest() : server_(Options()) { server_.Put("/doc", "through the proxy"); }
  static HttpTestServerOptions Options() {
    HttpTestServerOptions options;
    options.tls = true;
    options.proxy = true;
    options.proxyUser = "agent";
    options.proxyPassword = "s3cret";
    return options;
  }
  HttpExchangeOptions Via(bool secure, std::u16string user, std::u16string password) const {
    HttpExchangeOptions options = RequestTo(secure ? server_.TlsPort() : server_.Port(), u"/doc");
    options.secure = secure;
    options.securityFlags = secure ? 0x3300 : 0;
    const std::string port = std::to_string(server_.ProxyPort());
    options.proxy = u"127.0.0.1:" + std::u16string(port.begin(), port.end());
    options.bypass = u"<local>";
    options.proxyUser = std::move(user);
    options.proxyPassword = std::move(password);
    return options;
  }
  HttpTestServer server_;
};

TEST_F(HttpProxyTest, CredentialsGetThroughToTheServer) {
  for (const bool secure : {false, true}) {
    HttpExchange get(Via(secure, u"agent", u"s3cret"));
    ASSERT_EQ(get.Run(), 0u) << secure;
    EXPECT_EQ(get.Status(), 200u);
    DWORD error = 1;
    EXPECT_EQ(get.ReadBody(&error), "through the proxy");
  }
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 4u);  // each through the proxy, then at the server
  EXPECT_TRUE(requests[0].viaProxy);
  EXPECT_EQ(requests[0].target, "http://127.0.0.1:" + std::to_string(server_.Port()) + "/doc");
  EXPECT_EQ(requests[0].Header("Proxy-Authorization"), "Basic YWdlbnQ6czNjcmV0");
  EXPECT_FALSE(requests[1].viaProxy);
  EXPECT_TRUE(requests[2].viaProxy);
  EXPECT_EQ(requests[2].method, "CONNECT");
  EXPECT_FALSE(requests[3].HasHeader("Proxy-Authorization"));  // inside the tunnel
}

TEST_F(HttpProxyTest, MissingOrWrongCredentialsAre407) {
  for (const bool secure : {false, true}) {
    for (const auto& password : {std::u16string(), std::u16string(u"wrong")}) {
      HttpExchange get(Via(secure, password.empty() ? u"" : u"agent", password));
      ASSERT_EQ(get.Run(), 0u);
      EXPECT_EQ(get.Status(), 407u);
      EXPECT_EQ(get.Header(WINHTTP_QUERY_PROXY_AUTHENTICATE), "Basic realm=\"kv-test\"");
      DWORD error = 1;
      EXPECT_EQ(get.ReadBody(&error), "");
      EXPECT_EQ(error, 0u);
    }
  }
}

TEST_F(HttpProxyTest, TheBypassListSendsHostsDirect) {
  HttpExchangeOptions local = Via(false, u"", u"");
  local.server = u"localhost";  // no dot: <local>
  HttpExchange direct(local);
  ASSERT_EQ(direct.Run(), 0u);
  EXPECT_EQ(direct.Status(), 200u);
  HttpExchangeOptions listed = Via(false, u"", u"");
  listed.bypass = u"*.example; 127.0.0.*";
  HttpExchange alsoDirect(listed);
  ASSERT_EQ(alsoDirect.Run(), 0u);
  EXPECT_EQ(alsoDirect.Status(), 200u);
  for (const auto& request : server_.Requests()) EXPECT_FALSE(request.viaProxy);
}

}  // namespace
}  // namespace kv::test
