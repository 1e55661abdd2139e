#include "platform/posix/http_headers.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "platform/ascii.h"
#include "platform/http.h"
#include "platform/unicode.h"

namespace kv::posix {
namespace {

bool IsBlankOrLineEnd(char c) { return ascii::IsSpaceOrTab(c) || c == '\r' || c == '\n'; }

// Blanks off the start; blanks and what is left of a line end off the end.
std::string_view Trim(std::string_view text) {
  text = ascii::TrimLeft(text, ascii::IsSpaceOrTab<char>);
  text = ascii::TrimRight(text, IsBlankOrLineEnd);
  return text;
}

// A header name is a token: visible ASCII without separators.
bool IsToken(std::string_view name) {
  if (name.empty()) return false;
  for (unsigned char c : name)
    if (c <= 32 || c >= 127 || std::strchr("()<>@,;:\\\"/[]?={}", c)) return false;
  return true;
}

template <typename List>
auto FindIn(List& list, std::string_view name) {
  return std::find_if(list.begin(), list.end(), [&](const HttpHeader& h) { return EqualsNoCase(h.name, name); });
}

// The header each information level stands for.
std::string_view HeaderNameOfLevel(DWORD level) {
  static constexpr std::string_view kNames[] = {"MIME-Version",
                                                "Content-Type",
                                                "Content-Transfer-Encoding",
                                                "Content-ID",
                                                "Content-Description",
                                                "Content-Length",
                                                "Content-Language",
                                                "Allow",
                                                "Public",
                                                "Date",
                                                "Expires",
                                                "Last-Modified",
                                                "Message-ID",
                                                "URI",
                                                "Derived-From",
                                                "Cost",
                                                "Link",
                                                "Pragma",
                                                "",
                                                "",
                                                "",
                                                "",
                                                "",
                                                "Connection",
                                                "Accept",
                                                "Accept-Charset",
                                                "Accept-Encoding",
                                                "Accept-Language",
                                                "Authorization",
                                                "Content-Encoding",
                                                "Forwarded",
                                                "From",
                                                "If-Modified-Since",
                                                "Location",
                                                "Orig-URI",
                                                "Referer",
                                                "Retry-After",
                                                "Server",
                                                "Title",
                                                "User-Agent",
                                                "WWW-Authenticate",
                                                "Proxy-Authenticate",
                                                "Accept-Ranges",
                                                "Set-Cookie",
                                                "Cookie",
                                                "",
                                                "Refresh",
                                                "Content-Disposition",
                                                "Age",
                                                "Cache-Control",
                                                "Content-Base",
                                                "Content-Location",
                                                "Content-MD5",
                                                "Content-Range",
                                                "ETag",
                                                "Host",
                                                "If-Match",
                                                "If-None-Match",
                                                "If-Range",
                                                "If-Unmodified-Since",
                                                "Max-Forwards",
                                                "Proxy-Authorization",
                                                "Range",
                                                "Transfer-Encoding",
                                                "Upgrade",
                                                "Vary",
                                                "Via",
                                                "Warning",
                                                "Expect",
                                                "Proxy-Connection",
                                                "Unless-Modified-Since"};
  return level < std::size(kNames) ? kNames[level] : std::string_view();
}

// The text a level answers with, or an error code.
DWORD TextOf(const HttpMessageHead& head, DWORD level, std::u16string_view customName, DWORD wanted,
             std::string* text) {
  auto single = [&](const std::string& value, bool present) {
    if (!present || wanted > 0) return ERROR_WINHTTP_HEADER_NOT_FOUND;
    *text = value;
    return ERROR_SUCCESS;
  };
  switch (level) {
    case WINHTTP_QUERY_STATUS_CODE: return single(std::to_string(head.status), head.method.empty() && head.status != 0);
    case WINHTTP_QUERY_STATUS_TEXT: return single(head.statusText, head.method.empty() && head.status != 0);
    case WINHTTP_QUERY_VERSION: return single(head.version, !head.version.empty());
    case WINHTTP_QUERY_REQUEST_METHOD: return single(head.method, !head.method.empty());
    case WINHTTP_QUERY_RAW_HEADERS:
    case WINHTTP_QUERY_RAW_HEADERS_CRLF: {
      const std::string_view end = level == WINHTTP_QUERY_RAW_HEADERS ? std::string_view("\0", 1) : "\r\n";
      std::string raw;
      for (const auto& line : head.lines) (raw += line) += end;
      raw += end;
      return single(raw, true);
    }
    default: break;
  }
  std::string name;
  if (level == WINHTTP_QUERY_CUSTOM) {
    name = Utf16ToUtf8(customName);
  } else {
    name = std::string(HeaderNameOfLevel(level));
  }
  if (name.empty()) return ERROR_WINHTTP_INVALID_QUERY_REQUEST;
  DWORD seen = 0;
  for (const auto& header : head.headers) {
    if (!EqualsNoCase(header.name, name)) continue;
    if (seen++ == wanted) {
      *text = header.value;
      return ERROR_SUCCESS;
    }
  }
  return ERROR_WINHTTP_HEADER_NOT_FOUND;
}

template <typename Number>
DWORD WriteNumber(std::string_view text, void* buffer, DWORD* bufferLength) {
  text = Trim(text);
  Number value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return ERROR_INVALID_DATA;
  if (!buffer || *bufferLength < sizeof(Number)) {
    *bufferLength = sizeof(Number);
    return ERROR_INSUFFICIENT_BUFFER;
  }
  std::memcpy(buffer, &value, sizeof value);
  *bufferLength = sizeof(Number);
  return ERROR_SUCCESS;
}

DWORD WriteText(std::string_view text, void* buffer, DWORD* bufferLength) {
  const std::u16string wide = Utf8ToUtf16(text);
  const std::size_t bytes = wide.size() * sizeof(char16_t);
  if (bytes + sizeof(char16_t) > std::numeric_limits<DWORD>::max()) return ERROR_NOT_ENOUGH_MEMORY;
  if (!buffer || *bufferLength < bytes + sizeof(char16_t)) {
    *bufferLength = static_cast<DWORD>(bytes + sizeof(char16_t));
    return ERROR_INSUFFICIENT_BUFFER;
  }
  std::memcpy(buffer, wide.data(), bytes);
  std::memset(static_cast<char*>(buffer) + bytes, 0, sizeof(char16_t));
  *bufferLength = static_cast<DWORD>(bytes);
  return ERROR_SUCCESS;
}

}  // namespace

DWORD ParseHeaderLines(std::u16string_view text, HttpHeaderList* headers) {
  text = text.substr(0, text.find(u'\0'));
  const std::string utf8 = Utf16ToUtf8(text);
  std::string_view rest = utf8;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (Trim(line).empty()) continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) return ERROR_WINHTTP_INVALID_HEADER;
    headers->push_back({std::string(line.substr(0, colon)), std::string(Trim(line.substr(colon + 1)))});
  }
  return ERROR_SUCCESS;
}

DWORD EditHeaders(HttpHeaderList& list, const HttpHeaderList& headers, DWORD modifiers) {
  for (const auto& header : headers) {
    const auto found = FindIn(list, header.name);
    if (modifiers & WINHTTP_ADDREQ_FLAG_REPLACE) {
      if (found != list.end()) {
        if (header.value.empty()) {
          list.erase(found);
        } else {
          found->value = header.value;
        }
      } else if (!(modifiers & WINHTTP_ADDREQ_FLAG_ADD)) {
        return ERROR_WINHTTP_HEADER_NOT_FOUND;
      } else if (!header.value.empty()) {
        list.push_back(header);
      }
    } else if (modifiers & WINHTTP_ADDREQ_FLAG_ADD_IF_NEW) {
      if (found != list.end()) return ERROR_WINHTTP_HEADER_ALREADY_EXISTS;
      list.push_back(header);
    } else if (modifiers & (WINHTTP_ADDREQ_FLAG_COALESCE_WITH_COMMA | WINHTTP_ADDREQ_FLAG_COALESCE_WITH_SEMICOLON)) {
      if (found == list.end()) {
        list.push_back(header);
      } else {
        found->value += (modifiers & WINHTTP_ADDREQ_FLAG_COALESCE_WITH_COMMA) ? ", " : "; ";
        found->value += header.value;
      }
    } else {
      list.push_back(header);
    }
  }
  return ERROR_SUCCESS;
}

const HttpHeader* FindHeader(const HttpHeaderList& list, std::string_view name) {
  const auto found = FindIn(list, name);
  return found == list.end() ? nullptr : &*found;
}

void StartResponseHead(HttpMessageHead& head, std::string_view statusLine) {
  head = HttpMessageHead();
  statusLine = Trim(statusLine);
  head.lines.emplace_back(statusLine);
  // "HTTP/1.1 200 OK": version, code, reason (which may be absent).
  const std::size_t space = statusLine.find(' ');
  head.version = std::string(statusLine.substr(0, space));
  if (space == std::string_view::npos) return;
  std::string_view rest = statusLine.substr(space + 1);
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), head.status);
  if (error != std::errc()) head.status = 0;
  head.statusText = std::string(Trim(rest.substr(end - rest.data())));
}

void AddResponseHeaderLine(HttpMessageHead& head, std::string_view line) {
  line = Trim(line);
  if (line.empty()) return;
  head.lines.emplace_back(line);
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  head.headers.push_back({std::string(Trim(line.substr(0, colon))), std::string(Trim(line.substr(colon + 1)))});
}

HttpMessageHead RequestHead(std::string_view method, std::string_view path, std::string_view version,
                            const HttpHeaderList& headers) {
  HttpMessageHead head;
  head.method = std::string(method);
  head.version = std::string(version);
  head.lines.push_back(head.method + " " + std::string(path) + " " + head.version);
  for (const auto& header : headers) head.lines.push_back(header.name + ": " + header.value);
  head.headers = headers;
  return head;
}

DWORD QueryHead(const HttpMessageHead& head, DWORD infoLevel, std::u16string_view name, void* buffer,
                DWORD* bufferLength, DWORD* index) {
  if (!bufferLength) return ERROR_INVALID_PARAMETER;
  const DWORD level = infoLevel & 0xFFFF;
  const DWORD modifiers = infoLevel & 0xFFFF0000 & ~WINHTTP_QUERY_FLAG_REQUEST_HEADERS;
  if (modifiers & ~(WINHTTP_QUERY_FLAG_NUMBER | WINHTTP_QUERY_FLAG_NUMBER64) ||
      modifiers == (WINHTTP_QUERY_FLAG_NUMBER | WINHTTP_QUERY_FLAG_NUMBER64))
    return ERROR_WINHTTP_INVALID_QUERY_REQUEST;
  std::string text;
  const DWORD wanted = index ? *index : 0;
  if (const DWORD error = TextOf(head, level, name, wanted, &text)) return error;
  DWORD result;
  if (modifiers & WINHTTP_QUERY_FLAG_NUMBER) {
    result = WriteNumber<DWORD>(text, buffer, bufferLength);
  } else if (modifiers & WINHTTP_QUERY_FLAG_NUMBER64) {
    result = WriteNumber<QWORD>(text, buffer, bufferLength);
  } else {
    result = WriteText(text, buffer, bufferLength);
  }
  if (result == ERROR_SUCCESS && index) ++*index;
  return result;
}

}  // namespace kv::posix
