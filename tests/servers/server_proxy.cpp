// The proxy: Basic credentials, CONNECT tunnels and forwarded requests,
// relayed byte for byte.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/servers/server_internals.h"

namespace kv::test {
namespace {

std::string Base64(std::string_view text) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 3) {
    unsigned value = static_cast<unsigned char>(text[i]) << 16;
    if (i + 1 < text.size()) value |= static_cast<unsigned char>(text[i + 1]) << 8;
    if (i + 2 < text.size()) value |= static_cast<unsigned char>(text[i + 2]);
    out += kDigits[(value >> 18) & 63];
    out += kDigits[(value >> 12) & 63];
    out += i + 1 < text.size() ? kDigits[(value >> 6) & 63] : '=';
    out += i + 2 < text.size() ? kDigits[value & 63] : '=';
  }
  return out;
}

// Connects to "host:port" (the test servers listen on 127.0.0.1 only).
int ConnectTo(const std::string& hostPort) {
  const std::size_t colon = hostPort.rfind(':');
  if (colon == std::string::npos) return -1;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(std::atoi(hostPort.c_str() + colon + 1)));
  const std::string host = hostPort.substr(0, colon);
  if (::inet_pton(AF_INET, host == "localhost" ? "127.0.0.1" : host.c_str(), &address.sin_addr) != 1 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Copies bytes both ways until the server's side ends; a reset there is
// passed on as a reset.
void Relay(ServerStream& client, int upstream, HttpTestServer::Shared& shared, std::string& pending) {
  if (!pending.empty() && ::send(upstream, pending.data(), pending.size(), MSG_NOSIGNAL) < 0) return;
  pending.clear();
  {
    std::lock_guard lock(shared.mutex);
    shared.openConnections.insert(upstream);
  }
  char buffer[65536];
  bool clientOpen = true;
  for (;;) {
    pollfd fds[2] = {{upstream, POLLIN, 0}, {client.fd(), static_cast<short>(clientOpen ? POLLIN : 0), 0}};
    if (::poll(fds, 2, -1) < 0) break;
    if (fds[0].revents) {
      const long n = ::recv(upstream, buffer, sizeof buffer, 0);
      if (n < 0) client.Reset();
      if (n <= 0 || !client.Write(std::string_view(buffer, n))) break;
    }
    if (fds[1].revents) {
      const long n = client.Read(buffer, sizeof buffer);
      if (n <= 0) {
        clientOpen = false;
        ::shutdown(upstream, SHUT_WR);
      } else if (::send(upstream, buffer, n, MSG_NOSIGNAL) < 0) {
        break;
      }
    }
  }
  std::lock_guard lock(shared.mutex);
  shared.openConnections.erase(upstream);
  ::close(upstream);
}

}  // namespace

void Forward(ServerStream& stream, HttpTestServer::Shared& shared, const ParsedRequest& request, std::string& pending) {
  const RecordedRequest& record = request.record;
  const auto& options = shared.options;
  if (!options.proxyUser.empty() &&
      HeaderOf(record, "Proxy-Authorization") != "Basic " + Base64(options.proxyUser + ":" + options.proxyPassword)) {
    stream.Write(
        "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"kv-test\"\r\n"
        "Content-Length: 0\r\nConnection: close\r\n\r\n");
    return;
  }
  if (record.method == "CONNECT") {
    const int upstream = ConnectTo(record.target);
    if (upstream < 0) {
      stream.Write("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
      return;
    }
    if (stream.Write("HTTP/1.1 200 Connection established\r\n\r\n"))
      Relay(stream, upstream, shared, pending);
    else
      ::close(upstream);
    return;
  }
  // "http://host:port/path": to the origin in origin form, closing after.
  const std::string& target = record.target;
  const std::size_t hostStart = target.find("://");
  const std::size_t pathStart = hostStart == std::string::npos ? std::string::npos : target.find('/', hostStart + 3);
  std::string hostPort = hostStart == std::string::npos ? "" : target.substr(hostStart + 3, pathStart - hostStart - 3);
  if (!hostPort.empty() && hostPort.find(':') == std::string::npos) hostPort += ":80";
  const int upstream = hostPort.empty() ? -1 : ConnectTo(hostPort);
  if (upstream < 0) {
    stream.Write("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    return;
  }
  std::string forwarded = record.method + " " + (pathStart == std::string::npos ? "/" : target.substr(pathStart)) +
                          " " + record.version + "\r\n";
  for (const auto& [name, value] : record.headers)
    if (!SameText(name, "Proxy-Authorization") && !SameText(name, "Proxy-Connection") &&
        !SameText(name, "Connection") && !SameText(name, "Transfer-Encoding") && !SameText(name, "Content-Length"))
      forwarded += name + ": " + value + "\r\n";
  if (!record.body.empty() || !HeaderOf(record, "Content-Length").empty())
    forwarded += "Content-Length: " + std::to_string(record.body.size()) + "\r\n";
  forwarded += "Connection: close\r\n\r\n" + record.body;
  if (::send(upstream, forwarded.data(), forwarded.size(), MSG_NOSIGNAL) < 0) {
    ::close(upstream);
    return;
  }
  Relay(stream, upstream, shared, pending);
}

}  // namespace kv::test
