#pragma once
// The one way agent code talks to a server. The caller names a
// server-relative path, the request type and whether the request must go to
// the management server; this picks the server (management or distribution),
// the path for the product edition and the proxy, and tries the server under
// each of its known addresses in a fixed order until one answers. The
// address that answered is the server's last access name from then on, in
// the settings and in the registry, and is tried first next time.

#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace kv {

// How a GET is made: whole, in paced blocks, or not at all (the data is
// then not converted either).
constexpr int TRANSFER_MODE_NORMAL = 0;
constexpr int TRANSFER_MODE_PACED = 1;
constexpr int TRANSFER_MODE_NO_DOWNLOAD = 2;

// Results after which the next address is tried: the name was not
// resolved, no connection, a time-out, an invalid URL, HTTP 400.
[[nodiscard]] bool IsAddressRetryResult(DWORD result);
// 0, or 90001 (not modified).
[[nodiscard]] bool IsRequestSuccess(DWORD result);

// path: relative to the server, UTF-8, backslashes allowed. data: the body
// of the posting types (for SEND_FILE_BY_BITRATE the file's path); for
// GET_DATA and DOWNLOAD_FILE the destination (a Windows file path for
// DOWNLOAD_FILE); may be null. reply: receives the reply text. toServer 1
// forces the management server. postArgument: the post size of
// SEND_MULTIPART, the chunk size of SEND_FILE_BY_BITRATE. The result of the
// last attempt made; 12007 when no address was long enough to try.
[[nodiscard]] DWORD AgentSendRequest(const char* path, const std::string* data, std::string* reply, int requestType,
                                     bool keepAlive, std::uint8_t toServer, DWORD postArgument, int transferMode);

// GET_DATA from the management server, the reply text into reply.
[[nodiscard]] DWORD AgentSendRequestGetData(const char* path, std::string* reply, bool keepAlive);

}  // namespace kv
