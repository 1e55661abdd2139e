#pragma once
// What every transfer operation takes and answers: the request types that
// select an operation and its settings, the connection parameters of the
// server and proxy, and the result codes beyond WinHTTP's own.

#include <string>

#include "platform/win_types.h"

namespace kv {

// Request types, passed by the caller to every operation.
constexpr int GET_DATA = 11001;              // GET, reply in memory; time-outs set
constexpr int SEND_DATA = 11002;             // POST of a buffer; time-outs set
constexpr int DOWNLOAD_FILE = 11003;         // GET into a destination file; may resume
constexpr int SEND_DATA_PLAIN = 11004;       // POST of a buffer; no time-outs, no extra header
constexpr int SEND_MULTIPART = 11005;        // POST of a buffer as multipart/form-data
constexpr int SEND_FILE_BY_BITRATE = 11006;  // POST of a file in chunks

// Results besides 0, HTTP statuses, WinHTTP and system error codes.
constexpr DWORD TRANSFER_NO_DATA = 13;          // no data, or an unexpected failure
constexpr DWORD TRANSFER_UNREADABLE_DATA = 6;   // downloaded data cannot be read back
constexpr DWORD PARTIAL_DOWNLOAD_RESULT = 707;  // fewer bytes stored than the Content-Length
constexpr DWORD NOT_MODIFIED_RESULT = 90001;    // the server answered 304

// Where a request goes and how: the server, the proxy and the object, in the
// order the operations have always taken them.
struct ConnectionParameters {
  bool useProxy = false;  // go through the named proxy
  std::string protocol;   // "http" or "https" (any case)
  std::u16string serverName;
  int serverPort = 0;
  std::u16string proxyServerName;
  std::u16string proxyByPass = u"<local>";
  std::u16string proxyUserName;
  std::u16string proxyPassword;  // decoded
  std::u16string objectPath;     // the URL's path and query
};

// Whether the parameters ask for https.
bool IsSecure(const ConnectionParameters& params);

}  // namespace kv
