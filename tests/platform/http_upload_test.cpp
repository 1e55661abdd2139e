// Request bodies: streamed to the server as they are written, never
// gathered first, and held to the length announced.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/http.h"
#include "tests/support/http_exchange.h"
#include "tests/servers/http_test_server.h"

namespace kv::test {
namespace {

bool WaitUntil(const HttpTestServer& server, std::uint64_t bytes) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (server.RequestBodyBytesReceived() < bytes) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST(HttpUploadTest, EachWriteReachesTheServerBeforeTheNext) {
  HttpTestServer server;
  HttpExchange post(RequestTo(server.Port(), u"/echo", u"POST"));
  const std::string head = "head:";
  const std::string chunk = TestBytes(0, 10000);
  const DWORD total = static_cast<DWORD>(head.size() + 3 * chunk.size());
  ASSERT_EQ(WinHttpSendRequest(post.request(), u"Content-Type: multipart/form-data; filesize=\"30005\"\r\n",
                               head.data(), static_cast<DWORD>(head.size()), total),
            0u);
  ASSERT_TRUE(WaitUntil(server, head.size()));
  // Not all of the body is there yet: the answer cannot be waited for.
  EXPECT_EQ(WinHttpReceiveResponse(post.request()), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  for (int i = 1; i <= 3; ++i) {
    DWORD written = 0;
    ASSERT_EQ(WinHttpWriteData(post.request(), chunk.data(), static_cast<DWORD>(chunk.size()), &written), 0u);
    EXPECT_EQ(written, chunk.size());
    EXPECT_TRUE(WaitUntil(server, head.size() + i * chunk.size())) << "write " << i;
  }
  DWORD written = 0;
  EXPECT_EQ(WinHttpWriteData(post.request(), "x", 1, &written), ERROR_INVALID_PARAMETER);
  ASSERT_EQ(WinHttpReceiveResponse(post.request()), 0u);
  DWORD error = 1;
  EXPECT_EQ(post.ReadBody(&error), head + chunk + chunk + chunk);
  const RecordedRequest sent = server.Requests().at(0);
  EXPECT_EQ(sent.Header("Content-Length"), "30005");
  EXPECT_EQ(sent.Header("Content-Type"), "multipart/form-data; filesize=\"30005\"");
}

TEST(HttpUploadTest, ABodyCutShortIsAFailureOfTheAnswer) {
  HttpTestServer server;
  HttpExchange post(RequestTo(server.Port(), u"/echo", u"POST"));
  ASSERT_EQ(WinHttpSendRequest(post.request(), {}, nullptr, 0, 100), 0u);
  DWORD written = 0;
  ASSERT_EQ(WinHttpWriteData(post.request(), "0123456789", 10, &written), 0u);
  EXPECT_NE(WinHttpReceiveResponse(post.request()), 0u);
}

}  // namespace
}  // namespace kv::test
