#pragma once
// nginx, the real server the downloads are tried against: started on a free
// loopback port with the project's configuration (nginx.conf.in) under a
// temporary prefix, serving a directory, and stopped when the object goes.

#include <sys/types.h>

#include <string>

namespace kv::test {

class NginxServer {
 public:
  // Whether nginx is installed.
  static bool Available();

  // Starts nginx serving root; throws std::runtime_error when it will not start.
  explicit NginxServer(const std::string& root);
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  unsigned Port() const { return port_; }
  // The prefix directory (configuration and logs).
  const std::string& Prefix() const { return prefix_; }

 private:
  bool TryStart(const std::string& root);
  std::string prefix_;
  unsigned port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace kv::test
