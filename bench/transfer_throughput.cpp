// kvtransfer against curl: both download the same file from nginx on
// loopback to the same disk, in turns; the best run of each is reported
// with kvtransfer's peak memory.
//
//   kv_transfer_throughput [--size BYTES] [--runs N] [--dir DIR] [--resumable] [--stdout]
//
// --stdout measures kvtransfer's "download URL -" beside "curl URL", both
// writing standard output into a file of the same disk.
// --resumable sets the image's DownloadMode to 1: the download goes through
// the partial file and its registry metadata.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/servers/nginx_server.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Options {
  std::uint64_t size = 1ULL << 30;
  int runs = 3;
  std::string dir = (fs::temp_directory_path() / "kv-transfer-bench").string();
  bool resumable = false;
  bool toStdout = false;
};

struct Measure {
  double seconds = 0;
  long peakKiB = 0;
  int status = -1;
};

// Runs a program to its end: wall time, peak resident memory, exit status.
Measure RunTimed(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
                 const std::string& output = "/dev/null") {
  std::vector<char*> argv;
  std::vector<std::string> store = args;
  for (auto& a : store) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envStore(extraEnv);
  for (char** e = environ; *e; ++e) envStore.emplace_back(*e);
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Measure measure;
  pid_t pid = 0;
  const auto start = std::chrono::steady_clock::now();
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
    }
    measure.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measure.peakKiB = usage.ru_maxrss;
    measure.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  return measure;
}

// The served file, made once and kept for later runs.
void MakeFile(const std::string& path, std::uint64_t size) {
  if (fs::exists(path) && fs::file_size(path) == size) return;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::mt19937_64 random(42);
  std::vector<std::uint64_t> block(1 << 17);
  for (std::uint64_t written = 0; written < size;) {
    for (auto& word : block) word = random();
    const std::uint64_t n = std::min<std::uint64_t>(size - written, block.size() * sizeof(std::uint64_t));
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
    written += n;
  }
}

// Reads the file once so that both sides find it in the page cache.
void Warm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> buffer(1 << 20);
  while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
  }
}

bool SameContent(const std::string& a, const std::string& b) {
  if (fs::file_size(a) != fs::file_size(b)) return false;
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  std::vector<char> p(1 << 20), q(1 << 20);
  while (x.read(p.data(), static_cast<std::streamsize>(p.size())) || x.gcount() > 0) {
    y.read(q.data(), static_cast<std::streamsize>(q.size()));
    if (x.gcount() != y.gcount() || std::memcmp(p.data(), q.data(), static_cast<std::size_t>(x.gcount())) != 0)
      return false;
  }
  return true;
}

// A copy of the default machine image, with the download mode asked for.
std::string MakeMachine(const std::string& dir, bool resumable) {
  const std::string machine = dir + "/machine";
  fs::remove_all(machine);
  fs::copy(std::string(KV_SOURCE_DIR) + "/examples/machines/default", machine, fs::copy_options::recursive);
  if (resumable) {
    std::ofstream registry(machine + "/registry.reg", std::ios::app);
    registry << "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tarnwick\\Kelvane\\KVAgent\\Settings]\n"
                "\"DownloadMode\"=dword:00000001\n";
  }
  fs::create_directories(machine + "/drive_c/bench");
  return machine;
}

double MiBps(std::uint64_t bytes, double seconds) { return static_cast<double>(bytes) / (1 << 20) / seconds; }

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--size" && i + 1 < argc) {
      options.size = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--runs" && i + 1 < argc) {
      options.runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--dir" && i + 1 < argc) {
      options.dir = argv[++i];
    } else if (arg == "--resumable") {
      options.resumable = true;
    } else if (arg == "--stdout") {
      options.toStdout = true;
    } else {
      std::fprintf(stderr, "usage: %s [--size BYTES] [--runs N] [--dir DIR] [--resumable] [--stdout]\n", argv[0]);
      return 2;
    }
  }
  if (!kv::test::NginxServer::Available()) {
    std::fprintf(stderr, "nginx is not installed\n");
    return 1;
  }
  fs::create_directories(options.dir + "/served");
  const std::string served = options.dir + "/served/big.bin";
  MakeFile(served, options.size);
  Warm(served);
  const std::string machine = MakeMachine(options.dir, options.resumable);
  kv::test::NginxServer nginx(options.dir + "/served");
  const std::string url = "http://127.0.0.1:" + std::to_string(nginx.Port()) + "/big.bin";
  const std::string curlOut = options.dir + "/curl.bin";
  const std::string kvOut = machine + "/drive_c/bench/kv.bin";
  const std::string kvtransfer = std::string(KV_BIN_DIR) + "/kvtransfer";

  Measure bestCurl, bestKv;
  long kvPeak = 0;
  std::vector<double> curlSeconds, kvSeconds;
  // Each side starts with no output file and no dirty pages of the other's
  // waiting to be written, and the two take turns at going first.
  auto clean = [&] {
    fs::remove(curlOut);
    fs::remove(kvOut);
    ::sync();
  };
  auto runCurl = [&] {
    clean();
    if (options.toStdout) return RunTimed({"curl", "-s", url}, {}, curlOut);
    return RunTimed({"curl", "-s", "-o", curlOut, url}, {});
  };
  auto runKv = [&] {
    clean();
    const Measure kv = options.toStdout
                           ? RunTimed({kvtransfer, "download", url, "-"}, {"KV_MACHINE=" + machine}, kvOut)
                           : RunTimed({kvtransfer, "download", url, kvOut}, {"KV_MACHINE=" + machine});
    if (kv.status == 0 && !SameContent(kvOut, served)) {
      std::fprintf(stderr, "kvtransfer's copy differs from the served file\n");
      std::exit(1);
    }
    return kv;
  };
  for (int run = 0; run < options.runs; ++run) {
    Measure curl, kv;
    if (run % 2 == 0) {
      curl = runCurl();
      kv = runKv();
    } else {
      kv = runKv();
      curl = runCurl();
    }
    if (curl.status != 0 || kv.status != 0) {
      std::fprintf(stderr, "run %d failed: curl status %d, kvtransfer status %d\n", run + 1, curl.status, kv.status);
      return 1;
    }
    std::printf("run %d: curl %.0f MiB/s, kvtransfer %.0f MiB/s, kvtransfer peak %.1f MiB\n", run + 1,
                MiBps(options.size, curl.seconds), MiBps(options.size, kv.seconds), kv.peakKiB / 1024.0);
    std::fflush(stdout);
    curlSeconds.push_back(curl.seconds);
    kvSeconds.push_back(kv.seconds);
    if (bestCurl.status != 0 || curl.seconds < bestCurl.seconds) bestCurl = curl;
    if (bestKv.status != 0 || kv.seconds < bestKv.seconds) bestKv = kv;
    kvPeak = std::max(kvPeak, kv.peakKiB);
  }
  clean();

  const double curlRate = MiBps(options.size, bestCurl.seconds);
  const double kvRate = MiBps(options.size, bestKv.seconds);
  const double ratio = kvRate / curlRate;
  const double peakMiB = kvPeak / 1024.0;
  std::printf("\n%llu bytes from nginx on loopback, best of %d, %s download mode\n",
              static_cast<unsigned long long>(options.size), options.runs, options.toStdout ? "standard output" : options.resumable ? "resumable" : "plain");
  std::printf("curl -o     %8.0f MiB/s  (%.2f s)\n", curlRate, bestCurl.seconds);
  std::printf("kvtransfer  %8.0f MiB/s  (%.2f s)  %.2fx curl, peak memory %.1f MiB\n", kvRate, bestKv.seconds, ratio,
              peakMiB);
  auto median = [](std::vector<double> seconds) {
    std::sort(seconds.begin(), seconds.end());
    const std::size_t n = seconds.size();
    return n % 2 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
  };
  const double curlMedian = MiBps(options.size, median(curlSeconds));
  const double kvMedian = MiBps(options.size, median(kvSeconds));
  std::printf("medians: curl %.0f MiB/s, kvtransfer %.0f MiB/s (%.2fx)\n", curlMedian, kvMedian, kvMedian / curlMedian);
  // The resumable mode makes every saved megabyte durable and records it, so
  // its goal is lower than a plain download's.
  const double goal = options.resumable && !options.toStdout ? 0.6 : 0.9;
  const bool met = ratio >= goal && peakMiB < 64;
  std::printf("goal (>= %.2fx curl, peak < 64 MiB): %s\n", goal, met ? "met" : "not met");
  return 0;
}
