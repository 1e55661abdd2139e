// The test server's frame: listeners on 127.0.0.1, one thread per
// connection, reading and recording requests, and stopping.

#include "tests/servers/http_test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstring>
#include <stdexcept>

#include "tests/servers/server_internals.h"

namespace kv::test {
namespace {

enum Role { kPlain = 0, kTls = 1, kProxy = 2 };

int Listen(unsigned* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("test server: socket failed");
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    throw std::runtime_error("test server: cannot listen");
  }
  *port = ntohs(address.sin_port);
  return fd;
}

void Serve(HttpTestServer::Shared& shared, int fd, Role role) {
  SSL* ssl = nullptr;
  if (role == kTls) {
    ssl = SSL_new(shared.tls);
    SSL_set_fd(ssl, fd);
    // A client that rejects the certificate ends the handshake here.
    if (SSL_accept(ssl) != 1) {
      SSL_free(ssl);
      ssl = nullptr;
    }
  }
  {
    ServerStream stream(fd, ssl);
    if (role != kTls || ssl) {
      std::string pending;
      ParsedRequest request;
      while (ReadRequest(stream, pending, shared, role == kProxy, &request)) {
        if (role == kProxy) {
          Forward(stream, shared, request, pending);
          break;
        }
        if (!Answer(stream, shared, request)) break;
        request = ParsedRequest();
      }
    }
    // Forget the descriptor before it is closed, so that Stop never shuts
    // down a number the system has handed out again.
    std::lock_guard lock(shared.mutex);
    shared.openConnections.erase(fd);
  }
  if (role == kTls && !ssl) ::close(fd);
}

void Accept(HttpTestServer::Shared& shared) {
  for (;;) {
    pollfd fds[4];
    int count = 0;
    for (int role = 0; role < 3; ++role)
      if (shared.listeners[role] >= 0) fds[count++] = {shared.listeners[role], POLLIN, 0};
    fds[count++] = {shared.wake[0], POLLIN, 0};
    if (::poll(fds, count, -1) < 0) continue;
    if (shared.Stopping()) return;
    for (int i = 0; i < count - 1; ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      const int fd = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      const Role role =
          static_cast<Role>(std::find(shared.listeners, shared.listeners + 3, fds[i].fd) - shared.listeners);
      std::lock_guard lock(shared.mutex);
      shared.openConnections.insert(fd);
      shared.connections.emplace_back(Serve, std::ref(shared), fd, role);
    }
  }
}

std::string_view TrimView(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// Reads until the buffer holds a CRLF-ended line; the line without it.
bool ReadLine(ServerStream& stream, std::string& pending, std::string* line) {
  std::size_t end;
  while ((end = pending.find("\r\n")) == std::string::npos) {
    if (pending.size() > (1 << 20)) return false;
    char buffer[16384];
    const long n = stream.Read(buffer, sizeof buffer);
    if (n <= 0) return false;
    pending.append(buffer, n);
  }
  *line = pending.substr(0, end);
  pending.erase(0, end + 2);
  return true;
}

// Moves up to length bytes of the body into the record, reading as needed.
bool ReadBody(ServerStream& stream, std::string& pending, HttpTestServer::Shared& shared, std::size_t index,
              std::uint64_t length) {
  while (length > 0) {
    if (pending.empty()) {
      char buffer[65536];
      const long n = stream.Read(buffer, sizeof buffer);
      if (n <= 0) return false;
      pending.append(buffer, n);
    }
    const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(length, pending.size()));
    shared.AppendBody(index, std::string_view(pending).substr(0, take));
    pending.erase(0, take);
    length -= take;
  }
  return true;
}

std::map<std::string, std::string> ParseQuery(std::string_view query) {
  std::map<std::string, std::string> values;
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const std::size_t equals = pair.find('=');
    values[std::string(pair.substr(0, equals))] =
        equals == std::string_view::npos ? "" : std::string(pair.substr(equals + 1));
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
  }
  return values;
}

}  // namespace

std::string TestBytes(std::uint64_t offset, std::size_t length) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) bytes[i] = TestByte(offset + i);
  return bytes;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string HeaderOf(const RecordedRequest& request, std::string_view name) {
  for (const auto& [key, value] : request.headers)
    if (SameText(key, name)) return value;
  return {};
}

std::string RecordedRequest::Header(const std::string& name) const { return HeaderOf(*this, name); }

bool RecordedRequest::HasHeader(const std::string& name) const {
  return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return SameText(h.first, name); });
}

long ServerStream::Read(char* buffer, std::size_t length) {
  if (fd_ < 0) return -1;
  if (ssl_) {
    const int n = SSL_read(ssl_, buffer, static_cast<int>(std::min<std::size_t>(length, 1 << 30)));
    if (n > 0) return n;
    return SSL_get_error(ssl_, n) == SSL_ERROR_ZERO_RETURN ? 0 : -1;
  }
  return ::recv(fd_, buffer, length, 0);
}

bool ServerStream::Write(std::string_view data) {
  while (!data.empty()) {
    if (fd_ < 0) return false;
    const long n = ssl_ ? SSL_write(ssl_, data.data(), static_cast<int>(std::min<std::size_t>(data.size(), 1 << 30)))
                        : ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    data.remove_prefix(n);
  }
  return true;
}

void ServerStream::Reset() {
  if (fd_ < 0) return;
  const linger abort{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  if (ssl_) SSL_free(ssl_);
  ssl_ = nullptr;
  ::close(fd_);
  fd_ = -1;
}

void ServerStream::Close() {
  if (fd_ < 0) return;
  if (ssl_) {
    SSL_shutdown(ssl_);
    SSL_free(ssl_);
    ssl_ = nullptr;
  }
  ::close(fd_);
  fd_ = -1;
}

bool HttpTestServer::Shared::Sleep(long ms) {
  std::unique_lock lock(mutex);
  return !stopCalled.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping; });
}

bool HttpTestServer::Shared::Stopping() const {
  std::lock_guard lock(mutex);
  return stopping;
}

std::size_t HttpTestServer::Shared::Record(RecordedRequest request) {
  std::lock_guard lock(mutex);
  requests.push_back(std::move(request));
  return requests.size() - 1;
}

void HttpTestServer::Shared::AppendBody(std::size_t index, std::string_view bytes) {
  {
    std::lock_guard lock(mutex);
    requests[index].body.append(bytes);
  }
  requestBodyBytes += bytes.size();
}

bool HttpTestServer::Shared::FindResource(const std::string& path, Resource* resource) const {
  std::lock_guard lock(mutex);
  const auto found = resources.find(path);
  if (found == resources.end()) return false;
  *resource = found->second;
  return true;
}

bool ReadRequest(ServerStream& stream, std::string& pending, HttpTestServer::Shared& shared, bool viaProxy,
                 ParsedRequest* request) {
  std::string line;
  do {
    if (!ReadLine(stream, pending, &line)) return false;
  } while (line.empty());  // blank lines before a request are allowed
  RecordedRequest& record = request->record;
  record.viaProxy = viaProxy;
  const std::size_t first = line.find(' ');
  const std::size_t second = line.find(' ', first == std::string::npos ? first : first + 1);
  if (first == std::string::npos || second == std::string::npos) return false;
  record.method = line.substr(0, first);
  record.target = line.substr(first + 1, second - first - 1);
  record.version = line.substr(second + 1);
  for (;;) {
    if (!ReadLine(stream, pending, &line)) return false;
    if (line.empty()) break;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) return false;
    record.headers.emplace_back(line.substr(0, colon), std::string(TrimView(std::string_view(line).substr(colon + 1))));
  }
  const std::size_t question = record.target.find('?');
  request->path = record.target.substr(0, question);
  if (question != std::string::npos) request->query = ParseQuery(std::string_view(record.target).substr(question + 1));
  const std::string connection = HeaderOf(record, "Connection");
  request->keepAlive =
      record.version == "HTTP/1.1" ? !SameText(connection, "close") : SameText(connection, "keep-alive");
  request->index = shared.Record(record);

  if (SameText(HeaderOf(record, "Transfer-Encoding"), "chunked")) {
    for (;;) {
      if (!ReadLine(stream, pending, &line)) return false;
      const std::uint64_t size = std::strtoull(line.c_str(), nullptr, 16);
      if (size == 0) break;
      if (!ReadBody(stream, pending, shared, request->index, size) || !ReadLine(stream, pending, &line)) return false;
    }
    while (ReadLine(stream, pending, &line) && !line.empty()) {
    }
  } else if (const std::string length = HeaderOf(record, "Content-Length"); !length.empty()) {
    if (!ReadBody(stream, pending, shared, request->index, std::strtoull(length.c_str(), nullptr, 10))) return false;
  }
  std::lock_guard lock(shared.mutex);
  request->record.body = shared.requests[request->index].body;
  return true;
}

HttpTestServer::HttpTestServer(HttpTestServerOptions options) : shared_(std::make_unique<Shared>()) {
  // A client that goes away must not take the test process with it.
  std::signal(SIGPIPE, SIG_IGN);
  shared_->options = std::move(options);
  if (::pipe2(shared_->wake, O_CLOEXEC) != 0) throw std::runtime_error("test server: pipe failed");
  shared_->listeners[kPlain] = Listen(&port_);
  if (shared_->options.tls) {
    shared_->tls = MakeServerContext(shared_->options.certificate);
    if (!shared_->tls) throw std::runtime_error("test server: no certificate");
    shared_->listeners[kTls] = Listen(&tlsPort_);
  }
  if (shared_->options.proxy) shared_->listeners[kProxy] = Listen(&proxyPort_);
  acceptor_ = std::thread(Accept, std::ref(*shared_));
}

HttpTestServer::~HttpTestServer() { Stop(); }

void HttpTestServer::Put(const std::string& path, std::string body, std::string lastModified) {
  std::lock_guard lock(shared_->mutex);
  shared_->resources[path] = {std::move(body), std::move(lastModified)};
}

std::vector<RecordedRequest> HttpTestServer::Requests() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->requests;
}

std::uint64_t HttpTestServer::BodyBytesSent() const { return shared_->bodyBytesSent; }

std::uint64_t HttpTestServer::RequestBodyBytesReceived() const { return shared_->requestBodyBytes; }

void HttpTestServer::Stop() {
  if (!acceptor_.joinable()) return;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
  }
  shared_->stopCalled.notify_all();
  const char byte = 0;
  [[maybe_unused]] const auto written = ::write(shared_->wake[1], &byte, 1);
  acceptor_.join();
  std::vector<std::thread> connections;
  {
    std::lock_guard lock(shared_->mutex);
    for (const int fd : shared_->openConnections) ::shutdown(fd, SHUT_RDWR);
    connections.swap(shared_->connections);
  }
  for (auto& connection : connections) connection.join();
  for (int& fd : shared_->listeners)
    if (fd >= 0) ::close(fd);
  for (int& fd : shared_->wake) ::close(fd);
  if (shared_->tls) SSL_CTX_free(shared_->tls);
  shared_->tls = nullptr;
}

}  // namespace kv::test
