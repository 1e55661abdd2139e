#include "command_line.h"

#include <cstdlib>
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
    "DEST  a Windows path of the machine image (C:\\dir\\file), or a path of this computer (absolute,\n"
    "      or relative to the working directory); - for standard output\n"
    "FILE  the same: a Windows path of the image, or a path of this computer\n"
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
    "  --resume              the resumable download mode for this run (as DownloadMode 1 in the\n"
    "                        image's registry): a download cut short goes on from its partial file\n"
    "  --max-time SECONDS    give up after this long (exit status 5)\n"
    "  -q, --quiet           nothing on standard error but what went wrong\n"
    "  --version             kvtransfer's version\n"
    "  --help                this text\n"
    "\n"
    "The machine image is $KV_MACHINE; its registry gives DownloadMode, the transfer rate and the\n"
    "time-outs, and the log goes to kvtransfer.log in the agent's logs folder. The last line on\n"
    "standard error is \"result N: MEANING\". Ctrl-C removes the temporary file of a download\n"
    "and keeps the partial file of a resumable one.\n"
    "\n"
    "exit status:\n"
    "  0  success (also 304 not modified)   5  time-out (also --max-time)\n"
    "  1  usage: a bad option, command or URL 6  TLS: no TLS answer, a refused certificate\n"
    "  2  local file: DEST or FILE unusable  7  the server answered with an HTTP error status\n"
    "  3  the host name did not resolve      8  the transfer was cut short or failed otherwise\n"
    "  4  no connection to the server        130 interrupted (Ctrl-C)\n";

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
    if (arg == "--version") return ParseOutcome::kVersion;
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
    } else if (arg == "--resume") {
      options->resume = true;
    } else if (arg == "-q" || arg == "--quiet") {
      options->quiet = true;
    } else if (arg == "--max-time") {
      std::string text;
      if (!value(&text)) return ParseOutcome::kError;
      char* end = nullptr;
      const double seconds = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || !(seconds > 0) || seconds > 1e7) {
        *error = "--max-time takes a number of seconds above 0, not " + text;
        return ParseOutcome::kError;
      }
      options->maxTimeSeconds = seconds;
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
  if (options->resume && options->command != Command::kDownload) {
    *error = "--resume is for download";
    return ParseOutcome::kError;
  }
  if (options->resume && options->destination == "-") {
    *error = "--resume needs a file to keep the partial download in, not -";
    return ParseOutcome::kError;
  }
  if (options->byBitrate && (options->multipart || options->plain)) {
    *error = "a post --by-bitrate streams the file; --multipart and --plain do not apply";
    return ParseOutcome::kError;
  }
  return ParseOutcome::kRun;
}

}  // namespace kv::cli
