// The access-log header and records, column by column.

#include "transfer/access_log.h"

#include <gtest/gtest.h>

#include "tests/support/test_log.h"
#include "transfer/transfer_types.h"

namespace kv {
namespace {

AccessRecord Record(const std::string& url, int requestType) {
  AccessRecord record;
  record.startStamp = AccessLogStamp(SystemTime{2019, 1, 5, 18, 9, 5, 7, 0});
  record.url = url;
  record.requestType = requestType;
  record.contentLength = 1000;
  record.result = 12002;
  record.bytesReceived = 700;
  record.endTime = "09:06:08";
  record.serverName = "kvserver";
  record.port = 8020;
  return record;
}

TEST(AccessLog, HeaderIsOneLineAndARule) {
  const std::string header = AccessLogHeader();
  EXPECT_EQ(header.size(), 262u);
  EXPECT_EQ(header.rfind("DATE\t\t\tSTART_TIME\t                         FILE_NAME\tMODE\t\t\t\tT_BYTES\tSTATUS\t", 0),
            0u);
  EXPECT_EQ(header.substr(header.size() - 143), "\n" + std::string(142, '-'));
}

TEST(AccessLog, RecordColumns) {
  test::TestLog log;
  EXPECT_EQ(FormatAccessRecord(Record("/patches/kb123.msu", DOWNLOAD_FILE)),
            "\n \n 19-01-18\t\t  09:05:07\t\t\t                     kb123.msu\tDownloadFile"
            "\t      1000\t12002\t       700\t  09:06:08\t\t       kvserver\t  8020\t/patches/kb123.msu");
  // A URL that ends with its separator has no file name; "%" is data.
  const std::string record = FormatAccessRecord(Record("/a%20b/", GET_DATA));
  EXPECT_NE(record.find("\t                            --\t     GetData\t"), std::string::npos);
  EXPECT_EQ(record.substr(record.size() - 8), "\t/a%20b/");
}

}  // namespace
}  // namespace kv
