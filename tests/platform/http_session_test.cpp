// The HTTP seam against the test server: what goes out, what comes back,
// the header query protocol, handles and options.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/http.h"
#include "platform/last_error.h"
#include "tests/support/http_exchange.h"
#include "tests/servers/http_test_server.h"

namespace kv::test {
namespace {

TEST(HttpSessionTest, GetSendsWhatWinHttpSendsAndReadsTheAnswer) {
  HttpTestServer server;
  server.Put("/doc.xml", "<doc>hello</doc>");
  HttpExchange get(RequestTo(server.Port(), u"/doc.xml?x=1"));
  ASSERT_EQ(get.OpenError(), 0u);
  ASSERT_EQ(WinHttpAddRequestHeaders(get.request(), u"Connection: close", WINHTTP_ADDREQ_FLAG_ADD), 0u);
  ASSERT_EQ(get.Run(), 0u);
  EXPECT_EQ(get.Status(), 200u);
  EXPECT_EQ(get.Header(WINHTTP_QUERY_LAST_MODIFIED), kTestLastModified);
  EXPECT_EQ(get.Header(WINHTTP_QUERY_CUSTOM, u"server"), "kv-test");
  EXPECT_EQ(get.Header(WINHTTP_QUERY_STATUS_TEXT), "OK");
  EXPECT_EQ(get.Header(WINHTTP_QUERY_RAW_HEADERS_CRLF).rfind("HTTP/1.1 200 OK\r\nServer: kv-test\r\n", 0), 0u);
  DWORD error = 1;
  EXPECT_EQ(get.ReadBody(&error), "<doc>hello</doc>");
  EXPECT_EQ(error, 0u);

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const RecordedRequest& sent = requests[0];
  EXPECT_EQ(sent.method, "GET");
  EXPECT_EQ(sent.target, "/doc.xml?x=1");
  EXPECT_EQ(sent.Header("User-Agent"), "KelvaneAgent");
  EXPECT_EQ(sent.Header("Accept"), "*/*");
  EXPECT_EQ(sent.Header("Connection"), "close");
  EXPECT_EQ(sent.Header("Pragma"), "no-cache");
  EXPECT_EQ(sent.Header("Cache-Control"), "no-cache");
  EXPECT_EQ(sent.Header("Host"), "127.0.0.1:" + std::to_string(server.Port()));
  EXPECT_FALSE(sent.HasHeader("Content-Length"));
}

TEST(HttpSessionTest, PostSendsNoHeadersOfItsOwnBeyondTheLength) {
  HttpTestServer server;
  HttpExchange post(RequestTo(server.Port(), u"/echo", u"POST"));
  ASSERT_EQ(post.OpenError(), 0u);
  const std::string body("a\0b", 3);
  ASSERT_EQ(post.Run(body), 0u);
  DWORD error = 1;
  EXPECT_EQ(post.ReadBody(&error), body);
  const RecordedRequest sent = server.Requests().at(0);
  EXPECT_EQ(sent.Header("Content-Length"), "3");
  EXPECT_FALSE(sent.HasHeader("Content-Type"));
  EXPECT_FALSE(sent.HasHeader("Expect"));
  EXPECT_EQ(sent.body, body);
}

TEST(HttpSessionTest, QueryHeadersFollowsTheBufferProtocol) {
  HttpTestServer server;
  server.Put("/f", "12345");
  HttpExchange get(RequestTo(server.Port(), u"/f"));
  DWORD size = 0;
  // Before a response there are no response headers to ask for.
  EXPECT_EQ(WinHttpQueryHeaders(get.request(), WINHTTP_QUERY_LAST_MODIFIED, {}, nullptr, &size, nullptr),
            ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  ASSERT_EQ(get.Run(), 0u);

  // The size asked for includes the terminating NUL; the size told back does not.
  const std::u16string expected = u"Wed, 21 Oct 2015 07:28:00 GMT";
  size = 0;
  ASSERT_EQ(WinHttpQueryHeaders(get.request(), WINHTTP_QUERY_LAST_MODIFIED, {}, nullptr, &size, nullptr),
            ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(size, (expected.size() + 1) * 2);
  std::u16string text(expected.size() + 1, u'x');
  DWORD small = static_cast<DWORD>(expected.size() * 2);
  EXPECT_EQ(WinHttpQueryHeaders(get.request(), WINHTTP_QUERY_LAST_MODIFIED, {}, text.data(), &small, nullptr),
            ERROR_INSUFFICIENT_BUFFER);
  ASSERT_EQ(WinHttpQueryHeaders(get.request(), WINHTTP_QUERY_LAST_MODIFIED, {}, text.data(), &size, nullptr), 0u);
  EXPECT_EQ(size, expected.size() * 2);
  EXPECT_EQ(text, expected + u'\0');

  DWORD length = 0;
  size = sizeof length;
  ASSERT_EQ(WinHttpQueryHeaders(get.request(), WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER, {}, &length,
                                &size, nullptr),
            0u);
  EXPECT_EQ(length, 5u);
  size = sizeof length;
  EXPECT_EQ(WinHttpQueryHeaders(get.request(), WINHTTP_QUERY_CONTENT_RANGE | WINHTTP_QUERY_FLAG_NUMBER, {}, &length,
                                &size, nullptr),
            ERROR_WINHTTP_HEADER_NOT_FOUND);
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_HEADER_NOT_FOUND);
  // A text that is not a number.
  size = sizeof length;
  EXPECT_EQ(WinHttpQueryHeaders(get.request(), WINHTTP_QUERY_LAST_MODIFIED | WINHTTP_QUERY_FLAG_NUMBER, {}, &length,
                                &size, nullptr),
            ERROR_INVALID_DATA);
}

TEST(HttpSessionTest, RequestHeadersAreEditedAsWinHttpEditsThem) {
  HttpTestServer server;
  HttpExchange get(RequestTo(server.Port(), u"/bytes/1"));
  const HINTERNET request = get.request();
  EXPECT_EQ(WinHttpAddRequestHeaders(request, u"X-A: 1\r\nX-B: 2\r\n", WINHTTP_ADDREQ_FLAG_ADD), 0u);
  EXPECT_EQ(WinHttpAddRequestHeaders(request, u"X-A: 3", WINHTTP_ADDREQ_FLAG_ADD_IF_NEW),
            ERROR_WINHTTP_HEADER_ALREADY_EXISTS);
  EXPECT_EQ(WinHttpAddRequestHeaders(request, u"X-C: 4", WINHTTP_ADDREQ_FLAG_REPLACE), ERROR_WINHTTP_HEADER_NOT_FOUND);
  EXPECT_EQ(WinHttpAddRequestHeaders(request, u"X-B: 5", WINHTTP_ADDREQ_FLAG_REPLACE), 0u);
  EXPECT_EQ(WinHttpAddRequestHeaders(request, u"X-A: 6", WINHTTP_ADDREQ_FLAG_COALESCE_WITH_COMMA), 0u);
  EXPECT_EQ(WinHttpAddRequestHeaders(request, u"Pragma:", WINHTTP_ADDREQ_FLAG_REPLACE), 0u);
  EXPECT_EQ(WinHttpAddRequestHeaders(request, std::u16string_view(u"X-D: 7\0X-E: 8", 13), WINHTTP_ADDREQ_FLAG_ADD), 0u);
  EXPECT_EQ(WinHttpAddRequestHeaders(request, u"no colon here", WINHTTP_ADDREQ_FLAG_ADD), ERROR_WINHTTP_INVALID_HEADER);
  EXPECT_EQ(WinHttpAddRequestHeaders(request, u"X-D: 9", WINHTTP_ADDREQ_FLAG_ADD), 0u);

  // The second X-D, found by index.
  DWORD index = 1;
  char16_t text[16];
  DWORD size = sizeof text;
  ASSERT_EQ(WinHttpQueryHeaders(request, WINHTTP_QUERY_CUSTOM | WINHTTP_QUERY_FLAG_REQUEST_HEADERS, u"x-d", text, &size,
                                &index),
            0u);
  EXPECT_EQ(std::u16string(text), u"9");
  EXPECT_EQ(index, 2u);

  ASSERT_EQ(get.Run(), 0u);
  const RecordedRequest sent = server.Requests().at(0);
  EXPECT_EQ(sent.Header("X-A"), "1, 6");
  EXPECT_EQ(sent.Header("X-B"), "5");
  EXPECT_FALSE(sent.HasHeader("Pragma"));
  EXPECT_FALSE(sent.HasHeader("X-E"));  // after the NUL
  EXPECT_EQ(sent.Header("X-D"), "7");
}

TEST(HttpSessionTest, HandlesAreCheckedAndClosedOnce) {
  HINTERNET session = nullptr, connection = nullptr, request = nullptr;
  ASSERT_EQ(WinHttpOpen(u"agent", WINHTTP_ACCESS_TYPE_NO_PROXY, {}, {}, 0, &session), 0u);
  EXPECT_EQ(WinHttpOpen(u"agent", WINHTTP_ACCESS_TYPE_NAMED_PROXY, {}, {}, 0, &connection), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(connection, nullptr);
  EXPECT_EQ(WinHttpOpenRequest(session, u"GET", u"/", {}, {}, {}, 0, &request), ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
  ASSERT_EQ(WinHttpConnect(session, u"127.0.0.1", 1, &connection), 0u);
  ASSERT_EQ(WinHttpOpenRequest(connection, u"GET", u"/", {}, {}, {}, 0, &request), 0u);
  // Options where they belong.
  EXPECT_EQ(WinHttpSetOption(session, WINHTTP_OPTION_SECURITY_FLAGS, 0x3300), ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
  EXPECT_EQ(WinHttpSetOption(request, WINHTTP_OPTION_SECURE_PROTOCOLS, 0xA80), ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
  EXPECT_EQ(WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, 0xA80), 0u);
  EXPECT_EQ(WinHttpSetOption(request, 9999, 1), ERROR_WINHTTP_INVALID_OPTION);
  EXPECT_EQ(WinHttpSetOption(request, WINHTTP_OPTION_PROXY_USERNAME, 5), ERROR_INVALID_PARAMETER);
  DWORD flags = 1;
  ASSERT_EQ(WinHttpQueryOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags), 0u);
  EXPECT_EQ(flags, 0u);
  ASSERT_EQ(WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, 0x3300), 0u);
  ASSERT_EQ(WinHttpQueryOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags), 0u);
  EXPECT_EQ(flags, 0x3300u);
  // Nothing to read before a send.
  DWORD available = 0;
  EXPECT_EQ(WinHttpQueryDataAvailable(request, &available), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);

  // A parent may go first: the request keeps what it needs.
  EXPECT_EQ(WinHttpCloseHandle(session), 0u);
  EXPECT_EQ(WinHttpCloseHandle(session), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WinHttpSendRequest(request, {}, nullptr, 0, 0), ERROR_WINHTTP_CANNOT_CONNECT);
  EXPECT_EQ(WinHttpCloseHandle(request), 0u);
  EXPECT_EQ(WinHttpCloseHandle(connection), 0u);
  EXPECT_EQ(WinHttpCloseHandle(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WinHttpCloseHandle(reinterpret_cast<HINTERNET>(std::intptr_t{-1})), ERROR_INVALID_HANDLE);
}

TEST(HttpSessionTest, ARequestCanBeSentAgainOnTheSameHandle) {
  HttpTestServer server;
  HttpExchange get(RequestTo(server.Port(), u"/bytes/100?fault=close&at=10"));
  ASSERT_EQ(get.Run(), 0u);
  DWORD error = 0;
  EXPECT_EQ(get.ReadBody(&error).size(), 10u);
  EXPECT_EQ(error, ERROR_WINHTTP_CONNECTION_ERROR);
  ASSERT_EQ(get.Run(), 0u);
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST(HttpSessionTest, ClosingARequestEndsAWaitOnIt) {
  HttpTestServer server;
  HttpExchangeOptions options = RequestTo(server.Port(), u"/bytes/100?stall=body&at=10&ms=20000");
  options.receiveTimeoutMs = 30000;
  HttpExchange get(options);
  ASSERT_EQ(get.Run(), 0u);
  DWORD error = 0;
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(WinHttpCloseHandle(get.request()), 0u);
  });
  const auto start = std::chrono::steady_clock::now();
  get.ReadBody(&error);
  closer.join();
  EXPECT_EQ(error, ERROR_WINHTTP_OPERATION_CANCELLED);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace kv::test
