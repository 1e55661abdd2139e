// Fuzz target for the response heads of the emulated machine's HTTP: the
// bytes read as a status line and header lines (LF or CR LF, continuation
// lines among them) and as the header text a program hands over; then every
// query a program makes of a head, into buffers of every size. Nothing may
// crash, and no query writes past the buffer it is given (each buffer is
// exactly its size, for the sanitizer to see).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "platform/http.h"
#include "platform/posix/http_headers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  posix::HttpMessageHead head;
  std::size_t start = 0;
  bool first = true;
  while (start <= bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first)
      posix::StartResponseHead(head, line);
    else
      posix::AddResponseHeaderLine(head, line);
    first = false;
    start = end + 1;
  }
  const DWORD levels[] = {WINHTTP_QUERY_STATUS_CODE,
                          WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_QUERY_STATUS_TEXT,
                          WINHTTP_QUERY_VERSION,
                          WINHTTP_QUERY_CONTENT_LENGTH,
                          WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_QUERY_LAST_MODIFIED,
                          WINHTTP_QUERY_RAW_HEADERS,
                          WINHTTP_QUERY_RAW_HEADERS_CRLF,
                          WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER64,
                          WINHTTP_QUERY_ACCEPT_RANGES,
                          WINHTTP_QUERY_CONTENT_RANGE,
                          WINHTTP_QUERY_ETAG,
                          WINHTTP_QUERY_CUSTOM};
  for (const DWORD level : levels) {
    for (const DWORD capacity : {DWORD{0}, DWORD{2}, DWORD{4}, DWORD{7}, DWORD{8}, DWORD{64}, DWORD{4096}}) {
      std::vector<char> buffer(capacity);
      DWORD length = capacity;
      DWORD index = 0;
      (void)posix::QueryHead(head, level, u"Content-Range", capacity ? buffer.data() : nullptr, &length, &index);
    }
  }
  std::u16string wide(bytes.begin(), bytes.end());
  posix::HttpHeaderList headers;
  (void)posix::ParseHeaderLines(wide, &headers);
  return 0;
}
