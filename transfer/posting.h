#pragma once
// Posting to the agent's server: a buffer held in memory, or a file streamed
// in chunks. Both may hand the server's reply back.

#include <string>

#include "platform/win_types.h"
#include "transfer/transfer_types.h"

namespace kv {

// POSTs data (null: nothing to post, result 13) with request type
// SEND_DATA, SEND_DATA_PLAIN or SEND_MULTIPART. The body is data up to its
// first NUL, or for SEND_MULTIPART with a postSize the first postSize bytes
// (never more than data holds). reply, when given, receives the body of a
// 200 answer. 0 for 200, 407, another status, or an error code.
[[nodiscard]] DWORD InternetSendRequestEx(const ConnectionParameters& params, const std::string* data,
                                          std::string* reply, int requestType, bool keepAlive, DWORD postSize);

// POSTs the file at filePath (a narrow path), reading and writing chunkSize
// bytes at a time. 13 when there is no path or the file is empty or its size
// cannot be taken; otherwise as InternetSendRequestEx.
[[nodiscard]] DWORD InternetSendRequestByBitRate(const ConnectionParameters& params, const char* filePath,
                                                 std::string* reply, DWORD chunkSize);

}  // namespace kv
