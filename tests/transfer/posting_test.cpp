// Posting buffers and files to the test server.

#include "transfer/posting.h"

#include <gtest/gtest.h>

#include "platform/unicode.h"
#include "tests/transfer/transfer_fixture.h"

namespace kv {
namespace {

using test::RecordedRequest;

class Posting : public test::TransferTest {
 protected:
  RecordedRequest OnlyRequest() {
    const auto requests = server.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? RecordedRequest() : requests.back();
  }
};

TEST_F(Posting, TextIsSentUpToItsFirstNulAndTheReplyComesBack) {
  const std::string data("hello\0world", 11);
  std::string reply;
  EXPECT_EQ(InternetSendRequestEx(To("/echo"), &data, &reply, SEND_DATA, false, 0), 0u);
  EXPECT_EQ(reply, "hello");
  const RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.body, "hello");
  EXPECT_EQ(request.Header("Connection"), "close");
  EXPECT_EQ(request.Header("User-Agent"), "KelvaneAgent");
  EXPECT_FALSE(request.HasHeader("Content-Type"));
  EXPECT_TRUE(log.Contains("[INFO] InternetSendRequestEx : Successfully posted the data to the server 127.0.0.1 \n"));
}

TEST_F(Posting, MultipartSendsThePostSizeNulsIncluded) {
  std::string data(5000, 'x');
  data[10] = '\0';
  ASSERT_EQ(InternetSendRequestEx(To("/echo"), &data, nullptr, SEND_MULTIPART, true, 5000), 0u);
  ASSERT_EQ(InternetSendRequestEx(To("/echo"), &data, nullptr, SEND_MULTIPART, true, 0), 0u);
  // A post size beyond the data sends the data, not what lies behind it.
  ASSERT_EQ(InternetSendRequestEx(To("/echo"), &data, nullptr, SEND_MULTIPART, true, 9000), 0u);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].body, data);
  EXPECT_EQ(requests[1].body, data.substr(0, 10));
  EXPECT_EQ(requests[2].body, data);
  EXPECT_EQ(requests[0].Header("Content-Type"), "multipart/form-data");
  EXPECT_EQ(requests[0].Header("Connection"), "Keep-Alive");
}

TEST_F(Posting, PlainPostsAddNoHeader) {
  const std::string data = "plain";
  EXPECT_EQ(InternetSendRequestEx(To("/echo"), &data, nullptr, SEND_DATA_PLAIN, false, 0), 0u);
  EXPECT_FALSE(OnlyRequest().HasHeader("Content-Type"));
}

TEST_F(Posting, RepliesThatCannotBeTakenAndRefusals) {
  const std::string data = "abc";
  std::string reply = "untouched";
  // No Content-Length: a reply that is wanted cannot be read.
  EXPECT_EQ(InternetSendRequestEx(To("/echo?length=none"), &data, &reply, SEND_DATA, false, 0), 12150u);
  // Not wanted: not read, and the post succeeded.
  EXPECT_EQ(InternetSendRequestEx(To("/echo?length=none"), &data, nullptr, SEND_DATA, false, 0), 0u);
  reply = "untouched";
  EXPECT_EQ(InternetSendRequestEx(To("/echo?status=500"), &data, &reply, SEND_DATA, false, 0), 500u);
  EXPECT_EQ(reply, "untouched");
  EXPECT_TRUE(log.Contains(
      "[ERROR] InternetSendRequestEx : Failed to post the data to the server 127.0.0.1 with http status code 500 \n"));
  EXPECT_EQ(InternetSendRequestEx(To("/echo"), nullptr, &reply, SEND_DATA, false, 0), 13u);
  EXPECT_EQ(server.Requests().size(), 3u);  // the empty post went nowhere
}

TEST_F(Posting, AReplyLongerThanAnnouncedStaysWithinItsBuffer) {
  const std::string data(1000, 'r');
  std::string reply;
  EXPECT_EQ(InternetSendRequestEx(To("/echo?length=short&by=990"), &data, &reply, SEND_DATA, false, 0), 0u);
  EXPECT_LE(reply.size(), (10u + 2) * 4 + 3);
  EXPECT_EQ(reply, data.substr(0, reply.size()));
}

TEST_F(Posting, FilesAreStreamedWithTheirSize) {
  std::string content;
  for (int i = 0; i < 10000; ++i) content.push_back(static_cast<char>(i * 7));
  machine.WriteFile("drive_c/data/upload.bin", content);
  machine.WriteFile("drive_c/data/empty.bin", "");
  std::string reply;
  EXPECT_EQ(InternetSendRequestByBitRate(To("/echo"), "C:\\data\\upload.bin", &reply, 4096), 0u);
  EXPECT_EQ(reply, content);
  const RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.body, content);
  EXPECT_EQ(request.Header("Content-type"), "multipart/form-data; filesize=\"10000\"");
  EXPECT_EQ(request.Header("Connection"), "Keep-Alive");

  EXPECT_EQ(InternetSendRequestByBitRate(To("/echo"), "C:\\data\\empty.bin", &reply, 4096), 13u);
  EXPECT_EQ(InternetSendRequestByBitRate(To("/echo"), nullptr, &reply, 4096), 13u);
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_TRUE(log.Contains("[ERROR] InternetSendRequestByBitRate: File Size is zero: 0\n"));
}

class SecurePosting : public test::TransferTest {
 protected:
  SecurePosting() : TransferTest(TlsServer()) {}
  static test::HttpTestServerOptions TlsServer() {
    test::HttpTestServerOptions options;
    options.tls = true;  // its certificate names another host and no one vouches for it
    return options;
  }
};

TEST_F(SecurePosting, CertificateFlawsAreForgiven) {
  ConnectionParameters params = To("/echo");
  params.protocol = "HTTPS";
  params.serverPort = static_cast<int>(server.TlsPort());
  const std::string data = "secret";
  std::string reply;
  EXPECT_EQ(InternetSendRequestEx(params, &data, &reply, SEND_DATA, false, 0), 0u);
  EXPECT_EQ(reply, "secret");
  EXPECT_TRUE(
      log.Contains("InternetSendRequestEx :  The request is updated with the internet option security flags. \n"));
}

class ProxiedPosting : public test::TransferTest {
 protected:
  ProxiedPosting() : TransferTest(ProxyServer()) {}
  static test::HttpTestServerOptions ProxyServer() {
    test::HttpTestServerOptions options;
    options.proxy = true;
    options.proxyUser = "agent";
    options.proxyPassword = "secret";
    return options;
  }
  ConnectionParameters ThroughProxy(const char16_t* user, const char16_t* password) const {
    ConnectionParameters params = To("/echo");
    params.useProxy = true;
    params.proxyServerName = Utf8ToUtf16("127.0.0.1:" + std::to_string(server.ProxyPort()));
    params.proxyByPass = u"";
    params.proxyUserName = user;
    params.proxyPassword = password;
    return params;
  }
};

// Credentials of one character are placeholders: they are not sent, and the
// proxy refuses.
TEST_F(ProxiedPosting, CredentialsGoToTheProxyUnlessTheyArePlaceholders) {
  const std::string data = "via proxy";
  std::string reply;
  EXPECT_EQ(InternetSendRequestEx(ThroughProxy(u"agent", u"secret"), &data, &reply, SEND_DATA, false, 0), 0u);
  EXPECT_EQ(reply, data);
  EXPECT_EQ(InternetSendRequestEx(ThroughProxy(u"agent", u"s"), &data, nullptr, SEND_DATA, false, 0), 407u);
  EXPECT_EQ(InternetSendRequestEx(ThroughProxy(u"a", u"secret"), &data, nullptr, SEND_DATA, false, 0), 407u);
  EXPECT_TRUE(log.Contains("[ERROR] InternetSendRequestEx : Proxy Credentials are failed to authenticate 407 \n"));
  EXPECT_TRUE(log.Contains("InternetSendRequestEx : Proxy Server Name : 127.0.0.1:"));
}

}  // namespace
}  // namespace kv
