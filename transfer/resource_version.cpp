#include "transfer/resource_version.h"

#include <vector>

namespace kv {
namespace {

std::u16string QueryText(HINTERNET request, DWORD infoLevel) {
  DWORD size = 0;
  if (WinHttpQueryHeaders(request, infoLevel, {}, nullptr, &size, nullptr) != ERROR_INSUFFICIENT_BUFFER) return {};
  std::vector<char16_t> text(size / sizeof(char16_t) + 1, u'\0');
  if (WinHttpQueryHeaders(request, infoLevel, {}, text.data(), &size, nullptr) != ERROR_SUCCESS) return {};
  return std::u16string(text.data());
}

}  // namespace

ResourceVersion ReadResourceVersion(HINTERNET request) {
  return {QueryText(request, WINHTTP_QUERY_ETAG), QueryText(request, WINHTTP_QUERY_LAST_MODIFIED)};
}

bool SameVersion(const ResourceVersion& version, const ResourceVersion& answer) {
  return (version.etag.empty() || version.etag == answer.etag) &&
         (version.lastModified.empty() || version.lastModified == answer.lastModified);
}

std::u16string IfRangeHeader(const ResourceVersion& version) {
  // A weak ETag does not promise the same bytes, so it cannot stand for them.
  const bool strongETag = !version.etag.empty() && version.etag.rfind(u"W/", 0) != 0;
  if (strongETag) return u"If-Range: " + version.etag;
  if (!version.lastModified.empty()) return u"If-Range: " + version.lastModified;
  return {};
}

}  // namespace kv
