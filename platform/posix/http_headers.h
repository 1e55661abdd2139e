#pragma once
// Request and response heads: the header lists a request is built from and
// a response is read into, the editing rules of WinHttpAddRequestHeaders and
// the look-ups of WinHttpQueryHeaders.

#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace kv::posix {

struct HttpHeader {
  std::string name;
  std::string value;
};
using HttpHeaderList = std::vector<HttpHeader>;

// Splits "Name: value" lines (CRLF or LF separated; the text ends at a NUL)
// into headers, in UTF-8. ERROR_WINHTTP_INVALID_HEADER for a line without a
// name and colon.
DWORD ParseHeaderLines(std::u16string_view text, HttpHeaderList* headers);

// Applies headers to a request's list with WinHttpAddRequestHeaders'
// modifiers.
DWORD EditHeaders(HttpHeaderList& list, const HttpHeaderList& headers, DWORD modifiers);

// The first header of that name (compared without regard to case), or null.
const HttpHeader* FindHeader(const HttpHeaderList& list, std::string_view name);

// A message head: the first line and the header lines as they came, and
// their meaning.
struct HttpMessageHead {
  std::vector<std::string> lines;  // without line ends; lines[0] is the first line
  HttpHeaderList headers;
  std::string version;     // "HTTP/1.1"
  DWORD status = 0;        // responses
  std::string statusText;  // responses
  std::string method;      // requests
};

// Reading a response head line by line: a status line starts a new head,
// a line starting with a blank continues the previous header.
void StartResponseHead(HttpMessageHead& head, std::string_view statusLine);
void AddResponseHeaderLine(HttpMessageHead& head, std::string_view line);

// The head of a request as it will be sent.
HttpMessageHead RequestHead(std::string_view method, std::string_view path, std::string_view version,
                            const HttpHeaderList& headers);

// WinHttpQueryHeaders on a head (without the request-headers modifier).
DWORD QueryHead(const HttpMessageHead& head, DWORD infoLevel, std::u16string_view name, void* buffer,
                DWORD* bufferLength, DWORD* index);

}  // namespace kv::posix
