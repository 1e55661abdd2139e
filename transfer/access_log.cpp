#include "transfer/access_log.h"

#include <cstdio>

#include "agent/agent_settings.h"
#include "agent/text_operations.h"
#include "base/text_format.h"
#include "platform/files.h"
#include "transfer/transfer_types.h"

namespace kv {
namespace {

constexpr int kRuleLength = 142;

// A record is data: each piece goes through one format, and the URL, last,
// goes in as it is, "%" and all.
std::string RecordPieces(const AccessRecord& r) {
  const std::string fileName = GetLastUrlFileName(r.url.c_str()).value_or("");
  const char* mode = r.requestType == DOWNLOAD_FILE ? "DownloadFile" : "GetData";
  return Format("\n %20s\t", r.startStamp.c_str()) + Format("\t%30s", fileName.empty() ? "--" : fileName.c_str()) +
         Format("\t%12s", mode) +
         Format("\t%10u\t%5ld\t%10u", static_cast<unsigned>(r.contentLength), static_cast<long>(r.result),
                static_cast<unsigned>(r.bytesReceived)) +
         Format("\t%10s\t", r.endTime.c_str()) + Format("\t%15s\t%6d\t", r.serverName.c_str(), r.port);
}

}  // namespace

std::string AccessDateText(const SystemTime& t) { return Format("%02d-%02d-%02d", t.year % 100, t.month, t.day); }

std::string AccessTimeText(const SystemTime& t) { return Format("%02d:%02d:%02d", t.hour, t.minute, t.second); }

std::string AccessLogStamp(const SystemTime& time) {
  return Format("\n %s\t\t%10s\t", AccessDateText(time).c_str(), AccessTimeText(time).c_str());
}

std::string AccessLogHeader() {
  return "DATE\t\t\tSTART_TIME\t" + std::string(25, ' ') +
         "FILE_NAME\tMODE\t\t\t\tT_BYTES\tSTATUS\tRECEVD_BYTES\tEND_TIME\tSERVER_NAME\t\tPORT\tURL\n" +
         std::string(kRuleLength, '-');
}

std::string FormatAccessRecord(const AccessRecord& record) { return RecordPieces(record) + record.url; }

std::string AccessLogPath(DWORD result) {
  const char* name = result == 0 ? "downloadSuccessAccess.log" : "downloadFailureAccess.log";
  return Agent().gv_agentInstallDir + "logs\\" + name;
}

bool AppendAccessRecord(const std::string& path, const std::string& record) {
  const bool isNew = GetFileAttributes(path) == INVALID_FILE_ATTRIBUTES;
  std::FILE* file = OpenStream(path, "ab");
  if (!file) return false;
  std::string text = isNew ? AccessLogHeader() : std::string();
  text += record;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace kv
