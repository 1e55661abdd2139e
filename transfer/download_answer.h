#pragma once
// The first answer of a download: whether there is anything to fetch, and
// what the server says of it (its version, Content-Length).

#include <string>

#include "platform/win_types.h"
#include "transfer/request_handle_set.h"
#include "transfer/resource_version.h"

namespace kv {

struct FirstAnswerTexts {
  const char* operation;
  const char* notModifiedFormat;  // with one %s: the Last-Modified asked with
  const char* failedFormat;       // with one %d: the status
};

// 304 gives NOT_MODIFIED_RESULT, a status other than 200 the status. For
// 200, Last-Modified goes into *lastModified when that is given, the
// validators into *version, and the Content-Length into *contentLength (0
// when the server sent none and lengthMayBeMissing); 0, or the code of the
// failed query.
[[nodiscard]] DWORD ReadFirstAnswer(const FirstAnswerTexts& texts, const RequestHandleSet& set, bool lengthMayBeMissing,
                                    std::u16string* lastModified, ResourceVersion* version, DWORD* contentLength);

}  // namespace kv
