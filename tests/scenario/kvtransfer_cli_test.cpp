// kvtransfer as the people who know curl and wget use it: the body on
// standard output, paths of this computer, exit statuses by class, messages
// that name the server, its options, Ctrl-C and the terminal's last line.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>

#include "tests/servers/http_test_server.h"
#include "tests/servers/nginx_server.h"
#include "tests/support/agent_image.h"
#include "tests/support/child_process.h"
#include "tests/support/loopback_port.h"
#include "tests/support/wine.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::RunResult;
using test::TestBytes;

// Quotes a word for the shell.
std::string Quoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class KvTransferCli : public ::testing::Test {
 protected:
  KvTransferCli() {
    test::CopyExampleMachine(machine, "default");
    host = machine.Path("host");
    fs::create_directories(host);
  }
  void SetUp() override {
    if (test::WineMode()) GTEST_SKIP() << "runs the Linux build: host paths, signals and a pseudo-terminal";
  }

  std::map<std::string, std::string> Env() const { return {{"KV_MACHINE", machine.dir()}}; }
  RunResult Run(const std::vector<std::string>& args) {
    return test::RunProgram(test::BinPath("kvtransfer"), args, Env());
  }
  // kvtransfer started from a working directory, through the shell.
  RunResult RunIn(const std::string& directory, const std::vector<std::string>& args, const std::string& wrap = "") {
    std::string command = "cd " + Quoted(directory) + " && exec " + Quoted(test::BinPath("kvtransfer"));
    for (const auto& arg : args) command += " " + Quoted(arg);
    return test::RunProgram("/bin/sh", {"-c", wrap.empty() ? command : wrap + " " + Quoted(command) + " /dev/null"},
                            Env());
  }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(server.Port()) + path; }
  static std::string LastLine(const std::string& err) {
    std::string text = err;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text.substr(text.find_last_of("\r\n") + 1);
  }
  std::vector<std::string> HostFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(host)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempMachine machine;
  std::string host;
  static test::HttpTestServerOptions WithTls() {
    test::HttpTestServerOptions options;
    options.tls = true;
    return options;
  }
  test::HttpTestServer server{WithTls()};
};

TEST_F(KvTransferCli, DownloadToStandardOutputKeepsEveryByteWhileGetReadsText) {
  server.Put("/doc.txt", "line one\r\nline two\r\n");
  RunResult run = Run({"download", Url("/doc.txt"), "-"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "line one\r\nline two\r\n");
  run = Run({"get", Url("/doc.txt")});
  EXPECT_EQ(run.out, "line one\nline two\n");
  run = Run({"download", Url("/bytes/3000000"), "-"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.out == TestBytes(0, 3000000)) << run.out.size();
  run = Run({"download", "--by-bitrate", Url("/bytes/300000"), "-"});
  EXPECT_TRUE(run.out == TestBytes(0, 300000)) << run.out.size();
  // What was sent stays sent: a body cut short says so and fails.
  run = Run({"download", Url("/bytes/100000?fault=close&at=30000"), "-"});
  EXPECT_EQ(run.exitCode, 8);
  EXPECT_EQ(run.out, TestBytes(0, 30000));
  EXPECT_NE(Run({"get", "--help"}).out.find("CR LF becomes LF"), std::string::npos);
}

TEST_F(KvTransferCli, HostPathsAreReadAndWrittenWhereThePersonAsked) {
  RunResult run = RunIn(host, {"download", Url("/bytes/200000"), "hello.bin"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(machine.ReadFile("host/hello.bin"), TestBytes(0, 200000));
  run = RunIn(host, {"download", Url("/bytes/1000"), "sub/dir/one.bin"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(machine.ReadFile("host/sub/dir/one.bin"), TestBytes(0, 1000));
  // A failed download leaves nothing beside the destination.
  run = RunIn(host, {"download", Url("/bytes/1000?status=500"), "failed.bin"});
  EXPECT_EQ(run.exitCode, 7);
  EXPECT_EQ(HostFiles(), (std::vector<std::string>{"hello.bin", "sub"}));

  machine.WriteFile("host/note.txt", "posted from the host");
  run = RunIn(host, {"post", Url("/echo"), "note.txt"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "posted from the host");
  run = Run({"post", "--by-bitrate", Url("/echo"), machine.Path("host/note.txt")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "posted from the host");
  EXPECT_FALSE(machine.Exists("drive_c/Windows/Temp/kvtransfer-post.tmp"));

  // Resumable, into a host path: through the image, then in place.
  run = Run({"download", "--resume", Url("/bytes/300000"), machine.Path("host/resumed.bin")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(machine.ReadFile("host/resumed.bin"), TestBytes(0, 300000));
  // A host path inside drive_c is the image's file, as before.
  run = Run({"download", Url("/bytes/10"), machine.Path("drive_c/Downloads/in-image.bin")});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(machine.ReadFile("drive_c/Downloads/in-image.bin"), TestBytes(0, 10));
}

TEST_F(KvTransferCli, ExitStatusesByClassAndMessagesThatNameTheServer) {
  const unsigned closed = test::FreePort();
  RunResult run = Run({"get", "http://127.0.0.1:" + std::to_string(closed) + "/x"});
  EXPECT_EQ(run.exitCode, 4);
  EXPECT_NE(
      run.err.find("kvtransfer: cannot connect to 127.0.0.1:" + std::to_string(closed) + ": connection refused\n"),
      std::string::npos)
      << run.err;
  EXPECT_EQ(LastLine(run.err), "result 12029: The attempt to connect to the server failed");

  run = Run({"get", "http://no-such-host.invalid/x"});
  EXPECT_EQ(run.exitCode, 3) << run.err;
  EXPECT_NE(run.err.find("no-such-host.invalid:80"), std::string::npos);

  run = Run({"get", Url("/bytes/10?status=500")});
  EXPECT_EQ(run.exitCode, 7);
  run = Run({"get", Url("/bytes/100?fault=close&at=50")});
  EXPECT_EQ(run.exitCode, 8);
  run = Run({"download", Url("/bytes/10"), "C:\\Downloads\\" + std::string(300, 'n')});
  EXPECT_EQ(run.exitCode, 2);

  // The agent waives the test server's self-signed certificate: a warning, and the bytes.
  run = Run({"download", "https://127.0.0.1:" + std::to_string(server.TlsPort()) + "/bytes/1000", "-"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, TestBytes(0, 1000));
  EXPECT_NE(run.err.find("kvtransfer: warning: the server's certificate: self-signed certificate"), std::string::npos)
      << run.err;
  EXPECT_EQ(LastLine(run.err), "result 0: success");
  EXPECT_EQ(Run({"-q", "download", "https://127.0.0.1:" + std::to_string(server.TlsPort()) + "/bytes/1000", "-"}).err,
            "");

  if (test::NginxServer::Available()) {
    // nginx answers a TLS greeting on a plain port in plain HTTP.
    machine.WriteFile("served/file.bin", "x");
    test::NginxServer nginx(machine.Path("served"));
    run = Run({"get", "https://127.0.0.1:" + std::to_string(nginx.Port()) + "/file.bin"});
    EXPECT_EQ(run.exitCode, 6);
    EXPECT_NE(run.err.find("the server did not answer in TLS"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("SSL libraries"), std::string::npos) << run.err;
  }
}

TEST_F(KvTransferCli, VersionQuietMaxTimeAndResume) {
  RunResult run = Run({"--version"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(std::regex_match(run.out, std::regex("kvtransfer [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << run.out;

  run = Run({"-q", "download", Url("/bytes/1000"), "C:\\Downloads\\q.bin"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  run = Run({"--quiet", "get", Url("/missing")});
  EXPECT_EQ(run.exitCode, 7);
  EXPECT_EQ(run.err, "result 404: HTTP 404 Not Found\n");

  const auto start = std::chrono::steady_clock::now();
  run = Run({"download", "--max-time", "0.5", Url("/bytes/8000000?rate=1000000"), "C:\\Downloads\\slow.bin"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_NE(run.err.find("--max-time 0.5 s"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::is_empty(machine.Path("drive_c/Downloads")) || !machine.Exists("drive_c/Downloads/slow.bin"));

  // --resume: the resumable mode's record, without a word in the registry.
  run = Run({"download", "--resume", Url("/bytes/300000"), "C:\\Downloads\\r.bin"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(machine.ReadFile("drive_c/Downloads/r.bin"), TestBytes(0, 300000));
  EXPECT_NE(
      machine.ReadFile(std::string(test::kAgentInstallDir) + "/logs/downloadSuccessAccess.log").find("\t    300000\t"),
      std::string::npos);
  EXPECT_EQ(machine.ReadFile("registry.reg").find("DownloadMode"), std::string::npos);
}

// Ctrl-C while bytes flow: one line, and the files as it says.
TEST_F(KvTransferCli, InterruptRemovesATemporaryFileAndKeepsAPartialOne) {
  const std::string url = Url("/bytes/8000000?rate=2000000");
  auto interrupt = [&](const std::vector<std::string>& args, const std::function<bool()>& started) {
    test::StartedProgram program(test::BinPath("kvtransfer"), args, Env());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!started() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    program.Kill(SIGINT);
    return program.Wait();
  };
  auto temporaryThere = [&] {
    for (const auto& entry : fs::directory_iterator(machine.Path("drive_c/Downloads")))
      if (entry.path().extension() == ".tmp" && fs::file_size(entry) > 0) return true;
    return false;
  };
  fs::create_directories(machine.Path("drive_c/Downloads"));
  RunResult run = interrupt({"download", url, "C:\\Downloads\\plain.bin"}, temporaryThere);
  EXPECT_EQ(run.exitCode, 130);
  EXPECT_NE(run.err.find("kvtransfer: interrupted; the temporary file C:\\Downloads\\plain.bin"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("was removed"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(machine.Path("drive_c/Downloads")));

  const std::string repository = machine.Path(std::string(test::kAgentInstallDir) + "/DownloadRepository");
  auto partialThere = [&] {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(repository, ignored))
      if (fs::file_size(entry) > 0) return true;
    return false;
  };
  run = interrupt({"download", "--resume", url, "C:\\Downloads\\resumable.bin"}, partialThere);
  EXPECT_EQ(run.exitCode, 130);
  EXPECT_NE(run.err.find("kvtransfer: interrupted; the partial file is kept"), std::string::npos) << run.err;
  EXPECT_TRUE(partialThere());

  run = interrupt({"download", url, machine.Path("host/plain.bin")},
                  [&] { return machine.Exists("host/plain.bin.kvtransfer.tmp"); });
  EXPECT_EQ(run.exitCode, 130);
  EXPECT_TRUE(HostFiles().empty());
}

// On a terminal a last line tells bytes, seconds and rate; off one, nothing.
TEST_F(KvTransferCli, ATerminalGetsASummaryLine) {
  if (test::FindProgram({"script"}).empty()) GTEST_SKIP() << "script (util-linux) is not installed";
  const RunResult run = RunIn(host, {"download", Url("/bytes/300000"), "t.bin"}, "script -qec");
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_TRUE(std::regex_search(run.out, std::regex("kvtransfer: 300000 bytes in [0-9.]+ s \\([0-9.]+ [KMG]?i?B/s\\)")))
      << run.out;
  const RunResult plain = RunIn(host, {"download", Url("/bytes/300000"), "u.bin"});
  EXPECT_EQ(plain.err.find("bytes in"), std::string::npos) << plain.err;
}

}  // namespace
}  // namespace kv
