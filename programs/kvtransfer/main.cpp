// kvtransfer: one transfer of the agent, by hand, on the settings of a
// machine image, for the people who support agents.

#include <cstdio>
#include <optional>
#include <string>

#include "agent/agent_settings.h"
#include "agent/registry_helpers.h"
#include "body_sinks.h"
#include "base/log_writer.h"
#include "command_line.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/terminal.h"
#include "platform/unicode.h"
#include "progress_line.h"
#include "result_text.h"
#include "runtime/log_rotation.h"
#include "startup/agent_parameters.h"
#include "transfer/downloading.h"
#include "transfer/posting.h"
#include "transfer/transfer_state.h"
#include "transfer_target.h"

namespace kv::cli {
namespace {

constexpr const char* kLogFileName = "kvtransfer.log";
constexpr DWORD kDefaultPostChunk = 64 * 1024;

// What the agent's code printed on standard output while it ran, held
// aside so that the program's own output stays clean.
std::FILE* strayOutput = nullptr;

// The held-aside text goes to standard error, on lines of its own, before
// the verdict.
void ReleaseStrayOutput() {
  if (!strayOutput) return;
  std::fflush(stdout);
  std::rewind(strayOutput);
  int last = '\n';
  for (int c; (c = std::fgetc(strayOutput)) != EOF; last = c) std::fputc(c, stderr);
  if (last != '\n') std::fputc('\n', stderr);
  std::fclose(strayOutput);
  strayOutput = nullptr;
}

int Report(DWORD result) {
  ReleaseStrayOutput();
  std::fprintf(stderr, "result %u: %s\n", static_cast<unsigned>(result), ResultMeaning(result).c_str());
  return result == 0 || result == NOT_MODIFIED_RESULT ? 0 : 1;
}

int Refuse(DWORD code, const std::string& why) {
  std::fprintf(stderr, "kvtransfer: %s\n", why.c_str());
  return Report(code);
}

// The file to post, read whole; nullopt when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path) {
  std::FILE* file = OpenStream(path, "rb");
  if (!file) return std::nullopt;
  std::string bytes;
  char piece[64 * 1024];
  std::size_t got = 0;
  while ((got = std::fread(piece, 1, sizeof piece, file)) > 0) bytes.append(piece, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
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

DWORD RunTransfer(const Options& options, const ConnectionParameters& params, const std::string& destination,
                  const std::string& body, std::string* reply, std::FILE* data) {
  if (options.command == Command::kDownload && options.destination == "-") {
    // The body as it comes, byte for byte: nothing is kept, nothing resumes.
    StreamSink sink(data);
    const DWORD result = InternetGetRequestIntoSink(params, sink, options.byBitrate, options.keepAlive);
    std::fflush(data);
    return result;
  }
  switch (options.command) {
    case Command::kGet:
    case Command::kDownload: {
      const int type = options.command == Command::kGet ? GET_DATA : DOWNLOAD_FILE;
      const std::u16string target = Utf8ToUtf16(destination);
      return options.byBitrate ? InternetGetRequestByBitrate(params, target, reply, type, options.keepAlive)
                               : InternetGetRequestEx(params, target, reply, type, options.keepAlive);
    }
    case Command::kPost: {
      if (options.byBitrate) {
        const int rate = Agent().gv_dataTransferRateKBps;
        const DWORD chunk = rate > 0 ? static_cast<DWORD>(rate) * 1024 : kDefaultPostChunk;
        return InternetSendRequestByBitRate(params, options.file.c_str(), reply, chunk);
      }
      const int type = options.multipart ? SEND_MULTIPART : options.plain ? SEND_DATA_PLAIN : SEND_DATA;
      return InternetSendRequestEx(params, &body, reply, type, options.keepAlive, static_cast<DWORD>(body.size()));
    }
  }
  return TRANSFER_NO_DATA;
}

int Run(int argc, char** argv) {
  Options options;
  std::string error;
  switch (ParseCommandLine(argc, argv, &options, &error)) {
    case ParseOutcome::kHelp: std::fputs(kUsage, stdout); return 0;
    case ParseOutcome::kError: return Refuse(ERROR_INVALID_PARAMETER, error);
    case ParseOutcome::kRun: break;
  }

  // Everything that can be refused is refused before the image is touched.
  ConnectionParameters params;
  if (!ParseTransferUrl(options.url, &params, &error)) return Refuse(ERROR_INVALID_PARAMETER, error);
  std::string destination;
  const bool toOutput = options.command == Command::kDownload && options.destination == "-";
  if (options.command == Command::kDownload && !toOutput && !ResolveDestination(options.destination, &destination, &error))
    return Refuse(ERROR_ACCESS_DENIED, error);
  std::string body;
  if (options.command == Command::kPost) {
    std::optional<std::string> bytes = ReadFileBytes(options.file);
    if (!bytes) return Refuse(ERROR_FILE_NOT_FOUND, "cannot read " + options.file);
    body = std::move(*bytes);
  }
  AgentSettings& agent = Agent();
  std::optional<std::string> installDir;
  if (ReadRegSZ(HKEY_LOCAL_MACHINE, agent.gv_RegKey.c_str(), "KVAgentInstallDir", installDir) != ERROR_SUCCESS ||
      !installDir || installDir->empty())
    return Refuse(ERROR_INVALID_DATA, "the machine image has no agent (KVAgentInstallDir is not in its registry)");
  agent.gv_agentInstallDir = *installDir;

  // The reply is the program's output; what the agent's code prints on its
  // own goes to standard error with the rest of the talk.
  strayOutput = std::tmpfile();
  std::FILE* data = SeparateStandardOutput(strayOutput);
  if (!data) data = stdout;

  // Without a log the transfer still runs, as the checker does.
  (void)StartAgentLog(kLogFileName);
  if (InitializeAgentParameters() != 0) LogError("Kelvane Agent info is not available in this machine.\n");
  ChooseProxy(options, &params);

  std::optional<ProgressLine> progress;
  if (IsStandardErrorTerminal() && options.command != Command::kPost) {
    progress.emplace(stderr);
    Transfer().progress = [&progress](std::uint64_t received, std::uint64_t total) {
      progress->Update(received, total);
    };
  }
  std::string reply;
  const DWORD result = RunTransfer(options, params, destination, body, &reply, data);
  if (progress) progress->Finish();
  Transfer().progress = nullptr;
  StopAgentLog();

  if (result == 0 && options.command != Command::kDownload) {
    std::fwrite(reply.data(), 1, reply.size(), data);
    std::fflush(data);
  }
  return Report(result);
}

}  // namespace
}  // namespace kv::cli

int main(int argc, char** argv) { return kv::cli::Run(argc, argv); }
