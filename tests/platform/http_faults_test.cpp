// What a misbehaving server does to a request through the HTTP seam: each
// fault ends in the WinHTTP code a caller can act on, at the call where it
// shows, with the bytes that came before it still handed out.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/http.h"
#include "tests/support/http_exchange.h"
#include "tests/servers/http_test_server.h"

namespace kv::test {
namespace {

// Where a fault is reported.
enum class Stage { kSend, kReceive, kBody, kNone };

struct Fault {
  const char* name;
  std::u16string path;
  Stage stage;
  DWORD code;
  std::size_t bodyBytes;  // read before the failure (or in all, kNone)
};

class HttpFaultTest : public ::testing::TestWithParam<Fault> {};

TEST_P(HttpFaultTest, EndsWithItsCode) {
  const Fault& fault = GetParam();
  HttpTestServer server;
  HttpExchangeOptions options = RequestTo(server.Port(), fault.path);
  options.receiveTimeoutMs = 400;
  HttpExchange get(options);
  ASSERT_EQ(get.OpenError(), 0u);
  const DWORD sent = get.Send();
  if (fault.stage == Stage::kSend) {
    EXPECT_EQ(sent, fault.code);
    return;
  }
  ASSERT_EQ(sent, 0u);
  const DWORD received = WinHttpReceiveResponse(get.request());
  if (fault.stage == Stage::kReceive) {
    EXPECT_EQ(received, fault.code);
    return;
  }
  ASSERT_EQ(received, 0u);
  DWORD error = 0;
  const std::string body = get.ReadBody(&error);
  EXPECT_EQ(error, fault.stage == Stage::kBody ? fault.code : 0u);
  EXPECT_EQ(body.size(), fault.bodyBytes);
  EXPECT_EQ(body, TestBytes(0, body.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Server, HttpFaultTest,
    ::testing::Values(
        Fault{"NoResponse", u"/bytes/10?fault=noresponse", Stage::kReceive, ERROR_WINHTTP_INVALID_SERVER_RESPONSE, 0},
        Fault{"GarbledStatusLine", u"/bytes/10?fault=garbled", Stage::kReceive, ERROR_WINHTTP_INVALID_SERVER_RESPONSE,
              0},
        Fault{"StatusLineOf100KB", u"/bytes/10?fault=longstatus&n=100000", Stage::kReceive,
              ERROR_WINHTTP_HEADER_SIZE_OVERFLOW, 0},
        Fault{"StatusLineOf300KB", u"/bytes/10?fault=longstatus&n=300000", Stage::kReceive,
              ERROR_WINHTTP_HEADER_SIZE_OVERFLOW, 0},
        Fault{"EndlessHeaders", u"/bytes/10?fault=endlessheaders", Stage::kReceive, ERROR_WINHTTP_HEADER_SIZE_OVERFLOW,
              0},
        Fault{"ResetBeforeAnswer", u"/bytes/10?fault=resetnow", Stage::kReceive, ERROR_WINHTTP_CONNECTION_ERROR, 0},
        Fault{"StallBeforeHeaders", u"/bytes/10?stall=headers&ms=5000", Stage::kReceive, ERROR_WINHTTP_TIMEOUT, 0},
        Fault{"ClosedMidBody", u"/bytes/100000?fault=close&at=5000", Stage::kBody, ERROR_WINHTTP_CONNECTION_ERROR,
              5000},
        Fault{"StallMidBody", u"/bytes/100000?stall=body&at=5000&ms=5000", Stage::kBody, ERROR_WINHTTP_TIMEOUT, 5000},
        Fault{"LengthLongerThanBody", u"/bytes/100000?length=long&by=100", Stage::kBody, ERROR_WINHTTP_CONNECTION_ERROR,
              100000},
        Fault{"LengthShorterThanBody", u"/bytes/100000?length=short&by=100", Stage::kNone, 0, 99900},
        Fault{"NoLengthEndsWithTheConnection", u"/bytes/100000?length=none", Stage::kNone, 0, 100000},
        Fault{"Chunked", u"/bytes/100000?chunked=1", Stage::kNone, 0, 100000},
        Fault{"ChunkedBroken", u"/bytes/100000?chunked=bad&at=65536", Stage::kBody,
              ERROR_WINHTTP_INVALID_SERVER_RESPONSE, 65536},
        Fault{"NotModified", u"/bytes/10?status=304", Stage::kNone, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HttpFaultTest, ResetMidBodyIsAConnectionError) {
  HttpTestServer server;
  HttpExchange get(RequestTo(server.Port(), u"/bytes/1000000?fault=reset&at=300000"));
  ASSERT_EQ(get.Run(), 0u);
  DWORD error = 0;
  const std::string body = get.ReadBody(&error);
  EXPECT_EQ(error, ERROR_WINHTTP_CONNECTION_ERROR);
  EXPECT_LE(body.size(), 300000u);
}

// A socket bound on loopback that nobody serves: without listen() a
// connection is refused; with it the kernel completes connections, and
// nobody reads or answers.
class SilentSocket {
 public:
  explicit SilentSocket(bool listen) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (listen) ::listen(fd_, 4);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~SilentSocket() { ::close(fd_); }
  unsigned Port() const { return port_; }

 private:
  int fd_;
  unsigned port_;
};

TEST(HttpFaultTest, ServersThatCannotBeReached) {
  const SilentSocket closed(false);
  EXPECT_EQ(HttpExchange(RequestTo(closed.Port(), u"/")).Send(), ERROR_WINHTTP_CANNOT_CONNECT);

  HttpExchangeOptions unknown;
  unknown.server = u"no-such-host.invalid";
  unknown.port = 80;
  EXPECT_EQ(HttpExchange(unknown).Send(), ERROR_WINHTTP_NAME_NOT_RESOLVED);
}

TEST(HttpFaultTest, StatusCodesAreResponsesNotFailures) {
  HttpTestServer server;
  struct Case {
    std::u16string path;
    DWORD status;
  };
  for (const Case& c :
       {Case{u"/bytes/10?status=407", 407}, Case{u"/bytes/10?status=500", 500}, Case{u"/missing", 404}}) {
    HttpExchange get(RequestTo(server.Port(), c.path));
    ASSERT_EQ(get.Run(), 0u);
    EXPECT_EQ(get.Status(), c.status);
    DWORD error = 1;
    get.ReadBody(&error);
    EXPECT_EQ(error, 0u);
  }
}

TEST(HttpFaultTest, RangeAnswersAreHandedOnAsTheServerGaveThem) {
  HttpTestServer server;
  struct Case {
    std::u16string query;
    DWORD status;
    std::string contentRange;
    std::uint64_t firstByte;
  };
  for (const Case& c : {Case{u"", 206, "bytes 1000-99999/100000", 1000}, Case{u"?range=ignore", 200, "", 0},
                        Case{u"?range=wrongstart", 206, "bytes 1001-99999/100000", 1001}}) {
    HttpExchange get(RequestTo(server.Port(), u"/bytes/100000" + c.query));
    ASSERT_EQ(WinHttpAddRequestHeaders(get.request(), u"Range: bytes=1000-100000", WINHTTP_ADDREQ_FLAG_ADD), 0u);
    ASSERT_EQ(get.Run(), 0u);
    EXPECT_EQ(get.Status(), c.status);
    EXPECT_EQ(get.Header(WINHTTP_QUERY_CONTENT_RANGE), c.contentRange);
    DWORD error = 1;
    const std::string body = get.ReadBody(&error);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(body, TestBytes(c.firstByte, 100000 - c.firstByte));
  }
}

TEST(HttpFaultTest, SendAndResponseTimeOuts) {
  const SilentSocket silent(true);
  HttpExchangeOptions options = RequestTo(silent.Port(), u"/", u"POST");
  options.receiveTimeoutMs = 300;
  options.sendTimeoutMs = 300;
  {
    // A body the server never takes: the writes stall once the buffers are full.
    HttpExchange post(options);
    ASSERT_EQ(WinHttpSendRequest(post.request(), {}, nullptr, 0, 256u << 20), 0u);
    const std::string chunk(1 << 20, 'x');
    DWORD error = 0;
    for (int i = 0; i < 256 && !error; ++i) {
      DWORD written = 0;
      error = WinHttpWriteData(post.request(), chunk.data(), static_cast<DWORD>(chunk.size()), &written);
    }
    EXPECT_EQ(error, ERROR_WINHTTP_TIMEOUT);
  }
  {
    // A request sent, and no answer.
    options.verb = u"GET";
    HttpExchange get(options);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(get.Run(), ERROR_WINHTTP_TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  }
}

TEST(HttpFaultTest, ASlowReaderHoldsTheServerBack) {
  HttpTestServer server;
  constexpr std::uint64_t kSize = 128ull << 20;
  HttpExchange get(RequestTo(server.Port(), u"/bytes/134217728"));
  ASSERT_EQ(get.Run(), 0u);
  char byte = 0;
  DWORD read = 0;
  ASSERT_EQ(WinHttpReadData(get.request(), &byte, 1, &read), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  // What left the server sits in the receive buffer and the sockets' buffers.
  EXPECT_LT(server.BodyBytesSent(), 48ull << 20);

  std::uint64_t total = read;
  std::string piece;
  DWORD error = 0;
  for (;;) {
    DWORD available = 0;
    ASSERT_EQ(error = WinHttpQueryDataAvailable(get.request(), &available), 0u);
    if (available == 0) break;
    EXPECT_LE(available, 4u << 20);
    piece.resize(available);
    ASSERT_EQ(WinHttpReadData(get.request(), piece.data(), available, &read), 0u);
    ASSERT_EQ(piece.substr(0, read), TestBytes(total, read));
    total += read;
  }
  EXPECT_EQ(total, kSize);
}

TEST(HttpFaultTest, AnEndlessBodyIsReadInBoundedPieces) {
  HttpTestServer server;
  HttpExchange get(RequestTo(server.Port(), u"/bytes/10?fault=endlessbody"));
  ASSERT_EQ(get.Run(), 0u);
  std::uint64_t total = 0;
  std::string piece;
  while (total < (32u << 20)) {
    DWORD available = 0;
    ASSERT_EQ(WinHttpQueryDataAvailable(get.request(), &available), 0u);
    ASSERT_GT(available, 0u);
    ASSERT_LE(available, 4u << 20);
    piece.resize(available);
    DWORD read = 0;
    ASSERT_EQ(WinHttpReadData(get.request(), piece.data(), available, &read), 0u);
    total += read;
  }
}

}  // namespace
}  // namespace kv::test
