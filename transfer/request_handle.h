#pragma once
// One GET or HEAD request opened and sent for a download, with the retry
// rule, its handles left in a RequestHandleSet for the caller to read and
// close; and the Last-Modified of its response.

#include <string>
#include <string_view>

#include "platform/http.h"
#include "transfer/request_handle_set.h"
#include "transfer/transfer_types.h"

namespace kv {

// Opens and sends a request as the set's requestMode says (its extra header
// for REQUEST_MODE_EXTRA_HEADER, an If-Modified-Since while that is on),
// storing each handle in the set. 0 when a response status other than 407
// was read into set.httpStatus, 407 when the proxy refused the credentials,
// otherwise the error code. destination is looked for only to decide on the
// If-Modified-Since header of a DOWNLOAD_FILE request.
[[nodiscard]] DWORD GetInternetRequestHandle(const ConnectionParameters& params, std::u16string_view destination,
                                             int requestType, bool keepAlive, RequestHandleSet& set);

// The response's Last-Modified header into out: 0 or the error code.
[[nodiscard]] DWORD GetFilelastmodifiedTime(HINTERNET request, std::u16string& out);

}  // namespace kv
