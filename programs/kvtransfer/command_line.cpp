#include "command_line.h"

#include <string_view>
#include <vector>

namespace kv::cli {

const char* const kUsage =
    "usage: kvtransfer get URL                 GET_DATA: the reply body on standard output as the agent\n"
    "                                          reads it (text: CR LF becomes LF)\n"
    "       kvtransfer download URL DEST       DOWNLOAD_FILE into DEST\n"
    "       kvtransfer download URL -          the body on standard output byte for byte, as it arrives\n"
    "       kvtransfer post URL FILE           SEND_DATA with the file's bytes\n"
    "\n"
    "URL   http:// or https://, host, optional :port (80/443), then the object path and query\n"
    "DEST  a Windows path of the machine image (C:\\dir\\file) or a path under its drive_c\n"
    "\n"
    "options:\n"
    "  --by-bitrate          the paced operations (Range blocks of the image's transfer rate; a post\n"
    "                        streams FILE in chunks of one second's worth, 64 KiB without a rate)\n"
    "  --multipart           post as SEND_MULTIPART (the whole file)\n"
    "  --plain               post as SEND_DATA_PLAIN (no time-outs, no extra header)\n"
    "  --keep-alive          ask for Connection: Keep-Alive\n"
    "  --proxy HOST:PORT     go through this proxy (default: the image's proxy settings)\n"
    "  --proxy-user NAME     proxy credentials\n"
    "  --proxy-password TEXT\n"
    "  --help                this text\n"
    "\n"
    "The machine image is $KV_MACHINE; its registry gives DownloadMode, the transfer rate and the\n"
    "time-outs, and the log goes to kvtransfer.log in the agent's logs folder. The last line on\n"
    "standard error is \"result N: MEANING\"; the exit status is 0 for results 0 and 90001, else 1.\n";

ParseOutcome ParseCommandLine(int argc, const char* const* argv, Options* options, std::string* error) {
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) {
        *error = std::string(arg) + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    if (arg == "--help" || arg == "-h") return ParseOutcome::kHelp;
    if (arg == "--by-bitrate") {
      options->byBitrate = true;
    } else if (arg == "--multipart") {
      options->multipart = true;
    } else if (arg == "--plain") {
      options->plain = true;
    } else if (arg == "--keep-alive") {
      options->keepAlive = true;
    } else if (arg == "--proxy") {
      if (!value(&options->proxy)) return ParseOutcome::kError;
    } else if (arg == "--proxy-user") {
      if (!value(&options->proxyUser)) return ParseOutcome::kError;
    } else if (arg == "--proxy-password") {
      if (!value(&options->proxyPassword)) return ParseOutcome::kError;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + std::string(arg);
      return ParseOutcome::kError;
    } else {
      words.emplace_back(arg);
    }
  }
  if (words.empty()) {
    *error = "no command (get, download or post); see --help";
    return ParseOutcome::kError;
  }
  const std::string& command = words[0];
  std::size_t expected = 3;
  if (command == "get") {
    options->command = Command::kGet;
    expected = 2;
  } else if (command == "download") {
    options->command = Command::kDownload;
  } else if (command == "post") {
    options->command = Command::kPost;
  } else {
    *error = "unknown command " + command + "; see --help";
    return ParseOutcome::kError;
  }
  if (words.size() != expected) {
    *error = command + (expected == 2 ? " takes URL" : command == "post" ? " takes URL FILE" : " takes URL DEST");
    return ParseOutcome::kError;
  }
  options->url = words[1];
  if (options->command == Command::kDownload) options->destination = words[2];
  if (options->command == Command::kPost) options->file = words[2];
  if (options->multipart && options->plain) {
    *error = "--multipart and --plain exclude each other";
    return ParseOutcome::kError;
  }
  if ((options->multipart || options->plain) && options->command != Command::kPost) {
    *error = "--multipart and --plain are for post";
    return ParseOutcome::kError;
  }
  if (options->byBitrate && (options->multipart || options->plain)) {
    *error = "a post --by-bitrate streams the file; --multipart and --plain do not apply";
    return ParseOutcome::kError;
  }
  return ParseOutcome::kRun;
}

}  // namespace kv::cli
