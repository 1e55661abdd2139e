#pragma once
// What the parts of the test server share: connections (plain or TLS), the
// recorded requests and the server's state.

#include <openssl/ssl.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/servers/http_test_server.h"

namespace kv::test {

// One accepted connection; closed when the object goes.
class ServerStream {
 public:
  ServerStream(int fd, SSL* ssl) : fd_(fd), ssl_(ssl) {}
  ~ServerStream() { Close(); }
  ServerStream(const ServerStream&) = delete;
  ServerStream& operator=(const ServerStream&) = delete;

  int fd() const { return fd_; }
  // > 0 bytes read, 0 at the end, < 0 on an error.
  long Read(char* buffer, std::size_t length);
  bool Write(std::string_view data);
  // Ends the connection with a reset instead of an orderly close.
  void Reset();
  void Close();

 private:
  int fd_;
  SSL* ssl_;
};

struct Resource {
  std::string body;
  std::string lastModified;
};

struct HttpTestServer::Shared {
  HttpTestServerOptions options;
  SSL_CTX* tls = nullptr;
  int listeners[3] = {-1, -1, -1};  // plain, TLS, proxy
  int wake[2] = {-1, -1};

  mutable std::mutex mutex;
  std::map<std::string, Resource> resources;
  std::vector<RecordedRequest> requests;
  std::set<int> openConnections;
  std::vector<std::thread> connections;
  std::condition_variable stopCalled;
  bool stopping = false;

  std::atomic<std::uint64_t> bodyBytesSent{0};
  std::atomic<std::uint64_t> requestBodyBytes{0};

  // Waits, unless the server stops first (false then).
  bool Sleep(long ms);
  bool Stopping() const;
  std::size_t Record(RecordedRequest request);
  void AppendBody(std::size_t index, std::string_view bytes);
  bool FindResource(const std::string& path, Resource* resource) const;
};

struct ParsedRequest {
  RecordedRequest record;
  std::size_t index = 0;  // in the server's records
  std::string path;       // the target's path (origin form)
  std::map<std::string, std::string> query;
  bool keepAlive = false;  // the client would keep the connection
};

// Reads a request's head and body; pending holds bytes read past it.
bool ReadRequest(ServerStream& stream, std::string& pending, HttpTestServer::Shared& shared, bool viaProxy,
                 ParsedRequest* request);

// The origin server's answer, faults included; false when the connection
// must not carry another request.
bool Answer(ServerStream& stream, HttpTestServer::Shared& shared, const ParsedRequest& request);

// The proxy's handling of a request: credentials, then a tunnel (CONNECT)
// or a forwarded request, relayed until either side closes.
void Forward(ServerStream& stream, HttpTestServer::Shared& shared, const ParsedRequest& request, std::string& pending);

std::string HeaderOf(const RecordedRequest& request, std::string_view name);
bool SameText(std::string_view a, std::string_view b);

}  // namespace kv::test
