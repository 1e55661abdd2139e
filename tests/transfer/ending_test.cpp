// Every transfer ends, whatever the server does, and a file is never made
// of bytes that do not belong together: servers that stall or drop the line
// again and again, answer a continuation with more than it asked for or from
// another version of the file, or announce in a HEAD a length the file does
// not have. Each transfer runs against a time limit.

#include <gtest/gtest.h>

#include "agent/agent_settings.h"
#include "platform/http.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/downloading.h"
#include "transfer/posting.h"

namespace kv {
namespace {

using test::TestBytes;

constexpr const char16_t* kDestination = u"C:\\Downloads\\file.bin";
constexpr const char* kImageDestination = "drive_c/Downloads/file.bin";

class Ending : public test::TransferTest {
 protected:
  Ending() { Agent().gv_httpRequestTimeout = 300; }

  DWORD Get(const std::string& url, bool paced, std::string* reply) {
    return WithinLimit([&] {
      return paced ? InternetGetRequestByBitrate(To(url), u"", reply, GET_DATA, true)
                   : InternetGetRequestEx(To(url), u"", reply, GET_DATA, true);
    });
  }
  DWORD Download(const std::string& url, bool paced) {
    return WithinLimit([&] {
      return paced ? InternetGetRequestByBitrate(To(url), kDestination, nullptr, DOWNLOAD_FILE, false)
                   : InternetGetRequestEx(To(url), kDestination, nullptr, DOWNLOAD_FILE, false);
    });
  }
};

// The server stalls at the same byte on every connection and answers each
// new request with the body from its start: a new request that brings
// nothing new ends the download.
TEST_F(Ending, AStallThatComesBackEveryTimeEndsTheDownload) {
  for (const bool paced : {false, true}) {
    SCOPED_TRACE(paced ? "paced" : "plain");
    const std::string path = paced ? "/bytes/10001" : "/bytes/10000";
    std::string reply;
    EXPECT_EQ(Get(path + "?stall=body&at=3000&ms=2000&range=ignore", paced, &reply), ERROR_WINHTTP_TIMEOUT);
    EXPECT_EQ(RequestsFor(path).size(), paced ? 3u : 2u);  // (the HEAD,) the first and one more
  }
  EXPECT_TRUE(log.Contains("after 1 new requests that brought nothing new; the download ends\n"));
}

// The resumable download: the server drops the line at the same byte, or
// after a few bytes of every answer. The bytes held are kept for the next
// run either way.
TEST_F(Ending, DroppedLinesEndTheResumableDownloadWithItsBytesKept) {
  SetDownloadMode(1);
  for (const bool paced : {false, true}) {
    SCOPED_TRACE(paced ? "paced" : "plain");
    const std::string again = std::string("/bytes/100000?fault=close&at=30000&range=ignore&p=") + "01"[paced];
    EXPECT_EQ(Download(again, paced), ERROR_WINHTTP_CONNECTION_ERROR);
    EXPECT_FALSE(machine.Exists(kImageDestination));
    const std::optional<std::string> id = MetaText("", again.c_str());
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(MetaNumber(*id, "PartialFileSize"), 30000u);
  }
  EXPECT_EQ(RequestsFor("/bytes/100000").size(), 6u);  // probe, first, one more; twice

  // Every answer brings 1000 bytes more: five new requests, and no more.
  const std::string cut = "/bytes/100000?fault=cut&after=1000";
  EXPECT_EQ(Download(cut, false), ERROR_WINHTTP_CONNECTION_ERROR);
  const auto requests = RequestsFor("/bytes/100000");
  ASSERT_EQ(requests.size(), 6u + 7u);
  EXPECT_EQ(requests.back().Header("Range"), "bytes=5000-100000");
  EXPECT_EQ(MetaNumber(*MetaText("", cut.c_str()), "PartialFileSize"), 6000u);
}

// A 206 whose body runs past the range it names: the bytes past it never
// reach the file.
TEST_F(Ending, BytesPastAPartialAnswerAreNeverJoined) {
  EXPECT_EQ(Download("/bytes/10000?range=extra&by=100", true), ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
  SetDownloadMode(1);
  EXPECT_EQ(Download("/bytes/10000?range=extra&by=100", false), ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
  EXPECT_FALSE(machine.Exists(kImageDestination));
  EXPECT_TRUE(log.Contains("cannot be appended; the bytes held are kept\n"));
}

// The file changed on the server between the first answer and the
// continuation after a time-out: the continuation asks for the rest of the
// first version only, and no answer of another one is joined to it.
TEST_F(Ending, AContinuationOfAnotherVersionIsNeverJoined) {
  for (const char* ifRange : {"", "&ifrange=ignore"}) {
    SCOPED_TRACE(ifRange);
    std::string reply;
    const std::string url = std::string("/bytes/10000?stall=body&at=3000&ms=1000&times=1&version=range") + ifRange;
    EXPECT_EQ(Get(url, false, &reply), ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
    const auto requests = RequestsFor("/bytes/10000");
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests.back().Header("Range"), "bytes=3000-10000");
    EXPECT_EQ(requests.back().Header("If-Range"), "\"10000-Wed21Oct2015072800GMT\"");
  }
  EXPECT_TRUE(log.Contains("The file changed on the server after byte 3000 was downloaded"));
}

// The HEAD of a paced download announces a length the file does not have:
// the blocks' Content-Range tells, and nothing is delivered.
TEST_F(Ending, AHeadThatLiesAboutTheLengthDeliversNothing) {
  EXPECT_EQ(Download("/bytes/100000?head=short&by=5000", true), ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
  EXPECT_EQ(Download("/bytes/100000?head=long&by=5000", true), ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
  EXPECT_FALSE(machine.Exists(kImageDestination));
  EXPECT_EQ(RequestsFor("/bytes/100000").size(), 4u);  // a HEAD and one block each
}

// A body without a length that never ends is not read to its end.
TEST_F(Ending, AnEndlessBodyWithoutALengthEnds) {
  std::string reply;
  EXPECT_EQ(Get("/bytes/10?fault=endlessbody&rate=200000", false, &reply), PARTIAL_DOWNLOAD_RESULT);
  EXPECT_EQ(Download("/bytes/10?fault=endlessbody&rate=200000", false), PARTIAL_DOWNLOAD_RESULT);
  EXPECT_FALSE(machine.Exists(kImageDestination));
}

TEST_F(Ending, APostThatIsNeverAnsweredEnds) {
  const std::string data = "posted";
  std::string reply;
  EXPECT_EQ(WithinLimit([&] {
              return InternetSendRequestEx(To("/echo?stall=headers&ms=3000"), &data, &reply, SEND_DATA, true, 0);
            }),
            ERROR_WINHTTP_TIMEOUT);
}

}  // namespace
}  // namespace kv
