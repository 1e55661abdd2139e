#include "tests/servers/nginx_server.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/loopback_port.h"

extern char** environ;

namespace kv::test {
namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

}  // namespace

bool NginxServer::Available() { return ::access(kNginx, X_OK) == 0; }

NginxServer::NginxServer(const std::string& root) {
  char dir[] = "/tmp/kv-nginx-XXXXXX";
  if (!::mkdtemp(dir)) throw std::runtime_error("nginx: no temporary prefix");
  prefix_ = dir;
  // Another process may take the free port first: try a few.
  for (int attempt = 0; attempt < 5; ++attempt)
    if (TryStart(std::filesystem::absolute(root).string())) return;
  std::filesystem::remove_all(prefix_);
  throw std::runtime_error("nginx did not start");
}

bool NginxServer::TryStart(const std::string& root) {
  port_ = FreePort();
  std::string text = ReadWholeFile(KV_NGINX_CONF_TEMPLATE);
  ReplaceAll(text, "@PREFIX@", prefix_);
  ReplaceAll(text, "@PORT@", std::to_string(port_));
  ReplaceAll(text, "@ROOT@", root);
  const std::string confPath = prefix_ + "/nginx.conf";
  std::ofstream(confPath) << text;

  const std::string errorLog = prefix_ + "/error.log";
  const char* argv[] = {kNginx, "-p", prefix_.c_str(), "-c", confPath.c_str(), "-e", errorLog.c_str(), nullptr};
  if (::posix_spawn(&pid_, kNginx, nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    pid_ = -1;
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (Accepts(port_)) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
  return false;
}

NginxServer::~NginxServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  std::error_code ignored;
  std::filesystem::remove_all(prefix_, ignored);
}

}  // namespace kv::test
