#include "store_reasons.h"

#include <fstream>
#include <regex>
#include <sstream>
#include <system_error>

#include "base/log_writer.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// The head of every log entry: "[ <time> ] [ <thread> ] [<TAG>] ".
const std::regex kEntryHead(R"(\[ \d+-\d\d-\d\d \d\d:\d\d:\d\d:\d\d\d \] \[ -?\d+ \] \[([A-Z]+)\] )");

// The text with every run of white space made one blank, and none at the ends.
std::string OneLine(std::string_view text) {
  std::string line;
  bool blank = false;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      blank = !line.empty();
      continue;
    }
    if (blank) line += ' ';
    blank = false;
    line += c;
  }
  return line;
}

}  // namespace

StoreReasons::StoreReasons(const RunDirectory& run) : run_(run) {
  if (!run.made()) return;
  ResetLogger();
  if (!InitLoggerDefaults() || !SetLoggerParams("cfennel.log", run.path().c_str(), LOG_LEVEL_ERROR) || !CreateLogFile())
    return;
  log_ = run.hostPath() / "cfennel.log";
  Mark();
}

StoreReasons::~StoreReasons() { ResetLogger(); }

void StoreReasons::KeepErrorsOnly() {
  // The open log stays as it is; only its level changes back.
  if (!log_.empty()) (void)SetLoggerParams("cfennel.log", run_.path().c_str(), LOG_LEVEL_ERROR);
}

void StoreReasons::Mark() {
  std::error_code error;
  mark_ = log_.empty() ? 0 : fs::file_size(log_, error);
  if (error) mark_ = 0;
}

std::string StoreReasons::ErrorsSinceMark() const {
  if (log_.empty()) return std::string();
  std::ifstream in(log_, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(mark_));
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();

  std::string reasons;
  std::sregex_iterator head(text.begin(), text.end(), kEntryHead);
  const std::sregex_iterator end;
  while (head != end) {
    const std::smatch entry = *head;
    const bool isError = entry[1] == "ERROR";
    const std::size_t from = static_cast<std::size_t>(entry.position(0) + entry.length(0));
    ++head;
    const std::size_t to = head == end ? text.size() : static_cast<std::size_t>(head->position(0));
    const std::string line = OneLine(std::string_view(text).substr(from, to - from));
    if (!isError || line.empty()) continue;
    if (!reasons.empty()) reasons += "; ";
    reasons += line;
  }
  return reasons;
}

}  // namespace kv
