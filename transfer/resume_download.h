#pragma once
// Resumable downloads: the body goes into a partial file that outlives the
// process, so that a later attempt continues where an earlier one stopped.
// Taken by the downloads of downloading.h when the registry's DownloadMode
// is 1.

#include <string>
#include <string_view>

#include "platform/win_types.h"
#include "transfer/transfer_types.h"

namespace kv {

// The rest of the file in one Range request. Results as
// InternetGetRequestEx; a run that stops early keeps its partial file.
[[nodiscard]] DWORD ResumeGetRequestEx(const ConnectionParameters& params, std::u16string_view destination,
                                       std::string* reply, int requestType, bool keepAlive);
// The rest of the file in paced Range blocks.
[[nodiscard]] DWORD ResumeGetRequestByBitrate(const ConnectionParameters& params, std::u16string_view destination,
                                              std::string* reply, int requestType, bool keepAlive);

}  // namespace kv
