// The test server as a program, for trying the transfer commands by hand:
//   kv_http_test_server [--root DIR] [--tls] [--host-name NAME]
//                       [--proxy [--proxy-user NAME --proxy-password TEXT]]
// prints "http PORT" (and "https PORT", "proxy PORT") and serves until it
// is interrupted.

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/servers/http_test_server.h"

int main(int argc, char** argv) {
  kv::test::HttpTestServerOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--root" && hasValue) {
      options.root = argv[++i];
    } else if (arg == "--tls") {
      options.tls = true;
    } else if (arg == "--host-name" && hasValue) {
      options.certificate.hostName = argv[++i];
    } else if (arg == "--proxy") {
      options.proxy = true;
    } else if (arg == "--proxy-user" && hasValue) {
      options.proxyUser = argv[++i];
    } else if (arg == "--proxy-password" && hasValue) {
      options.proxyPassword = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: %s [--root DIR] [--tls] [--host-name NAME] [--proxy [--proxy-user NAME "
                   "--proxy-password TEXT]]\n",
                   argv[0]);
      return 2;
    }
  }
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // the server's threads inherit the mask
  kv::test::HttpTestServer server(options);
  std::printf("http %u\n", server.Port());
  if (options.tls) std::printf("https %u\n", server.TlsPort());
  if (options.proxy) std::printf("proxy %u\n", server.ProxyPort());
  std::fflush(stdout);
  int signal = 0;
  sigwait(&signals, &signal);
  server.Stop();
  return 0;
}
