#pragma once
// kvtransfer's command line: what to do, where, and how.

#include <string>

namespace kv::cli {

enum class Command { kGet, kDownload, kPost };

struct Options {
  Command command = Command::kGet;
  std::string url;
  std::string destination;  // download: DEST
  std::string file;         // post: FILE
  bool byBitrate = false;
  bool multipart = false;
  bool plain = false;
  bool keepAlive = false;
  std::string proxy;  // HOST:PORT, empty: the image's proxy setting
  std::string proxyUser;
  std::string proxyPassword;
  bool resume = false;       // the resumable download mode for this run
  bool quiet = false;        // nothing on standard error but what went wrong
  double maxTimeSeconds = 0;  // 0: no limit of the program's own
};

enum class ParseOutcome { kRun, kHelp, kVersion, kError };

// Fills options; on kError, error says what is wrong in one line.
ParseOutcome ParseCommandLine(int argc, const char* const* argv, Options* options, std::string* error);

extern const char* const kUsage;

}  // namespace kv::cli
