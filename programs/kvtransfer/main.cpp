// kvtransfer: one transfer of the agent, by hand, on the settings of a
// machine image, for the people who support agents.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "agent/agent_settings.h"
#include "agent/registry_helpers.h"
#include "base/log_writer.h"
#include "body_sinks.h"
#include "command_line.h"
#include "platform/files.h"
#include "platform/host_path.h"
#include "platform/http.h"
#include "platform/system.h"
#include "platform/terminal.h"
#include "platform/unicode.h"
#include "progress_line.h"
#include "result_text.h"
#include "runtime/log_rotation.h"
#include "startup/agent_parameters.h"
#include "transfer/download_files.h"
#include "transfer/downloading.h"
#include "transfer/posting.h"
#include "transfer/transfer_state.h"
#include "transfer_target.h"

#ifndef KV_VERSION
#define KV_VERSION "0"
#endif

namespace kv::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLogFileName = "kvtransfer.log";
constexpr DWORD kDefaultPostChunk = 64 * 1024;

// What the agent's code printed on standard output while it ran, held
// aside so that the program's own output stays clean.
std::FILE* strayOutput = nullptr;
bool quiet = false;

// The held-aside text goes to standard error, on lines of its own, before
// the verdict (nowhere when quiet).
void ReleaseStrayOutput() {
  if (!strayOutput) return;
  std::fflush(stdout);
  std::rewind(strayOutput);
  int last = '\n';
  if (!quiet)
    for (int c; (c = std::fgetc(strayOutput)) != EOF; last = c) std::fputc(c, stderr);
  if (last != '\n') std::fputc('\n', stderr);
  std::fclose(strayOutput);
  strayOutput = nullptr;
}

void Say(const std::string& line) { std::fprintf(stderr, "kvtransfer: %s\n", line.c_str()); }

int Report(DWORD result, ExitStatus status, const std::string& detail = {}) {
  ReleaseStrayOutput();
  if (!quiet || status != kExitSuccess)
    std::fprintf(stderr, "result %u: %s\n", static_cast<unsigned>(result), ResultMeaning(result, detail).c_str());
  return status;
}

int Refuse(DWORD code, ExitStatus status, const std::string& why) {
  Say(why);
  return Report(code, status);
}

// The file to post, read whole; nullopt when it cannot be read.
std::optional<std::string> ReadFileBytes(const Place& file) {
  std::FILE* stream = file.kind == Place::Kind::kHost ? OpenHostStream(file.path, "rb") : OpenStream(file.path, "rb");
  if (!stream) return std::nullopt;
  std::string bytes;
  const bool read = ReadToEnd(stream, bytes);
  std::fclose(stream);
  if (!read) return std::nullopt;
  return bytes;
}

// The proxy: the command line's, else the image's when it is turned on.
void ChooseProxy(const Options& options, ConnectionParameters* params) {
  const AgentSettings& agent = Agent();
  if (!options.proxy.empty()) {
    params->useProxy = true;
    params->proxyServerName = Utf8ToUtf16(options.proxy);
  } else if (EqualsNoCase(std::string_view(agent.gv_proxyEnabled), "yes") && agent.gv_proxyServerName) {
    params->useProxy = true;
    params->proxyServerName = Utf8ToUtf16(*agent.gv_proxyServerName);
    params->proxyUserName = Utf8ToUtf16(agent.gv_proxyUserName.value_or(""));
    params->proxyPassword = Utf8ToUtf16(agent.gv_proxyPassword);
  }
  if (agent.gv_proxyByPass) params->proxyByPass = Utf8ToUtf16(*agent.gv_proxyByPass);
  if (!options.proxyUser.empty()) params->proxyUserName = Utf8ToUtf16(options.proxyUser);
  if (!options.proxyPassword.empty()) params->proxyPassword = Utf8ToUtf16(options.proxyPassword);
}

// The server as the messages name it.
std::string ServerName(const ConnectionParameters& params) {
  std::string host = Utf16ToUtf8(params.serverName);
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  std::string name = host + ":" + std::to_string(params.serverPort);
  if (params.useProxy) name += " (through the proxy " + Utf16ToUtf8(params.proxyServerName) + ")";
  return name;
}

// Certificate problems the agent's settings waive, each told once.
std::mutex warningsMutex;
std::set<std::string> warned;
void WarnWaivedCertificate(const char* problem) {
  std::lock_guard lock(warningsMutex);
  if (quiet || !warned.insert(problem).second) return;
  std::fprintf(stderr, "kvtransfer: warning: the server's certificate: %s (waived, as the agent waives it)\n", problem);
  std::fflush(stderr);
}

// Ends the process when the person interrupts it or the time of
// --max-time runs out, with what is left on disk said in one line. The
// transfer layer has no way to be stopped from outside; its files are in a
// state that a kill leaves behind, which the agent's next run handles.
class Watchdog {
 public:
  Watchdog(double maxSeconds, std::function<std::string()> cleanUp)
      : maxSeconds_(maxSeconds), cleanUp_(std::move(cleanUp)), thread_([this] { Watch(); }) {}
  ~Watchdog() { Done(); }
  // The transfer ended on its own: nothing to do any more.
  void Done() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Watch() {
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex_);
    for (;;) {
      if (wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return done_; })) return;
      const bool interrupted = Interrupted();
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (!interrupted && (maxSeconds_ <= 0 || seconds < maxSeconds_)) continue;
      // The lock stays held: the transfer's end cannot be reported beside this.
      std::fflush(stdout);
      const std::string left = cleanUp_();
      if (interrupted) {
        if (IsStandardErrorTerminal()) std::fputs("\r\033[K", stderr);
        Say("interrupted; " + left);
        std::fflush(stderr);
        std::_Exit(kExitInterrupted);
      }
      if (IsStandardErrorTerminal()) std::fputs("\r\033[K", stderr);
      Say("gave up after --max-time " + Seconds() + " s; " + left);
      std::fprintf(stderr, "result %u: %s\n", static_cast<unsigned>(ERROR_WINHTTP_TIMEOUT),
                   ResultMeaning(ERROR_WINHTTP_TIMEOUT).c_str());
      std::fflush(stderr);
      std::_Exit(kExitTimeOut);
    }
  }
  std::string Seconds() const {
    char text[32];
    std::snprintf(text, sizeof text, "%g", maxSeconds_);
    return text;
  }

  double maxSeconds_;
  std::function<std::string()> cleanUp_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

// A downloaded file of the image moved to a file of this computer.
DWORD MoveOutOfImage(const std::string& imagePath, const std::string& hostPath) {
  const std::string from = MapPath(imagePath);
  if (from.empty()) return ERROR_PATH_NOT_FOUND;
  std::error_code error;
  const fs::path target = HostPath(hostPath);
  if (!target.parent_path().empty()) fs::create_directories(target.parent_path(), error);
  fs::rename(HostPath(from), target, error);
  if (error) {
    // Another file system: a copy, then the image's file goes.
    error.clear();
    fs::copy_file(HostPath(from), target, fs::copy_options::overwrite_existing, error);
    if (error) return ERROR_WRITE_FAULT;
    (void)DeleteFile(imagePath);
  }
  return ERROR_SUCCESS;
}

struct Run {
  Options options;
  ConnectionParameters params;
  Place destination;
  Place source;
  std::string body;
  std::FILE* data = stdout;
  std::atomic<std::uint64_t> received{0};
  std::optional<HostFileSink> hostSink;
  std::string imageTemporary;  // the plain download's temporary file in the image
  std::string staging;         // a host download's file in the image, resumable
  bool resumable = false;
  std::string postCopy;  // a host file copied into the image for a paced post

  std::string reply;

  // What an interruption leaves, said in words.
  std::string CleanUp() {
    if (options.command != Command::kDownload) return "nothing was kept";
    if (destination.kind == Place::Kind::kOutput)
      return std::to_string(received.load()) + " bytes went to standard output";
    if (resumable)
      return "the partial file is kept in the agent's DownloadRepository; the same download with --resume goes on "
             "from it";
    if (hostSink) {
      const std::string temporary = hostSink->temporary();
      return RemoveHostFile(temporary) ? "the temporary file " + temporary + " was removed"
                                       : "the temporary file " + temporary + " could not be removed";
    }
    const DWORD rc = DeleteFile(imageTemporary);
    if (rc == ERROR_SUCCESS) return "the temporary file " + imageTemporary + " was removed";
    if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND) return "no temporary file was left";
    return "the temporary file " + imageTemporary + " could not be removed";
  }

  DWORD Perform() {
    switch (options.command) {
      case Command::kGet: {
        return options.byBitrate ? InternetGetRequestByBitrate(params, u"", &reply, GET_DATA, options.keepAlive)
                                 : InternetGetRequestEx(params, u"", &reply, GET_DATA, options.keepAlive);
      }
      case Command::kDownload: return Download();
      case Command::kPost: return Post();
    }
    return TRANSFER_NO_DATA;
  }

  DWORD Download() {
    if (destination.kind == Place::Kind::kOutput) {
      // The body as it comes, byte for byte: nothing is kept, nothing resumes.
      StreamSink sink(data);
      const DWORD result = InternetGetRequestIntoSink(params, sink, options.byBitrate, options.keepAlive);
      std::fflush(data);
      return result;
    }
    if (destination.kind == Place::Kind::kHost && !resumable) {
      DWORD result = hostSink->Open();
      if (result == ERROR_SUCCESS)
        result = InternetGetRequestIntoSink(params, *hostSink, options.byBitrate, options.keepAlive);
      if (result == ERROR_SUCCESS) result = hostSink->Finish();
      return result;
    }
    // The agent's own download into the image; a host destination of a
    // resumable one is reached through a file of the image whose partial
    // file the next run finds again.
    const std::string target = destination.kind == Place::Kind::kHost ? staging : destination.path;
    const std::u16string windowsPath = Utf8ToUtf16(target);
    DWORD result = options.byBitrate
                       ? InternetGetRequestByBitrate(params, windowsPath, &reply, DOWNLOAD_FILE, options.keepAlive)
                       : InternetGetRequestEx(params, windowsPath, &reply, DOWNLOAD_FILE, options.keepAlive);
    if (result == ERROR_SUCCESS && destination.kind == Place::Kind::kHost)
      result = MoveOutOfImage(staging, destination.path);
    return result;
  }

  DWORD Post() {
    if (options.byBitrate) {
      const int rate = Agent().gv_dataTransferRateKBps;
      const DWORD chunk = rate > 0 ? static_cast<DWORD>(rate) * 1024 : kDefaultPostChunk;
      std::string file = source.path;
      if (source.kind == Place::Kind::kHost) {
        // The paced post reads its file from the image: a copy goes there.
        postCopy = Agent().gv_tempDir + "\\kvtransfer-post.tmp";
        std::FILE* copy = OpenStream(postCopy, "wb");
        const bool copied = copy && std::fwrite(body.data(), 1, body.size(), copy) == body.size();
        if (copy) std::fclose(copy);
        if (!copied) return ERROR_WRITE_FAULT;
        file = postCopy;
      }
      const DWORD result = InternetSendRequestByBitRate(params, file.c_str(), &reply, chunk);
      if (!postCopy.empty()) (void)DeleteFile(postCopy);
      return result;
    }
    const int type = options.multipart ? SEND_MULTIPART : options.plain ? SEND_DATA_PLAIN : SEND_DATA;
    return InternetSendRequestEx(params, &body, &reply, type, options.keepAlive, static_cast<DWORD>(body.size()));
  }
};

int Main(int argc, char** argv) {
  Run run;
  Options& options = run.options;
  std::string error;
  switch (ParseCommandLine(argc, argv, &options, &error)) {
    case ParseOutcome::kHelp: std::fputs(kUsage, stdout); return kExitSuccess;
    case ParseOutcome::kVersion: std::puts("kvtransfer " KV_VERSION); return kExitSuccess;
    case ParseOutcome::kError: return Refuse(ERROR_INVALID_PARAMETER, kExitUsage, error);
    case ParseOutcome::kRun: break;
  }
  quiet = options.quiet;

  // Everything that can be refused is refused before the image is touched.
  if (!ParseTransferUrl(options.url, &run.params, &error)) return Refuse(ERROR_INVALID_PARAMETER, kExitUsage, error);
  if (options.command == Command::kDownload && !ResolveDestination(options.destination, &run.destination, &error))
    return Refuse(ERROR_ACCESS_DENIED, kExitLocalFile, error);
  if (options.command == Command::kPost) {
    run.source = ResolveSource(options.file);
    std::optional<std::string> bytes = ReadFileBytes(run.source);
    if (!bytes) return Refuse(ERROR_FILE_NOT_FOUND, kExitLocalFile, "cannot read " + options.file);
    run.body = std::move(*bytes);
  }
  AgentSettings& agent = Agent();
  std::optional<std::string> installDir;
  if (ReadRegSZ(HKEY_LOCAL_MACHINE, agent.gv_RegKey.c_str(), "KVAgentInstallDir", installDir) != ERROR_SUCCESS ||
      !installDir || installDir->empty())
    return Refuse(ERROR_INVALID_DATA, kExitLocalFile,
                  "the machine image has no agent (KVAgentInstallDir is not in its registry)");
  agent.gv_agentInstallDir = *installDir;

  // The reply is the program's output; what the agent's code prints on its
  // own goes to standard error with the rest of the talk.
  strayOutput = std::tmpfile();
  std::FILE* data = SeparateStandardOutput(strayOutput);
  run.data = data ? data : stdout;

  // Without a log the transfer still runs, as the checker does.
  (void)StartAgentLog(kLogFileName);
  if (InitializeAgentParameters() != 0) LogError("Kelvane Agent info is not available in this machine.\n");
  ChooseProxy(options, &run.params);
  Transfer().resumableDownloads = options.resume;
  if (options.command == Command::kDownload && run.destination.kind != Place::Kind::kOutput) {
    run.resumable = DownloadsResumably(run.params);
    if (run.destination.kind == Place::Kind::kHost && !run.resumable) {
      run.hostSink.emplace(run.destination.path);
    } else if (run.destination.kind == Place::Kind::kHost) {
      run.staging = agent.gv_tempDir + "\\kvtransfer\\" + Utf8Of(HostPath(run.destination.path).filename());
    } else {
      run.imageTemporary = TemporaryFileName(DOWNLOAD_FILE, Utf8ToUtf16(run.destination.path));
    }
  }
  SetWaivedCertificateObserver(WarnWaivedCertificate);

  const bool terminal = IsStandardErrorTerminal() && !quiet && options.command != Command::kPost;
  std::optional<ProgressLine> progress;
  if (terminal) progress.emplace(stderr);
  Transfer().progress = [&run, &progress](std::uint64_t received, std::uint64_t total) {
    run.received = received;
    if (progress) progress->Update(received, total);
  };
  CatchInterrupts();
  const auto start = std::chrono::steady_clock::now();
  DWORD result = 0;
  {
    Watchdog watchdog(options.maxTimeSeconds, [&run] { return run.CleanUp(); });
    result = run.Perform();
    watchdog.Done();
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::string detail = result == ERROR_SUCCESS ? std::string() : WinHttpLastFailureDetail();
  if (progress) progress->Finish();
  Transfer().progress = nullptr;
  SetWaivedCertificateObserver(nullptr);
  StopAgentLog();

  if (result == 0 && options.command != Command::kDownload) {
    std::fwrite(run.reply.data(), 1, run.reply.size(), run.data);
    std::fflush(run.data);
  }
  if (terminal) {
    const std::uint64_t bytes = run.received.load();
    std::fprintf(stderr, "kvtransfer: %llu bytes in %.2f s (%s/s)\n", static_cast<unsigned long long>(bytes), seconds,
                 SizeText(seconds > 0 ? static_cast<double>(bytes) / seconds : 0).c_str());
  }
  const bool bodyStarted = run.received.load() > 0;
  const std::string message = FailureMessage(result, ServerName(run.params), detail, bodyStarted);
  if (!message.empty()) Say(message);
  return Report(result, ExitStatusOf(result, bodyStarted), detail);
}

}  // namespace
}  // namespace kv::cli

int main(int argc, char** argv) { return kv::cli::Main(argc, argv); }
