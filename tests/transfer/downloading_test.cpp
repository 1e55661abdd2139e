// Plain downloads into memory and into files, their faults and the paced
// blocks, against the test server.

#include "transfer/downloading.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "agent/agent_settings.h"
#include "platform/system.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/paced_blocks.h"
#include "transfer/transfer_state.h"

namespace kv {
namespace {

using test::TestBytes;

constexpr const char16_t* kDestination = u"C:\\Downloads\\sub\\file.bin";
constexpr const char* kImageDestination = "drive_c/Downloads/sub/file.bin";

class Downloading : public test::TransferTest {
 protected:
  DWORD Get(const std::string& path, std::string* reply) {
    return InternetGetRequestEx(To(path), u"", reply, GET_DATA, true);
  }
  DWORD Download(const std::string& path, bool paced = false) {
    return paced ? InternetGetRequestByBitrate(To(path), kDestination, nullptr, DOWNLOAD_FILE, false)
                 : InternetGetRequestEx(To(path), kDestination, nullptr, DOWNLOAD_FILE, false);
  }
  // Nothing of a download may stay behind but its destination.
  void ExpectNoTemporaryFiles() {
    EXPECT_FALSE(machine.Exists("drive_c/Windows/Temp/kv" + std::to_string(GetCurrentThreadId()) + ".tmp"));
    EXPECT_FALSE(machine.Exists(std::string(kImageDestination) + std::to_string(GetCurrentThreadId()) + ".tmp"));
  }
};

TEST_F(Downloading, DocumentsComeIntoMemoryAsText) {
  server.Put("/doc.xml", "<a>\r\n<b/>\r\n</a>\n");
  std::string reply;
  EXPECT_EQ(Get("/doc.xml", &reply), 0u);
  EXPECT_EQ(reply, "<a>\n<b/>\n</a>\n");
  EXPECT_EQ(server.Requests().back().Header("Connection"), "Keep-Alive");
  EXPECT_EQ(server.Requests().back().Header("Accept"), "*/*");
  ExpectNoTemporaryFiles();
}

TEST_F(Downloading, FilesReplaceTheirDestinationOnlyWhenComplete) {
  machine.WriteFile(kImageDestination, "old");
  EXPECT_EQ(Download("/bytes/300000"), 0u);
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 300000));
  ExpectNoTemporaryFiles();

  EXPECT_EQ(Download("/bytes/300000?fault=close&at=100000"), ERROR_WINHTTP_CONNECTION_ERROR);
  EXPECT_EQ(Download("/bytes/1000?status=500"), 500u);
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 300000));
  EXPECT_TRUE(log.Contains("[ERROR] InternetGetRequestEx : Failed with the http status code, 500 \n"));
  ExpectNoTemporaryFiles();
}

TEST_F(Downloading, ABodyWithoutLengthIsWholeOnlyWhenEmpty) {
  std::string reply;
  // Bytes beyond the length announced (none) are not taken: the answer
  // cannot be whole, however long it goes on.
  EXPECT_EQ(Get("/bytes/5000?length=none", &reply), PARTIAL_DOWNLOAD_RESULT);
  EXPECT_TRUE(log.Contains("[ERROR] InternetGetRequestEx : The server sent more than the 0 bytes it announced\n"));
  EXPECT_EQ(Get("/bytes/0?length=none", &reply), 0u);
  EXPECT_EQ(Download("/bytes/5000?length=none", true), ERROR_WINHTTP_HEADER_NOT_FOUND);
  EXPECT_EQ(Get("/bytes/5000?length=long&by=100", &reply), ERROR_WINHTTP_CONNECTION_ERROR);
  ExpectNoTemporaryFiles();
}

TEST_F(Downloading, IfModifiedSinceOnlyWhileSwitchedOnAndTheFileIsThere) {
  server.Put("/file.bin", "content");
  Transfer().lastModifiedTime = u"Wed, 21 Oct 2015 07:28:00 GMT";
  EXPECT_EQ(Download("/file.bin"), 0u);  // switched off: no header
  EXPECT_FALSE(server.Requests().back().HasHeader("If-Modified-Since"));

  Transfer().ifModifiedSinceEnabled = 1;
  machine.WriteFile(kImageDestination, "kept");
  EXPECT_EQ(Download("/file.bin"), NOT_MODIFIED_RESULT);
  EXPECT_EQ(server.Requests().back().Header("If-Modified-Since"), "Wed, 21 Oct 2015 07:28:00 GMT");
  EXPECT_EQ(machine.ReadFile(kImageDestination), "kept");

  std::filesystem::remove(machine.Path(kImageDestination));
  EXPECT_EQ(Download("/file.bin"), 0u);  // nothing to compare with
  EXPECT_FALSE(server.Requests().back().HasHeader("If-Modified-Since"));
  EXPECT_TRUE(
      log.Contains("GetInternetRequestHandle: destination file is not present, hence if-modified-since "
                   "header is not applied\n"));

  // A success keeps the server's Last-Modified for the next request.
  server.Put("/newer.bin", "newer", "Thu, 22 Oct 2015 07:28:00 GMT");
  EXPECT_EQ(Download("/newer.bin"), 0u);
  EXPECT_EQ(Transfer().lastModifiedTime, u"Thu, 22 Oct 2015 07:28:00 GMT");
}

TEST_F(Downloading, ATimeOutReconnectsForTheRest) {
  Agent().gv_httpRequestTimeout = 300;
  std::string reply;
  EXPECT_EQ(Get("/bytes/10000?stall=body&at=3000&ms=3000&times=1", &reply), 0u);
  EXPECT_EQ(reply, TestBytes(0, 10000));
  const auto requests = RequestsFor("/bytes/10000");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].Header("Range"), "bytes=3000-10000");
  EXPECT_TRUE(log.Contains("InternetGetRequestEx : second attempt to recover from previous error\n"));
  EXPECT_TRUE(log.Contains("InternetGetRequestByBitrate: Content-Range Header message: Range: bytes=3000-10000\n"));
}

// A server that answers the Range request with the whole body, or with a
// part from elsewhere, must not have it appended at the current offset.
TEST_F(Downloading, RangeAnswersFromElsewhereAreNotAppended) {
  Agent().gv_httpRequestTimeout = 300;
  std::string reply;
  EXPECT_EQ(Get("/bytes/10000?stall=body&at=3000&ms=3000&times=1&range=ignore", &reply), 0u);
  EXPECT_EQ(reply, TestBytes(0, 10000));

  EXPECT_EQ(Get("/bytes/20000?stall=body&at=3000&ms=3000&range=wrongstart", &reply),
            ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
  ExpectNoTemporaryFiles();
}

TEST_F(Downloading, PathsOfDocumentsNeverResume) {
  SetDownloadMode(1);
  server.Put("/config.json", "{}");
  EXPECT_EQ(Download("/config.json"), 0u);
  EXPECT_EQ(MetaText("", "IntermediateRepositoryName"), std::nullopt);
  EXPECT_TRUE(log.Contains("[INFO] InternetGetDownloader : Download Mode 0\n"));
  EXPECT_FALSE(log.Contains("InternetGetDownloader : Kelvane Server & Port"));
}

class PacedDownloading : public Downloading {
 protected:
  PacedDownloading() { Agent().gv_dataTransferRateKBps = 1024; }
};

TEST_F(PacedDownloading, ComesInBlocksWithPauses) {
  EXPECT_EQ(Download("/bytes/1200000", true), 0u);
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1200000));
  const auto requests = RequestsFor("/bytes/1200000");
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].method, "HEAD");
  EXPECT_EQ(requests[1].Header("Range"), "bytes=0-511999");
  EXPECT_EQ(requests[2].Header("Range"), "bytes=512000-1023999");
  EXPECT_EQ(requests[3].Header("Range"), "bytes=1024000-1200000");
  ASSERT_EQ(pauses.size(), 3u);
  for (const DWORD pause : pauses) {  // quick blocks: the rest of 600 ms each
    EXPECT_GT(pause, 150u);
    EXPECT_LE(pause, 600u);
  }
}

TEST_F(PacedDownloading, ASlowBlockIsFollowedByAShortPause) {
  Agent().gv_dataTransferRateKBps = 1;  // blocks of 500 bytes, sent at 800 bytes a second
  EXPECT_EQ(Download("/bytes/1000?rate=800", true), 0u);
  EXPECT_EQ(pauses, (std::vector<DWORD>{100, 100}));
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000));
}

TEST_F(PacedDownloading, WithoutARateTheWholeBodyIsOneBlock) {
  Agent().gv_dataTransferRateKBps = 0;
  EXPECT_EQ(Download("/bytes/70000", true), 0u);
  const auto requests = RequestsFor("/bytes/70000");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].Header("Range"), "bytes=0-70000");
}

TEST_F(PacedDownloading, AWholeBodyForABlockStartsTheFileAgain) {
  EXPECT_EQ(Download("/bytes/1200000?range=ignore", true), 0u);
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1200000));
  EXPECT_EQ(Download("/bytes/1200000?range=wrongstart", true), ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
  EXPECT_EQ(Download("/bytes/1200000?status=304", true), NOT_MODIFIED_RESULT);
  ExpectNoTemporaryFiles();
}

TEST(BlockPause, FillsTheBlockPeriodOrPausesBriefly) {
  EXPECT_EQ(BlockPauseMs(1000, 1200), 400u);
  EXPECT_EQ(BlockPauseMs(1000, 1449), 151u);
  EXPECT_EQ(BlockPauseMs(1000, 1450), 100u);
  EXPECT_EQ(BlockPauseMs(86399900, 50), 100u);  // across midnight
  EXPECT_EQ(BlockSizeBytes(1024), 512000u);
  EXPECT_EQ(BlockSizeBytes(0), 0u);
}

}  // namespace
}  // namespace kv
