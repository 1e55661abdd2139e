// Resumable downloads: the partial file and its metadata across runs, the
// in-progress rule, the failure counts and the access-log records.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "agent/agent_settings.h"
#include "agent/file_system_helpers.h"
#include "agent/registry_key_handle.h"
#include "platform/http.h"
#include "platform/unicode.h"
#include "tests/servers/nginx_server.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/downloading.h"
#include "transfer/transfer_state.h"

namespace kv {
namespace {

using test::TestBytes;

constexpr const char* kUrl = "/bytes/1000000";
constexpr const char* kPlantedId = "1700000000123456";
constexpr const char16_t* kDestination = u"C:\\Downloads\\file.bin";
constexpr const char* kImageDestination = "drive_c/Downloads/file.bin";
constexpr std::int64_t kMinute = 60 * 1000;

struct Planted {
  std::string url = kUrl;
  std::size_t bytes = 400000;   // in the partial file
  DWORD recordedSize = 400000;  // PartialFileSize
  std::string lastModified = test::kTestLastModified;
  std::int64_t savedMsAgo = 200 * kMinute;
  bool inProgress = false;
  std::string etag = {};  // none recorded when empty, as before ETags were kept
};

// The test server's ETag of a made-up body of that size.
std::string TestETag(std::size_t size) { return "\"" + std::to_string(size) + "-Wed21Oct2015072800GMT\""; }

class Resuming : public test::TransferTest {
 protected:
  Resuming() { SetDownloadMode(1); }

  // The metadata and partial file an earlier run left.
  void Plant(const Planted& p) {
    RegistryKeyHandle key;
    ASSERT_EQ(key.createKey(HKEY_LOCAL_MACHINE, test::kMetadataKey, nullptr, 0, KEY_ALL_ACCESS, nullptr, nullptr), 0);
    ASSERT_EQ(key.setString("IntermediateRepositoryName", "DownloadRepository\\", REG_SZ), 0);
    ASSERT_EQ(key.setString(p.url.c_str(), kPlantedId, REG_SZ), 0);
    RegistryKeyHandle file;
    ASSERT_EQ(file.createKey(HKEY_LOCAL_MACHINE, (std::string(test::kMetadataKey) + kPlantedId).c_str(), nullptr, 0,
                             KEY_ALL_ACCESS, nullptr, nullptr),
              0);
    ASSERT_EQ(file.setDword("PartialFileSize", p.recordedSize), 0);
    ASSERT_EQ(file.setString("LastModifiedTime", p.lastModified.c_str(), REG_SZ), 0);
    ASSERT_EQ(file.setString("LastRetryTime", std::to_string(GetCurrentTimeMillis() - p.savedMsAgo).c_str(), REG_SZ), 0);
    ASSERT_EQ(file.setDword("RetryCount", 1), 0);
    if (p.inProgress) {
      ASSERT_EQ(file.setDword("downloadInProgress", 1), 0);
    }
    if (!p.etag.empty()) {
      ASSERT_EQ(file.setString("ETag", p.etag.c_str(), REG_SZ), 0);
    }
    machine.WriteFile(Repository(kPlantedId), TestBytes(0, p.bytes));
  }

  static std::string Repository(const std::string& id) { return std::string(test::kImageRepository) + "/" + id; }

  DWORD Download(const std::string& url = kUrl, bool paced = false) {
    return paced ? InternetGetRequestByBitrate(To(url), kDestination, nullptr, DOWNLOAD_FILE, false)
                 : InternetGetRequestEx(To(url), kDestination, nullptr, DOWNLOAD_FILE, false);
  }

  // The Range headers the server saw for the URL's path, in order ("" for none).
  std::vector<std::string> Ranges(const std::string& path) const {
    std::vector<std::string> ranges;
    for (const auto& request : RequestsFor(path)) ranges.push_back(request.Header("Range"));
    return ranges;
  }

  std::string AccessLog(const char* name) const { return machine.ReadFile(std::string(test::kImageLogs) + "/" + name); }

  bool RepositoryIsEmpty() const {
    const std::string dir = machine.Path(test::kImageRepository);
    return !std::filesystem::exists(dir) || std::filesystem::is_empty(dir);
  }
};

TEST_F(Resuming, AFirstDownloadRecordsItselfAndCleansUpWhenDone) {
  EXPECT_EQ(Download(), 0u);
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000000));
  // The probe, then the whole file as a Range.
  EXPECT_EQ(Ranges(kUrl), (std::vector<std::string>{"", "bytes=0-1000000"}));
  EXPECT_EQ(MetaText("", "IntermediateRepositoryName"), "DownloadRepository\\");
  EXPECT_EQ(MetaNumber("", "InterSaveByteLimit"), 1048576u);
  EXPECT_EQ(MetaText("", kUrl), std::nullopt);
  EXPECT_TRUE(RepositoryIsEmpty());

  const std::string success = AccessLog("downloadSuccessAccess.log");
  EXPECT_EQ(success.rfind("DATE\t\t\tSTART_TIME\t", 0), 0u);
  EXPECT_NE(success.find("\t   1000000\t    0\t   1000000\t"), std::string::npos);
  EXPECT_NE(success.find("\t      127.0.0.1\t"), std::string::npos);
  EXPECT_EQ(success.substr(success.size() - std::string(kUrl).size()), kUrl);
  EXPECT_FALSE(machine.Exists(std::string(test::kImageLogs) + "/downloadFailureAccess.log"));
}

TEST_F(Resuming, AMatchingPartialFileIsContinued) {
  Plant({});
  EXPECT_EQ(Download(), 0u);
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000000));
  EXPECT_EQ(Ranges(kUrl), (std::vector<std::string>{"", "bytes=400000-1000000"}));
  EXPECT_EQ(MetaNumber("", "DownloadCount"), 1u);
  EXPECT_EQ(MetaText(kPlantedId, "PartialFileSize"), std::nullopt);  // cleaned up
  EXPECT_TRUE(RepositoryIsEmpty());
}

TEST_F(Resuming, AnInconsistentPartialFileIsThrownAway) {
  for (const Planted& stale :
       {Planted{.lastModified = "Mon, 01 Jan 2001 00:00:00 GMT"}, Planted{.bytes = 300000}}) {
    Plant(stale);
    EXPECT_EQ(Download(), 0u);
    EXPECT_EQ(Ranges(kUrl).back(), "bytes=0-1000000");
    EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000000));
  }
  EXPECT_TRUE(log.Contains("Performing PreDownloadCleaningOfPartialFile\n"));
}

// A run records its saves once they are on disk, after the fact: one that
// stopped meanwhile leaves more bytes than its record names. Only the
// recorded ones are vouched for; the rest, whatever they hold, is fetched again.
TEST_F(Resuming, BytesPastTheRecordedSizeAreCutOffAndFetchedAgain) {
  Plant({.bytes = 450000});
  machine.WriteFile(Repository(kPlantedId), TestBytes(0, 400000) + std::string(50000, 'x'));
  EXPECT_EQ(Download(), 0u);
  EXPECT_EQ(Ranges(kUrl).back(), "bytes=400000-1000000");
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000000));
  EXPECT_TRUE(RepositoryIsEmpty());
}

// The same Last-Modified with another ETag is another version of the file.
TEST_F(Resuming, TheETagRecordedBesideTheMetadataTellsVersionsApart) {
  Plant({.etag = "\"another\""});
  EXPECT_EQ(Download(), 0u);
  EXPECT_EQ(Ranges(kUrl).back(), "bytes=0-1000000");
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000000));

  Plant({.etag = TestETag(1000000)});
  EXPECT_EQ(Download(), 0u);
  EXPECT_EQ(Ranges(kUrl).back(), "bytes=400000-1000000");
  EXPECT_EQ(RequestsFor(kUrl).back().Header("If-Range"), TestETag(1000000));
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000000));

  // A run that stops early records the ETag beside the Last-Modified.
  const std::string url = "/bytes/1000000?fault=close&at=300000&times=3";
  EXPECT_EQ(Download(url), ERROR_WINHTTP_CONNECTION_ERROR);
  const std::optional<std::string> id = MetaText("", url.c_str());
  ASSERT_TRUE(id.has_value());
  EXPECT_EQ(MetaText(*id, "ETag"), TestETag(1000000));
  EXPECT_EQ(MetaText(*id, "LastModifiedTime"), test::kTestLastModified);
}

// The file changed on the server between the probe and the continuation:
// nothing of the new version is joined to the partial file of the old one,
// whether the server honours If-Range (the new file whole) or not (a part
// of the new file).
TEST_F(Resuming, AContinuationFromAnotherVersionIsNotJoinedToThePartialFile) {
  Agent().gv_dataTransferRateKBps = 1024;
  for (const bool paced : {false, true}) {
    for (const char* url : {"/bytes/1000000?version=range", "/bytes/1000000?version=range&ifrange=ignore"}) {
      SCOPED_TRACE(std::string(url) + (paced ? " paced" : ""));
      Plant({.url = url});
      EXPECT_EQ(WithinLimit([&] { return Download(url, paced); }), ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
      EXPECT_FALSE(machine.Exists(kImageDestination));
      EXPECT_EQ(machine.ReadFile(Repository(kPlantedId)), TestBytes(0, 400000));
      EXPECT_EQ(MetaNumber(kPlantedId, "PartialFileSize"), 400000u);
    }
  }
}

// A 206 that runs past its range would add bytes the file does not have.
TEST_F(Resuming, BytesPastTheRangeAreNotJoinedToThePartialFile) {
  Plant({.url = "/bytes/1000000?range=extra&by=100"});
  EXPECT_EQ(WithinLimit([&] { return Download("/bytes/1000000?range=extra&by=100"); }),
            ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
  EXPECT_FALSE(machine.Exists(kImageDestination));
  EXPECT_EQ(machine.ReadFile(Repository(kPlantedId)), TestBytes(0, 400000));
}

TEST_F(Resuming, ACompletePartialFileIsDeliveredWithoutTransfer) {
  Plant({.bytes = 1000000, .recordedSize = 1000000});
  EXPECT_EQ(Download(), 0u);
  EXPECT_EQ(Ranges(kUrl), (std::vector<std::string>{""}));
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000000));
  EXPECT_TRUE(log.Contains("@@@@@@@@ End Of ResumeGetRequestEx Method @@@@@@@@ Full File already exist\n"));
}

TEST_F(Resuming, ARunInProgressIsLeftAloneForNinetyMinutes) {
  // A live run's file is ahead of its record while its last save is recorded.
  Plant({.bytes = 450000, .savedMsAgo = 10 * kMinute, .inProgress = true});
  EXPECT_EQ(Download(), 0u);
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000000));
  EXPECT_EQ(Ranges(kUrl).back(), "bytes=0-1000000");
  // The other run's file and record are as it left them.
  EXPECT_EQ(machine.ReadFile(Repository(kPlantedId)), TestBytes(0, 450000));
  EXPECT_EQ(MetaText("", kUrl), kPlantedId);
  EXPECT_EQ(MetaNumber(kPlantedId, "PartialFileSize"), 400000u);
  EXPECT_EQ(MetaNumber(kPlantedId, "downloadInProgress"), 1u);
  EXPECT_TRUE(log.Contains("Another download in progress - hence procedding for temporary download\n"));
}

TEST_F(Resuming, AMarkOlderThanNinetyMinutesIsADeadRun) {
  Plant({.url = "/bytes/1000000?fault=close&at=500000", .savedMsAgo = 120 * kMinute, .inProgress = true});
  EXPECT_EQ(Download("/bytes/1000000?fault=close&at=500000"), ERROR_WINHTTP_CONNECTION_ERROR);
  EXPECT_FALSE(machine.Exists(Repository(kPlantedId)));
  EXPECT_EQ(MetaNumber(kPlantedId, "PartialFileSize"), std::nullopt);
  const std::optional<std::string> id = MetaText("", "/bytes/1000000?fault=close&at=500000");
  ASSERT_TRUE(id.has_value());
  EXPECT_NE(*id, kPlantedId);
  EXPECT_EQ(machine.ReadFile(Repository(*id)), TestBytes(0, 500000));
  EXPECT_EQ(MetaNumber(*id, "PartialFileSize"), 500000u);
}

TEST_F(Resuming, ADroppedConnectionKeepsItsBytesForTheNextRun) {
  // The probe and two attempts meet the fault; the next run goes plainly.
  const std::string url = "/bytes/1000000?fault=close&at=700000&times=3";
  EXPECT_EQ(Download(url), ERROR_WINHTTP_CONNECTION_ERROR);
  EXPECT_FALSE(machine.Exists(kImageDestination));
  const std::optional<std::string> id = MetaText("", url.c_str());
  ASSERT_TRUE(id.has_value());
  EXPECT_EQ(machine.ReadFile(Repository(*id)), TestBytes(0, 700000));
  EXPECT_EQ(MetaNumber(*id, "PartialFileSize"), 700000u);
  EXPECT_EQ(MetaNumber(*id, "RetryCount"), 1u);
  EXPECT_EQ(MetaNumber(*id, "downloadInProgress"), std::nullopt);
  EXPECT_EQ(MetaNumber("", "DownloadFailureCount"), 1u);
  EXPECT_EQ(Ranges("/bytes/1000000"), (std::vector<std::string>{"", "bytes=0-1000000", "bytes=700000-1000000"}));
  const std::string failure = AccessLog("downloadFailureAccess.log");
  EXPECT_NE(failure.find("\t   1000000\t12030\t    700000\t"), std::string::npos);

  EXPECT_EQ(Download(url), 0u);
  EXPECT_EQ(Ranges("/bytes/1000000").back(), "bytes=700000-1000000");
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000000));
  EXPECT_NE(AccessLog("downloadSuccessAccess.log").find("\t   1000000\t    0\t   1000000\t"), std::string::npos);
}

TEST_F(Resuming, TheSaveLimitBoundsEachAppendAndLosesNothing) {
  Plant({.bytes = 0, .recordedSize = 0});
  RegistryKeyHandle key;
  ASSERT_EQ(key.openKey(HKEY_LOCAL_MACHINE, test::kMetadataKey, KEY_ALL_ACCESS), 0);
  ASSERT_EQ(key.setDword("InterSaveByteLimit", 4096), 0);
  EXPECT_EQ(Download("/bytes/100000"), 0u);
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 100000));
  const std::string text = log.Contents();
  std::size_t appends = 0;
  for (std::size_t at = text.find("File updated with data."); at != std::string::npos;
       at = text.find("File updated with data.", at + 1))
    ++appends;
  EXPECT_GE(appends, 100000u / 4096);
}

// Saves are recorded beside the download; a run that stops still records
// every byte it saved, and the next run goes on from the last of them.
TEST_F(Resuming, ManySavesAreAllRecordedWhenTheRunStops) {
  RegistryKeyHandle key;
  ASSERT_EQ(key.createKey(HKEY_LOCAL_MACHINE, test::kMetadataKey, nullptr, 0, KEY_ALL_ACCESS, nullptr, nullptr), 0);
  ASSERT_EQ(key.setDword("InterSaveByteLimit", 8192), 0);
  const std::string url = "/bytes/1000000?fault=close&at=700000&times=3";
  EXPECT_EQ(Download(url), ERROR_WINHTTP_CONNECTION_ERROR);
  const std::optional<std::string> id = MetaText("", url.c_str());
  ASSERT_TRUE(id.has_value());
  EXPECT_EQ(machine.ReadFile(Repository(*id)), TestBytes(0, 700000));
  EXPECT_EQ(MetaNumber(*id, "PartialFileSize"), 700000u);
  EXPECT_EQ(MetaText(*id, "LastModifiedTime"), test::kTestLastModified);
  EXPECT_EQ(MetaNumber(*id, "downloadInProgress"), std::nullopt);
  EXPECT_EQ(Download(url), 0u);
  EXPECT_EQ(Ranges("/bytes/1000000").back(), "bytes=700000-1000000");
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000000));
}

// A full disk under the partial file or under the registry ends the run with
// the disk's code and no delivered file; the metadata never describes more
// bytes than the partial file holds, and the next run, on a disk with room,
// delivers the very bytes of the file.
class ResumingOnAFullDisk : public Resuming {
 protected:
  void FillUp(const std::string& file, std::size_t after) {
    DescribeMachine(R"("disk":{"write_faults":[{"file":")" + file + R"(","error":"ENOSPC","after":)" +
                    std::to_string(after) + "}]},");
  }
  void MakeRoom() { DescribeMachine(); }
  void PlantWithSaveLimit(DWORD limit) {
    Plant({});
    RegistryKeyHandle key;
    ASSERT_EQ(key.openKey(HKEY_LOCAL_MACHINE, test::kMetadataKey, KEY_ALL_ACCESS), 0);
    ASSERT_EQ(key.setDword("InterSaveByteLimit", limit), 0);
  }
  // Whatever the failed run left, the registry claims no byte the file lacks.
  void ExpectNoClaimBeyondTheFile() {
    const std::optional<DWORD> recorded = MetaNumber(kPlantedId, "PartialFileSize");
    if (!recorded) return;
    const std::string partial = machine.Path(Repository(kPlantedId));
    const std::uintmax_t held = std::filesystem::exists(partial) ? std::filesystem::file_size(partial) : 0;
    EXPECT_LE(*recorded, held);
  }
  void ExpectTheNextRunDelivers() {
    MakeRoom();
    EXPECT_EQ(Download(), 0u);
    EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000000));
  }
};

TEST_F(ResumingOnAFullDisk, ThePartialFileFillsUp) {
  PlantWithSaveLimit(65536);
  FillUp(kPlantedId, 200000);
  EXPECT_EQ(Download(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_FALSE(machine.Exists(kImageDestination));
  ExpectNoClaimBeyondTheFile();
  ExpectTheNextRunDelivers();
}

TEST_F(ResumingOnAFullDisk, TheRegistryFillsUpAtEveryMoment) {
  int failedSaves = 0;
  for (std::size_t rewrites = 1; rewrites <= 60; rewrites += 3) {
    SCOPED_TRACE(rewrites);
    MakeRoom();
    std::filesystem::remove(machine.Path(kImageDestination));
    PlantWithSaveLimit(65536);
    // The registry file is rewritten whole on each change: the disk fills up
    // on the given rewrite.
    const std::size_t size = machine.ReadFile("registry.reg").size();
    FillUp("registry.reg", size * rewrites - size / 2);
    const DWORD result = Download();
    if (result == ERROR_SUCCESS) {
      EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000000));
    } else {
      EXPECT_FALSE(machine.Exists(kImageDestination));
      if (log.Contains("Could not record the saved bytes.\n")) ++failedSaves;
    }
    ExpectNoClaimBeyondTheFile();
    ExpectTheNextRunDelivers();
  }
  EXPECT_GT(failedSaves, 0);
}

// A server that answers the resume with the whole file, or with a part
// from elsewhere, must not have it appended to the partial file.
TEST_F(Resuming, RangeAnswersFromElsewhereAreNotAppended) {
  Plant({.url = "/bytes/1000000?range=ignore"});
  EXPECT_EQ(Download("/bytes/1000000?range=ignore"), 0u);
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000000));

  Plant({.url = "/bytes/1000000?range=wrongstart"});
  EXPECT_EQ(Download("/bytes/1000000?range=wrongstart"), ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
  EXPECT_EQ(machine.ReadFile(Repository(kPlantedId)), TestBytes(0, 400000));
  EXPECT_EQ(MetaNumber(kPlantedId, "PartialFileSize"), 400000u);
}

TEST_F(Resuming, PacedBlocksStartAtThePartialFile) {
  Agent().gv_dataTransferRateKBps = 1024;
  Plant({});
  EXPECT_EQ(Download(kUrl, true), 0u);
  EXPECT_EQ(Ranges(kUrl), (std::vector<std::string>{"", "bytes=400000-911999", "bytes=912000-1000000"}));
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 1000000));
  EXPECT_EQ(pauses.size(), 2u);
}

TEST_F(Resuming, DocumentsComeIntoMemoryThroughThePacedPath) {
  server.Put("/data/list.txt", "one\r\ntwo\r\n");
  std::string reply;
  EXPECT_EQ(InternetGetRequestByBitrate(To("/data/list.txt"), u"", &reply, GET_DATA, true), 0u);
  EXPECT_EQ(reply, "one\ntwo\n");
  EXPECT_NE(AccessLog("downloadSuccessAccess.log").find("\t     GetData\t"), std::string::npos);
  EXPECT_TRUE(RepositoryIsEmpty());
  // The plain operation keeps GET_DATA on the plain path.
  EXPECT_EQ(InternetGetRequestEx(To("/data/list.txt"), u"", &reply, GET_DATA, true), 0u);
  EXPECT_EQ(RequestsFor("/data/list.txt").back().Header("Range"), "");
}

TEST_F(Resuming, ARefusedProbeIsRecordedAsAFailure) {
  EXPECT_EQ(Download("/bytes/1000?status=500"), 500u);
  EXPECT_NE(AccessLog("downloadFailureAccess.log").find("\t         0\t  500\t         0\t"), std::string::npos);
  EXPECT_FALSE(machine.Exists(std::string(test::kImageLogs) + "/downloadSuccessAccess.log"));
}

// nginx as the real server: If-Modified-Since answered with 304, and a
// partial file continued with its 206.
TEST_F(Resuming, AgainstNginx) {
  if (!test::NginxServer::Available()) GTEST_SKIP() << "nginx is not installed";
  machine.WriteFile("served/big.bin", TestBytes(0, 3000000));
  test::NginxServer nginx(machine.Path("served"));
  ConnectionParameters params = To("/big.bin");
  params.serverPort = static_cast<int>(nginx.Port());
  auto download = [&] { return InternetGetRequestEx(params, kDestination, nullptr, DOWNLOAD_FILE, false); };

  SetDownloadMode(0);
  Transfer().ifModifiedSinceEnabled = 1;
  ASSERT_EQ(download(), 0u);
  const std::string lastModified = Utf16ToUtf8(Transfer().lastModifiedTime);
  ASSERT_FALSE(lastModified.empty());
  EXPECT_EQ(download(), NOT_MODIFIED_RESULT);
  Transfer().ifModifiedSinceEnabled = 0;

  SetDownloadMode(1);
  std::filesystem::remove(machine.Path(kImageDestination));
  Plant({.url = "/big.bin", .bytes = 1234567, .recordedSize = 1234567, .lastModified = lastModified});
  EXPECT_EQ(download(), 0u);
  EXPECT_EQ(machine.ReadFile(kImageDestination), TestBytes(0, 3000000));
  std::ifstream accessLog(nginx.Prefix() + "/access.log");
  const std::string served((std::istreambuf_iterator<char>(accessLog)), std::istreambuf_iterator<char>());
  EXPECT_NE(served.find("\" 206 1765433 "), std::string::npos) << served;
  EXPECT_TRUE(log.Contains("ResumeGetRequestEx: Content-Range Header message: Range: bytes=1234567-3000000\n"));
}

}  // namespace
}  // namespace kv
