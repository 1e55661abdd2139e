#pragma once
// What a transfer result means, in words, for kvtransfer's last line.

#include <string>

#include "platform/win_types.h"

namespace kv::cli {

// The meaning of a result of the transfer layer: its own codes, an HTTP
// status, a WinHTTP error or a system error code.
std::string ResultMeaning(DWORD result);

// kvtransfer's exit statuses, one per class of failure.
enum ExitStatus : int {
  kExitSuccess = 0,
  kExitUsage = 1,
  kExitLocalFile = 2,
  kExitNameResolution = 3,
  kExitConnection = 4,
  kExitTimeOut = 5,
  kExitTls = 6,
  kExitHttpStatus = 7,
  kExitCutShort = 8,
  kExitInterrupted = 130,
};

// The class of a transfer's result. bodyStarted: bytes of the body had
// arrived (a connection lost then cut the transfer short; before, there
// was no usable connection).
ExitStatus ExitStatusOf(DWORD result, bool bodyStarted);

// One line for a person on a failure of the network, naming the server
// ("cannot connect to 127.0.0.1:9: connection refused"); detail is the
// backend's reason (WinHttpLastFailureDetail), possibly empty. Empty when
// the result line says all.
std::string FailureMessage(DWORD result, const std::string& server, const std::string& detail, bool bodyStarted);

// ResultMeaning, with the backend's reason where it says more than the
// code's text ("the server did not answer in TLS").
std::string ResultMeaning(DWORD result, const std::string& detail);

}  // namespace kv::cli
