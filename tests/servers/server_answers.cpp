// The origin server's answers: resources with Range, Last-Modified and
// If-Modified-Since, and the faults a request's query asks for.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <limits>

#include "tests/servers/server_internals.h"

namespace kv::test {
namespace {

using Fill = std::function<bool(std::uint64_t offset, char* out, std::size_t length)>;

struct Body {
  std::uint64_t size = 0;
  Fill fill;
};

std::string QueryValue(const ParsedRequest& request, const std::string& name) {
  const auto found = request.query.find(name);
  return found == request.query.end() ? std::string() : found->second;
}

std::uint64_t QueryNumber(const ParsedRequest& request, const std::string& name, std::uint64_t fallback) {
  const std::string value = QueryValue(request, name);
  return value.empty() ? fallback : std::strtoull(value.c_str(), nullptr, 10);
}

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 304: return "Not Modified";
    case 404: return "Not Found";
    case 407: return "Proxy Authentication Required";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

Body FromText(std::string text) {
  auto shared = std::make_shared<std::string>(std::move(text));
  return {shared->size(), [shared](std::uint64_t offset, char* out, std::size_t length) {
            std::copy_n(shared->data() + offset, length, out);
            return true;
          }};
}

Body Generated(std::uint64_t size) {
  return {size, [](std::uint64_t offset, char* out, std::size_t length) {
            for (std::size_t i = 0; i < length; ++i) out[i] = TestByte(offset + i);
            return true;
          }};
}

// The same resource in its other version: as long, every byte different.
Body OtherVersion(Body body) {
  return {body.size, [fill = body.fill](std::uint64_t offset, char* out, std::size_t length) {
            if (!fill(offset, out, length)) return false;
            for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<char>(out[i] ^ kOtherVersionMask);
            return true;
          }};
}

// A strong ETag that changes with the Last-Modified and the length.
std::string ETagOf(const std::string& lastModified, std::uint64_t size) {
  std::string tag = "\"" + std::to_string(size) + "-";
  for (const char c : lastModified)
    if (std::isalnum(static_cast<unsigned char>(c))) tag += c;
  return tag + "\"";
}

bool FromFile(const std::string& root, const std::string& path, Body* body) {
  if (root.empty() || path.find("..") != std::string::npos) return false;
  const std::string file = root + path;
  struct stat st;
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  auto fd = std::shared_ptr<int>(new int(::open(file.c_str(), O_RDONLY | O_CLOEXEC)), [](int* f) {
    if (*f >= 0) ::close(*f);
    delete f;
  });
  if (*fd < 0) return false;
  *body = {static_cast<std::uint64_t>(st.st_size), [fd](std::uint64_t offset, char* out, std::size_t length) {
             while (length > 0) {
               const ssize_t n = ::pread(*fd, out, length, static_cast<off_t>(offset));
               if (n <= 0) return false;
               out += n;
               offset += n;
               length -= n;
             }
             return true;
           }};
  return true;
}

// How the body goes out, and where it breaks.
struct Delivery {
  bool chunked = false;
  std::uint64_t badChunkAt = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t faultAt = std::numeric_limits<std::uint64_t>::max();
  bool reset = false;  // the fault: reset rather than close
  std::uint64_t stallAt = std::numeric_limits<std::uint64_t>::max();
  long stallMs = 0;
  std::uint64_t rate = 0;  // bytes per second, 0: as fast as possible
};

// Sends length bytes of the body from offset; false when the connection
// must end (a fault, or the client went away).
bool SendBody(ServerStream& stream, HttpTestServer::Shared& shared, const Body& body, std::uint64_t offset,
              std::uint64_t length, const Delivery& delivery) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<char> piece(64 * 1024);
  std::uint64_t sent = 0;
  bool stalled = false;
  while (sent < length) {
    // The marks are positions in the resource, wherever the answer starts.
    const std::uint64_t at = offset + sent;
    if (at == delivery.faultAt) {
      if (delivery.reset) stream.Reset();
      return false;
    }
    if (at == delivery.stallAt && !stalled) {
      stalled = true;
      if (!shared.Sleep(delivery.stallMs)) return false;
    }
    if (delivery.chunked && at == delivery.badChunkAt) {
      stream.Write("zz-not-hex\r\n");
      return false;
    }
    std::uint64_t size = std::min<std::uint64_t>({piece.size(), length - sent});
    for (const std::uint64_t mark : {delivery.faultAt, delivery.stallAt, delivery.badChunkAt})
      if (mark > at) size = std::min(size, mark - at);
    if (delivery.rate) size = std::min<std::uint64_t>(size, std::max<std::uint64_t>(1, delivery.rate / 20));
    if (!body.fill(offset + sent, piece.data(), size)) return false;
    const std::string_view bytes(piece.data(), size);
    if (delivery.chunked) {
      char head[32];
      std::snprintf(head, sizeof head, "%llx\r\n", static_cast<unsigned long long>(size));
      if (!stream.Write(head) || !stream.Write(bytes) || !stream.Write("\r\n")) return false;
    } else if (!stream.Write(bytes)) {
      return false;
    }
    sent += size;
    shared.bodyBytesSent += size;
    if (delivery.rate) {
      const auto due = start + std::chrono::milliseconds(sent * 1000 / delivery.rate);
      const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - std::chrono::steady_clock::now());
      if (wait.count() > 0 && !shared.Sleep(wait.count())) return false;
    }
  }
  if (offset + sent == delivery.faultAt) {
    if (delivery.reset) stream.Reset();
    return false;
  }
  if (delivery.chunked && !stream.Write("0\r\n\r\n")) return false;
  return true;
}

// Faults that replace the answer; true when one was played.
bool PlayBrokenAnswer(ServerStream& stream, HttpTestServer::Shared& shared, const ParsedRequest& request) {
  const std::string fault = QueryValue(request, "fault");
  if (fault == "noresponse") return true;
  if (fault == "resetnow") {
    stream.Reset();
    return true;
  }
  if (fault == "garbled") {
    stream.Write("HTPP/1.1 two hundred\r\nContent-Length: 0\r\n\r\n");
    return true;
  }
  if (fault == "longstatus") {
    const std::string reason(QueryNumber(request, "n", 100000), 'A');
    stream.Write("HTTP/1.1 200 " + reason + "\r\nContent-Length: 0\r\n\r\n");
    return true;
  }
  if (fault == "endlessheaders") {
    if (!stream.Write("HTTP/1.1 200 OK\r\n")) return true;
    for (unsigned long i = 0; !shared.Stopping(); ++i)
      if (!stream.Write("X-Filler-" + std::to_string(i) + ": " + std::string(100, 'x') + "\r\n")) break;
    return true;
  }
  return false;
}

// The request as it is to be answered: with "times=N" its faults apply to
// the first N requests for its target only, and later ones are answered
// plainly.
ParsedRequest WithFaultsInForce(const HttpTestServer::Shared& shared, const ParsedRequest& request) {
  const std::string times = QueryValue(request, "times");
  if (times.empty()) return request;
  std::size_t seen = 0;
  {
    std::lock_guard lock(shared.mutex);
    for (std::size_t i = 0; i <= request.index && i < shared.requests.size(); ++i)
      if (shared.requests[i].target == request.record.target) ++seen;
  }
  ParsedRequest effective = request;
  if (seen > std::strtoull(times.c_str(), nullptr, 10)) {
    for (const char* key : {"fault", "stall", "range", "length", "chunked", "status", "rate", "head"})
      effective.query.erase(key);
  }
  return effective;
}

}  // namespace

bool Answer(ServerStream& stream, HttpTestServer::Shared& shared, const ParsedRequest& original) {
  const ParsedRequest request = WithFaultsInForce(shared, original);
  if (QueryValue(request, "stall") == "headers" && !shared.Sleep(QueryNumber(request, "ms", 0))) return false;
  if (PlayBrokenAnswer(stream, shared, request)) return false;

  const RecordedRequest& record = request.record;
  const bool head = record.method == "HEAD";
  Resource resource;
  Body body;
  int status = 200;
  std::string lastModified = kTestLastModified;
  if (request.path == "/echo" && record.method == "POST") {
    body = FromText(record.body);
  } else if (shared.FindResource(request.path, &resource)) {
    body = FromText(resource.body);
    lastModified = resource.lastModified;
  } else if (request.path.rfind("/bytes/", 0) == 0) {
    body = Generated(std::strtoull(request.path.c_str() + 7, nullptr, 10));
  } else if (!FromFile(shared.options.root, request.path, &body)) {
    status = 404;
    body = FromText("not found\n");
  }
  if (const std::string lm = QueryValue(request, "lm"); !lm.empty()) lastModified = lm;
  if (const std::string forced = QueryValue(request, "status"); !forced.empty()) {
    status = std::atoi(forced.c_str());
    if (status != 200 && status != 206) body = FromText(status == 304 ? "" : std::string(Reason(status)) + "\n");
  }

  const std::string range = HeaderOf(record, "Range");
  if (QueryValue(request, "version") == "range" && !range.empty()) {
    // The file changed between the first answer and this continuation.
    body = OtherVersion(std::move(body));
    lastModified = kOtherLastModified;
  }
  const std::string etag = ETagOf(lastModified, body.size);

  std::string headers;
  std::uint64_t offset = 0;
  std::uint64_t length = body.size;
  if (status == 200 && !HeaderOf(record, "If-Modified-Since").empty() &&
      HeaderOf(record, "If-Modified-Since") == lastModified)
    status = 304;
  const std::string rangeMode = QueryValue(request, "range");
  // A Range whose If-Range names another version is answered with the
  // version the server has, whole.
  const std::string ifRange = HeaderOf(record, "If-Range");
  const bool sameVersion =
      ifRange.empty() || ifRange == etag || ifRange == lastModified || QueryValue(request, "ifrange") == "ignore";
  std::uint64_t extra = 0;  // bytes sent past the range's end
  if (status == 200 && !head && range.rfind("bytes=", 0) == 0 && range.find(',') == std::string::npos &&
      rangeMode != "ignore" && sameVersion) {
    char* end = nullptr;
    const std::uint64_t first = std::strtoull(range.c_str() + 6, &end, 10);
    std::uint64_t last = *end == '-' && end[1] ? std::strtoull(end + 1, nullptr, 10) : body.size - 1;
    if (first >= body.size) {
      status = 416;
      headers += "Content-Range: bytes */" + std::to_string(body.size) + "\r\n";
      length = 0;
    } else {
      last = std::min(last, body.size - 1);
      offset = rangeMode == "wrongstart" ? std::min(first + 1, last) : first;
      length = last - offset + 1;
      status = 206;
      headers += "Content-Range: bytes " + std::to_string(offset) + "-" + std::to_string(last) + "/" +
                 std::to_string(body.size) + "\r\n";
      if (rangeMode == "extra") extra = QueryNumber(request, "by", 1);
    }
  }
  if (status == 304 || status == 416) length = 0;

  Delivery delivery;
  const std::string fault = QueryValue(request, "fault");
  if (fault == "close" || fault == "reset") {
    delivery.faultAt = QueryNumber(request, "at", 0);
    delivery.reset = fault == "reset";
  }
  if (fault == "cut") delivery.faultAt = offset + QueryNumber(request, "after", 0);
  if (QueryValue(request, "stall") == "body") {
    delivery.stallAt = QueryNumber(request, "at", 0);
    delivery.stallMs = static_cast<long>(QueryNumber(request, "ms", 0));
  }
  delivery.rate = QueryNumber(request, "rate", 0);
  const std::string chunked = QueryValue(request, "chunked");
  delivery.chunked = !chunked.empty();
  if (chunked == "bad") delivery.badChunkAt = QueryNumber(request, "at", 0);

  const std::string lengthMode = QueryValue(request, "length");
  const std::uint64_t by = QueryNumber(request, "by", 1);
  bool keepAlive = request.keepAlive && fault.empty() && lengthMode.empty() && extra == 0;
  // A HEAD that tells another length than the GET's body has.
  const std::string headMode = QueryValue(request, "head");
  std::uint64_t announced = length + extra;
  if (head && headMode == "long") announced += by;
  if (head && headMode == "short") announced = announced >= by ? announced - by : 0;
  if (fault == "endlessbody") {
    length = std::numeric_limits<std::uint64_t>::max();
    body = Generated(length);
    keepAlive = false;
  } else if (delivery.chunked) {
    headers += "Transfer-Encoding: chunked\r\n";
  } else if (lengthMode == "short") {
    headers += "Content-Length: " + std::to_string(length >= by ? length - by : 0) + "\r\n";
  } else if (lengthMode == "long") {
    headers += "Content-Length: " + std::to_string(length + by) + "\r\n";
  } else if (lengthMode != "none" && status != 304) {
    headers += "Content-Length: " + std::to_string(announced) + "\r\n";
  }
  if (status == 407) headers += "Proxy-Authenticate: Basic realm=\"kv-test\"\r\n";
  if (status != 304) headers += "Content-Type: application/octet-stream\r\n";
  std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
  answer += "Server: kv-test\r\nLast-Modified: " + lastModified + "\r\nETag: " + etag + "\r\nAccept-Ranges: bytes\r\n" +
            headers;
  answer += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
  if (!stream.Write(answer)) return false;
  if (head) return keepAlive;
  if (length == 0) return (!delivery.chunked || stream.Write("0\r\n\r\n")) && keepAlive;
  if (!SendBody(stream, shared, body, offset, length, delivery)) return false;
  if (extra > 0) {
    stream.Write(std::string(extra, '#'));
    return false;
  }
  return keepAlive;
}

}  // namespace kv::test
