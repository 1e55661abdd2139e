// A download through the HTTP seam from nginx, the real server.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/http.h"
#include "tests/support/http_exchange.h"
#include "tests/servers/http_test_server.h"
#include "tests/servers/nginx_server.h"

namespace kv::test {
namespace {

TEST(HttpNginxTest, DownloadsAFileWholeAndInRanges) {
  if (!NginxServer::Available()) GTEST_SKIP() << "nginx is not installed";
  char dir[] = "/tmp/kv-nginx-root-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string content = TestBytes(0, 5u << 20);
  std::ofstream(std::string(dir) + "/file.bin", std::ios::binary) << content;
  {
    NginxServer nginx(dir);
    HttpExchange get(RequestTo(nginx.Port(), u"/file.bin"));
    ASSERT_EQ(get.Run(), 0u);
    EXPECT_EQ(get.Status(), 200u);
    EXPECT_EQ(get.Header(WINHTTP_QUERY_CONTENT_LENGTH), std::to_string(content.size()));
    EXPECT_FALSE(get.Header(WINHTTP_QUERY_LAST_MODIFIED).empty());
    DWORD error = 1;
    EXPECT_TRUE(get.ReadBody(&error) == content);
    EXPECT_EQ(error, 0u);

    HttpExchange range(RequestTo(nginx.Port(), u"/file.bin"));
    ASSERT_EQ(WinHttpAddRequestHeaders(range.request(), u"Range: bytes=4000000-", WINHTTP_ADDREQ_FLAG_ADD), 0u);
    ASSERT_EQ(range.Run(), 0u);
    EXPECT_EQ(range.Status(), 206u);
    EXPECT_TRUE(range.ReadBody(&error) == content.substr(4000000));
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kv::test
