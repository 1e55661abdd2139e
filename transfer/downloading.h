#pragma once
// Downloads from the agent's server: small documents into memory (GET_DATA)
// and files into a destination (DOWNLOAD_FILE). The body lands in a
// temporary file first and is handed over only when it is complete; with
// the registry's DownloadMode at 1 a file download takes the resumable path
// instead.

#include <string>
#include <string_view>

#include "platform/win_types.h"
#include "transfer/body_reader.h"
#include "transfer/transfer_types.h"

namespace kv {

// The whole body in one response. For GET_DATA reply receives the body as
// text; for DOWNLOAD_FILE destination (a Windows path) receives the file.
// 0, 90001 for 304, 707 for a body shorter than its Content-Length, 6 when
// the data cannot be read back, an HTTP status, or an error code.
[[nodiscard]] DWORD InternetGetRequestEx(const ConnectionParameters& params, std::u16string_view destination,
                                         std::string* reply, int requestType, bool keepAlive);

// The body in Range blocks of gv_dataTransferRateKBps x 500 bytes, a pause
// after each; with DownloadMode 1 any request type takes the resumable path.
// Results as InternetGetRequestEx, 12150 for a body without Content-Length.
[[nodiscard]] DWORD InternetGetRequestByBitrate(const ConnectionParameters& params, std::u16string_view destination,
                                                std::string* reply, int requestType, bool keepAlive);

// Whether a file download of params takes the resumable path: the
// registry's DownloadMode is 1 (or the process turned the mode on) and the
// resource is no XML or JSON document.
[[nodiscard]] bool DownloadsResumably(const ConnectionParameters& params);

// A download whose body the caller keeps: each piece goes to sink as it
// arrives and nothing is written or held here, for a program that hands the
// body on as it comes (to standard output, or to a file outside the machine
// image). The request is a DOWNLOAD_FILE's; paced, it goes in the Range
// blocks of InternetGetRequestByBitrate. The registry's DownloadMode does
// not apply: there is no partial file to resume from. Results as
// InternetGetRequestEx; a failing sink ends the download with its code
// (also when a server sends the whole body again after a lost connection
// and the sink cannot start over).
[[nodiscard]] DWORD InternetGetRequestIntoSink(const ConnectionParameters& params, BodySink& sink, bool paced,
                                               bool keepAlive);

}  // namespace kv
