#pragma once
// The access logs of the resumable downloads: one record per download, in
// "downloadSuccessAccess.log" or "downloadFailureAccess.log" of the agent's
// logs folder, tab-separated under a header, for people to read.

#include <string>

#include "platform/system.h"
#include "platform/win_types.h"

namespace kv {

struct AccessRecord {
  std::string startStamp;  // AccessLogStamp of the download's start
  std::string url;         // the object path, UTF-8
  int requestType = 0;
  DWORD contentLength = 0;
  DWORD result = 0;
  DWORD bytesReceived = 0;
  std::string endTime;  // AccessTimeText of the record's writing
  std::string serverName;
  int port = 0;
};

// "YY-MM-DD" and "HH:MM:SS" of a local time.
std::string AccessDateText(const SystemTime& time);
std::string AccessTimeText(const SystemTime& time);
// The DATE and START_TIME columns of a download that starts at that time.
std::string AccessLogStamp(const SystemTime& time);

// The header line and its rule, written once at the top of a new file.
std::string AccessLogHeader();
// One record, starting on a line of its own after an empty one.
std::string FormatAccessRecord(const AccessRecord& record);
// The file a download's record goes to.
std::string AccessLogPath(DWORD result);

// Appends the record (after the header when the file is new); false when
// the file cannot be written.
[[nodiscard]] bool AppendAccessRecord(const std::string& path, const std::string& record);

}  // namespace kv
