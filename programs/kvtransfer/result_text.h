#pragma once
// What a transfer result means, in words, for kvtransfer's last line.

#include <string>

#include "platform/win_types.h"

namespace kv::cli {

// The meaning of a result of the transfer layer: its own codes, an HTTP
// status, a WinHTTP error or a system error code.
std::string ResultMeaning(DWORD result);

}  // namespace kv::cli
