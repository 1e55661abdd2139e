#pragma once
// An HTTP server for tests, on 127.0.0.1 with ports of its own choosing,
// that misbehaves on request. It serves resources the test puts in, made-up
// bytes ("/bytes/N": N bytes of TestByte), the files of a directory, and
// "/echo" (answers a POST with its body), each with Range, Last-Modified
// and If-Modified-Since as a real server has them. It can also listen for
// HTTPS (a fresh self-signed certificate) and act as a proxy that demands
// Basic credentials. Every request is recorded as it came.
//
// Every answer carries a strong ETag made of the Last-Modified and the
// length.
//
// Faults, chosen by the query of the request (any resource). Positions
// (at=N) count bytes of the resource, so that an answer to a Range request
// that starts at or after N meets the fault at once or not at all.
//   fault=close&at=N       close the connection at byte N of the body
//   fault=reset&at=N       reset it (RST) at byte N
//   fault=cut&after=K      close the connection after K bytes of every answer
//   fault=noresponse       close without answering
//   fault=garbled          answer with a status line that is not HTTP
//   fault=longstatus&n=N   a status line N bytes long
//   fault=endlessheaders   headers that never end
//   fault=endlessbody      a body without length that never ends
//   stall=headers&ms=M     wait M ms before answering
//   stall=body&at=N&ms=M   wait M ms at byte N of the body
//   range=ignore           answer a Range request with 200 and the whole body
//   range=wrongstart       answer it with a 206 that starts one byte late
//   range=extra&by=K       answer it with the right 206 and K bytes more, counted
//                          in its Content-Length (none with length=none)
//   version=range          answer a request with a Range from the other version
//                          of the resource (kOtherLastModified, its own ETag,
//                          every byte XOR kOtherVersionMask); an If-Range that
//                          names another version gets the whole body, as
//                          servers do, unless ifrange=ignore; not limited
//                          by times
//   head=long&by=K | head=short&by=K   a HEAD announces K bytes more or less
//   length=short&by=K      announce K bytes less than are sent
//   length=long&by=K       announce K bytes more, send the body, close
//   length=none            no Content-Length; the body ends with the connection
//   chunked=1 | chunked=bad&at=N   chunked body; "bad" breaks the encoding after N bytes
//   status=N               answer with status N (304, 407, 500, ...)
//   rate=B                 send the body at B bytes per second
//   lm=TEXT                the Last-Modified to announce
//   times=N                the faults above apply to the first N requests
//                          for this target only; later ones go plainly

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/servers/test_certificate.h"

namespace kv::test {

// The byte at an offset of the made-up bodies.
inline char TestByte(std::uint64_t offset) { return static_cast<char>((offset * 131 + (offset >> 9)) & 0xFF); }
std::string TestBytes(std::uint64_t offset, std::size_t length);

struct RecordedRequest {
  std::string method;
  std::string target;  // as on the request line
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  bool viaProxy = false;  // received by the proxy

  // The first header of that name (any case), empty when absent.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

struct HttpTestServerOptions {
  bool tls = false;  // also listen for HTTPS
  CertificateTraits certificate;
  bool proxy = false;     // also listen as a proxy
  std::string proxyUser;  // empty: no credentials needed
  std::string proxyPassword;
  std::string root;  // a directory whose files are served, optional
};

constexpr const char* kTestLastModified = "Wed, 21 Oct 2015 07:28:00 GMT";
// The other version of a resource (version=range).
constexpr const char* kOtherLastModified = "Thu, 22 Oct 2015 07:28:00 GMT";
constexpr char kOtherVersionMask = 0x5A;

class HttpTestServer {
 public:
  explicit HttpTestServer(HttpTestServerOptions options = {});
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  unsigned Port() const { return port_; }
  unsigned TlsPort() const { return tlsPort_; }
  unsigned ProxyPort() const { return proxyPort_; }

  void Put(const std::string& path, std::string body, std::string lastModified = kTestLastModified);

  std::vector<RecordedRequest> Requests() const;
  // Body bytes of responses written to clients so far.
  std::uint64_t BodyBytesSent() const;
  // Body bytes of requests received so far (counted as they arrive).
  std::uint64_t RequestBodyBytesReceived() const;

  // Stops listening, cuts every connection and waits for its threads.
  void Stop();

  struct Shared;

 private:
  std::unique_ptr<Shared> shared_;
  unsigned port_ = 0;
  unsigned tlsPort_ = 0;
  unsigned proxyPort_ = 0;
  std::thread acceptor_;
};

}  // namespace kv::test
