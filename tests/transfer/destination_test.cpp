// Where a downloaded file goes: a destination that cannot take it is refused
// before anything is fetched, in every mode; and a file of no bytes arrives
// as a file of no bytes, in every mode.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/http.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/downloading.h"

namespace kv {
namespace {

struct Mode {
  const char* name;
  bool paced;
  DWORD downloadMode;
};

constexpr Mode kModes[] = {
    {"plain", false, 0}, {"paced", true, 0}, {"resumable", false, 1}, {"resumable paced", true, 1}};

class Destinations : public test::TransferTest {
 protected:
  DWORD Download(const Mode& mode, const std::string& url, std::u16string_view destination,
                 std::string* reply = nullptr, int requestType = DOWNLOAD_FILE) {
    SetDownloadMode(mode.downloadMode);
    return mode.paced ? InternetGetRequestByBitrate(To(url), destination, reply, requestType, false)
                      : InternetGetRequestEx(To(url), destination, reply, requestType, false);
  }
};

TEST_F(Destinations, AFileThatCannotBeWrittenIsRefusedBeforeAnyRequest) {
  machine.WriteFile("drive_c/Downloads/file.bin", "a file");
  machine.MakeDirectory("drive_c/Downloads/dir");
  const struct {
    std::u16string destination;
    DWORD code;
  } cases[] = {
      {u"", ERROR_INVALID_NAME},
      {u"C:\\Downloads\\new\\", ERROR_INVALID_NAME},
      {u"C:\\Downloads\\dir", ERROR_ACCESS_DENIED},
      {u"C:\\Downloads\\file.bin\\inner.bin", ERROR_PATH_NOT_FOUND},
      {u"C:\\Downloads\\what?.bin", ERROR_INVALID_NAME},
      {u"C:\\Downloads\\" + std::u16string(256, u'n'), ERROR_INVALID_NAME},
      {u"C:\\Downloads\\" + std::u16string(250, u'n'), ERROR_FILENAME_EXCED_RANGE},
      {u"\\\\server\\share\\file.bin", 53},  // ERROR_BAD_NETPATH
  };
  for (const Mode& mode : kModes) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(mode.name) + " " + std::to_string(c.code));
      EXPECT_EQ(Download(mode, "/bytes/1000", c.destination), c.code);
    }
  }
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ(machine.ReadFile("drive_c/Downloads/file.bin"), "a file");
  EXPECT_TRUE(std::filesystem::is_empty(machine.Path("drive_c/Downloads/dir")));
  EXPECT_TRUE(
      log.Contains("InternetGetRequestEx : The destination file C:\\Downloads\\dir cannot be written --> 5 \n"));
  EXPECT_TRUE(log.Contains("The filename or extension is too long."));
}

TEST_F(Destinations, AFileOfNoBytesArrivesEmptyInEveryMode) {
  for (const Mode& mode : kModes) {
    SCOPED_TRACE(mode.name);
    machine.WriteFile("drive_c/Downloads/empty.bin", "old content");
    EXPECT_EQ(Download(mode, "/bytes/0", u"C:\\Downloads\\empty.bin"), 0u);
    EXPECT_EQ(machine.ReadFile("drive_c/Downloads/empty.bin"), "");
    std::string reply = "old reply";
    EXPECT_EQ(Download(mode, "/bytes/0", u"", &reply, GET_DATA), 0u);
    EXPECT_EQ(reply, "");
  }
  const std::string repository = machine.Path(test::kImageRepository);
  EXPECT_TRUE(!std::filesystem::exists(repository) || std::filesystem::is_empty(repository));
}

// A resumable download needs the length to know when the file is whole: an
// answer without one is not taken for an empty file.
TEST_F(Destinations, AResumableDownloadWithoutALengthIsNotAnEmptyFile) {
  for (const Mode& mode : {kModes[2], kModes[3]}) {
    SCOPED_TRACE(mode.name);
    EXPECT_EQ(Download(mode, "/bytes/5000?length=none", u"C:\\Downloads\\file.bin"), ERROR_WINHTTP_HEADER_NOT_FOUND);
    EXPECT_FALSE(machine.Exists("drive_c/Downloads/file.bin"));
  }
}

}  // namespace
}  // namespace kv
