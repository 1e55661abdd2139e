// WinHTTP's proxy and bypass lists.

#include <gtest/gtest.h>

#include "platform/posix/http_proxy.h"

namespace kv::posix {
namespace {

TEST(HttpProxyListTest, ChoosesTheEntryForTheScheme) {
  EXPECT_EQ(ChooseProxy("proxy.corp", false), "proxy.corp:80");
  EXPECT_EQ(ChooseProxy("proxy.corp:8080", true), "proxy.corp:8080");
  EXPECT_EQ(ChooseProxy("http=web:81;https=secure:8443", false), "web:81");
  EXPECT_EQ(ChooseProxy("http=web:81;https=secure:8443", true), "secure:8443");
  EXPECT_EQ(ChooseProxy("http=web:81 all:3128", true), "all:3128");
  EXPECT_EQ(ChooseProxy("http://proxy.corp:3128/", false), "proxy.corp:3128");
  EXPECT_EQ(ChooseProxy("https=secure:8443", false), "");
  EXPECT_EQ(ChooseProxy("[::1]", false), "[::1]:80");
}

TEST(HttpProxyListTest, BypassesLocalNamesAndListedHosts) {
  EXPECT_TRUE(BypassesProxy("<local>", "server", 80, false));
  EXPECT_FALSE(BypassesProxy("<local>", "server.corp", 80, false));
  EXPECT_FALSE(BypassesProxy("<local>", "127.0.0.1", 80, false));
  EXPECT_TRUE(BypassesProxy("*.corp;<local>", "Server.CORP", 443, true));
  EXPECT_TRUE(BypassesProxy("10.*", "10.1.2.3", 80, false));
  EXPECT_TRUE(BypassesProxy("server.corp:8080", "server.corp", 8080, false));
  EXPECT_FALSE(BypassesProxy("server.corp:8080", "server.corp", 80, false));
  EXPECT_TRUE(BypassesProxy("https://server.corp", "server.corp", 443, true));
  EXPECT_FALSE(BypassesProxy("https://server.corp", "server.corp", 80, false));
  EXPECT_FALSE(BypassesProxy("", "server", 80, false));
}

}  // namespace
}  // namespace kv::posix
