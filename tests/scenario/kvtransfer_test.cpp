// kvtransfer, the transfer command, run on copies of the default machine
// image against the test server and nginx.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <regex>
#include <thread>

#include "tests/servers/http_test_server.h"
#include "tests/servers/nginx_server.h"
#include "tests/support/agent_image.h"
#include "tests/support/wine.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::RunResult;
using test::TestBytes;

class KvTransfer : public ::testing::Test {
 protected:
  KvTransfer() { test::CopyExampleMachine(machine, "default"); }

  std::map<std::string, std::string> Env() const { return {{"KV_MACHINE", machine.dir()}}; }
  // The Linux build on the emulated machine, or the Windows build under Wine
  // with the image as its prefix (WinHTTP then is Wine's).
  RunResult Run(const std::vector<std::string>& args) {
    if (test::WineMode()) return test::RunUnderWine(machine, "kvtransfer", args);
    return test::RunProgram(test::BinPath("kvtransfer"), args, Env());
  }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(server.Port()) + path; }
  void SetDownloadMode(int mode) const {
    const std::string key = std::string(test::kAgentKey32) + "\\Settings";
    machine.WriteFile("registry.reg",
                      machine.ReadFile("registry.reg") + "\n" +
                          test::RegKeyBlock(key, "\"DownloadMode\"=dword:0000000" + std::to_string(mode) + "\n"));
  }
  // The last line of standard error.
  static std::string LastLine(const std::string& err) {
    std::string text = err;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text.substr(text.rfind('\n') + 1);
  }
  // Every file of the image with its content, to show nothing changed.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(machine.dir()))
      if (entry.is_regular_file()) files[entry.path().string()] = machine.ReadFile(fs::relative(entry, machine.dir()));
    return files;
  }

  test::TempMachine machine;
  test::HttpTestServer server;
};

TEST_F(KvTransfer, GetsADocumentOntoStandardOutput) {
  server.Put("/doc.txt", "line one\r\nline two\r\n");
  const RunResult run = Run({"get", Url("/doc.txt")});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "line one\nline two\n");
  EXPECT_EQ(LastLine(run.err), "result 0: success");
  EXPECT_EQ(run.err.find('\r'), std::string::npos);  // no progress line off a terminal
  const std::string log = machine.ReadFile(std::string(test::kAgentInstallDir) + "/logs/kvtransfer.log");
  EXPECT_NE(log.find("InternetGetRequestEx : Content Length of the request file: 20 Bytes"), std::string::npos);
}

TEST_F(KvTransfer, DownloadsAndPostsAndSaysWhatFailed) {
  RunResult run = Run({"download", Url("/bytes/200000"), "C:\\Downloads\\file.bin"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(machine.ReadFile("drive_c/Downloads/file.bin"), TestBytes(0, 200000));
  run = Run({"download", "--by-bitrate", Url("/bytes/1000"), "C:\\Downloads\\again.bin"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(machine.ReadFile("drive_c/Downloads/again.bin"), TestBytes(0, 1000));

  machine.WriteFile("drive_c/upload.txt", "posted text");
  run = Run({"post", Url("/echo"), "C:\\upload.txt"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "posted text");
  run = Run({"post", "--multipart", Url("/echo"), "C:\\upload.txt"});
  EXPECT_EQ(run.out, "posted text");
  EXPECT_EQ(server.Requests().back().Header("Content-Type"), "multipart/form-data");

  run = Run({"get", Url("/missing")});
  EXPECT_EQ(run.exitCode, 7);  // an HTTP status
  EXPECT_EQ(LastLine(run.err), "result 404: HTTP 404 Not Found");
  run = Run({"get", Url("/bytes/100?fault=close&at=50")});
  // Wine's WinHTTP ends a body cut short as if it were complete; the length
  // check then tells.
  EXPECT_EQ(LastLine(run.err),
            test::WineMode() ? "result 707: partial download: fewer bytes than the Content-Length"
                             : "result 12030: The connection with the server has been terminated or an incompatible "
                               "SSL protocol was encountered");
  run = Run({"get", "http://127.0.0.1:1/x"});
  EXPECT_EQ(LastLine(run.err), "result 12029: The attempt to connect to the server failed");
}

TEST_F(KvTransfer, RefusesBadRequestsWithoutTouchingTheImage) {
  KV_SKIP_UNDER_WINE("a program run under Wine makes the image a Wine prefix, which changes it");
  machine.WriteFile("drive_c/Downloads/dir/keep", "");
  const auto before = Snapshot();
  // Exit status 1 for a bad command line, 2 for a file that cannot be used.
  for (const auto& [args, status] : std::vector<std::pair<std::vector<std::string>, int>>{
           {{"get", "ftp://127.0.0.1/x"}, 1},
           {{"get", "http://:80/x"}, 1},
           {{"get", "http://127.0.0.1:99999/x"}, 1},
           {{"download", Url("/x"), "C:\\Downloads\\dir"}, 2},
           {{"download", Url("/x"), ""}, 2},
           {{"download", Url("/x"), "C:\\Downloads\\dir\\keep\\file"}, 2},
           {{"download", Url("/x"), machine.Path("drive_c/Downloads/dir")}, 2},
           {{"post", Url("/echo"), machine.Path("drive_c/no-such-file")}, 2},
           {{"post", Url("/echo"), "/no-such-dir/no-such-file"}, 2},
           {{"download", "--resume", Url("/x"), "-"}, 1},
           {{"get", "--max-time", "soon", Url("/x")}, 1},
           {{"fetch", Url("/x")}, 1},
           {{"get"}, 1},
       }) {
    const RunResult run = Run(args);
    EXPECT_EQ(run.exitCode, status) << args[0];
    EXPECT_EQ(run.err.rfind("kvtransfer: ", 0), 0u) << run.err;
    EXPECT_TRUE(std::regex_search(run.err, std::regex("\nresult [0-9]+: [^\n]+\n$"))) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
  }
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(server.Requests().empty());
  // Windows' own limits answer with Windows' own texts.
  const RunResult longName = Run({"download", Url("/x"), "C:\\Downloads\\" + std::string(300, 'n')});
  EXPECT_EQ(LastLine(longName.err), "result 123: The filename, directory name, or volume label syntax is incorrect");
  const RunResult help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("kvtransfer download URL DEST"), std::string::npos);
}

// A download killed part-way goes on from its partial file on the next run,
// and ends with the very bytes of the file.
TEST_F(KvTransfer, AKilledDownloadResumesOnTheNextRun) {
  KV_SKIP_UNDER_WINE("the registry of a program killed under Wine is not written back to the image");
  SetDownloadMode(1);
  const std::string url = Url("/bytes/8000000?rate=4000000&times=2");
  const std::string repository = machine.Path(std::string(test::kAgentInstallDir) + "/DownloadRepository");
  // What the registry records of the partial file; 0 before its first save.
  auto recorded = [&]() -> std::uintmax_t {
    const std::string registry = machine.ReadFile("registry.reg");
    std::smatch match;
    if (!std::regex_search(registry, match, std::regex("\"PartialFileSize\"=dword:([0-9a-f]{8})"))) return 0;
    return std::stoul(match[1].str(), nullptr, 16);
  };
  {
    test::StartedProgram first(test::BinPath("kvtransfer"), {"download", url, "C:\\Downloads\\big.bin"}, Env());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (recorded() < 2000000 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    first.Kill(SIGKILL);
    EXPECT_EQ(first.Wait().exitCode, -1);
  }
  const std::uintmax_t recordedSize = recorded();
  ASSERT_GE(recordedSize, 2000000u);
  EXPECT_FALSE(machine.Exists("drive_c/Downloads/big.bin"));
  std::uintmax_t kept = 0;
  for (const auto& entry : fs::directory_iterator(repository)) kept = fs::file_size(entry);

  const RunResult second = Run({"download", url, "C:\\Downloads\\big.bin"});
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(machine.ReadFile("drive_c/Downloads/big.bin"), TestBytes(0, 8000000));
  // Killed between an append and its record, the file is not trusted and
  // starts again; otherwise the download goes on from where it stopped.
  const std::string range = server.Requests().back().Header("Range");
  if (kept == recordedSize) {
    EXPECT_EQ(range, "bytes=" + std::to_string(kept) + "-8000000");
  } else {
    EXPECT_EQ(range, "bytes=0-8000000");
  }
  EXPECT_TRUE(fs::is_empty(repository));
}

// Servers that would keep a download going for ever, or have it deliver a
// file of bytes that do not belong together: every command ends, with a
// failure, and leaves no destination. A command still running after the
// limit is killed and fails the test.
TEST_F(KvTransfer, EveryDownloadEndsWhateverTheServerDoes) {
  // Under Wine the program runs to its end behind Wine's loader; the test's
  // own time limit then bounds it.
  auto runWithin = [&](const std::vector<std::string>& args) {
    if (test::WineMode()) return Run(args);
    test::StartedProgram program(test::BinPath("kvtransfer"), args, Env());
    std::mutex mutex;
    std::condition_variable done;
    bool ended = false;
    bool killed = false;
    std::thread watchdog([&] {
      std::unique_lock lock(mutex);
      if (!done.wait_for(lock, std::chrono::seconds(60), [&] { return ended; })) {
        killed = true;
        program.Kill(SIGKILL);
      }
    });
    RunResult run = program.Wait();
    {
      std::lock_guard lock(mutex);
      ended = true;
    }
    done.notify_all();
    watchdog.join();
    EXPECT_FALSE(killed) << "still running after 60 s";
    return run;
  };
  const struct {
    std::string path;
    bool paced;
    bool resumable;
    std::string result;
  } cases[] = {
      // The line drops at the same byte, and every new request brings the body from its start.
      {"/bytes/100000?fault=close&at=30000&range=ignore", false, true, "result 12030: "},
      {"/bytes/100000?fault=close&at=30000&range=ignore", true, true, "result 12030: "},
      // A HEAD that tells a length the file does not have.
      {"/bytes/100000?head=short&by=5000", true, false, "result 12152: "},
      // A continuation of another version of the file.
      {"/bytes/100000?version=range", false, true, "result 12152: "},
      // A 206 with bytes past its range.
      {"/bytes/100000?range=extra&by=100", true, false, "result 12152: "},
  };
  int at = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    SetDownloadMode(c.resumable ? 1 : 0);
    const std::string destination = "C:\\Downloads\\" + std::to_string(++at) + ".bin";
    std::vector<std::string> args{"download", Url(c.path), destination};
    if (c.paced) args.insert(args.begin() + 1, "--by-bitrate");
    const RunResult run = runWithin(args);
    EXPECT_EQ(run.exitCode, 8);  // cut short
    // Wine's WinHTTP ends a body cut short as if it were complete: the
    // one-request resumable download then reports the bytes missing.
    const bool cutLooksWhole = test::WineMode() && c.result == "result 12030: " && !c.paced;
    EXPECT_EQ(LastLine(run.err).rfind(cutLooksWhole ? "result 707: " : c.result, 0), 0u) << run.err;
    EXPECT_FALSE(machine.Exists("drive_c/Downloads/" + std::to_string(at) + ".bin"));
  }
}

TEST_F(KvTransfer, DownloadsFromNginx) {
  if (!test::NginxServer::Available()) GTEST_SKIP() << "nginx is not installed";
  const std::string root = machine.Path("served");
  machine.WriteFile("served/file.bin", TestBytes(0, 3000000));
  test::NginxServer nginx(root);
  const std::string url = "http://127.0.0.1:" + std::to_string(nginx.Port()) + "/file.bin";
  EXPECT_EQ(Run({"download", url, "C:\\Downloads\\a.bin"}).exitCode, 0);
  EXPECT_EQ(machine.ReadFile("drive_c/Downloads/a.bin"), TestBytes(0, 3000000));
  EXPECT_EQ(Run({"download", "--by-bitrate", url, "C:\\Downloads\\b.bin"}).exitCode, 0);
  EXPECT_EQ(machine.ReadFile("drive_c/Downloads/b.bin"), TestBytes(0, 3000000));
  SetDownloadMode(1);
  EXPECT_EQ(Run({"download", url, "C:\\Downloads\\c.bin"}).exitCode, 0);
  EXPECT_EQ(machine.ReadFile("drive_c/Downloads/c.bin"), TestBytes(0, 3000000));
  const std::string success = machine.ReadFile(std::string(test::kAgentInstallDir) + "/logs/downloadSuccessAccess.log");
  EXPECT_NE(success.find("\t   3000000\t    0\t   3000000\t"), std::string::npos);
}

}  // namespace
}  // namespace kv
