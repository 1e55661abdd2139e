#pragma once
// Which version of a file an answer belongs to, by the validators the server
// gives it: its ETag and its Last-Modified. Every byte of a download comes
// from one version: a continuation asks for the rest only of the version the
// download began with (If-Range), and an answer of another version is not
// appended to bytes of the first.

#include <string>

#include "platform/http.h"

namespace kv {

struct ResourceVersion {
  std::u16string etag;          // as the server sends it, quotes included; empty when none
  std::u16string lastModified;  // empty when none

  // Whether the server told anything by which versions can be told apart.
  bool Known() const { return !etag.empty() || !lastModified.empty(); }
};

// The validators of a response.
ResourceVersion ReadResourceVersion(HINTERNET request);

// Whether an answer belongs to the version: every validator the version has
// is in the answer, and the same.
bool SameVersion(const ResourceVersion& version, const ResourceVersion& answer);

// "If-Range: " with the version's ETag when it is a strong one, else its
// Last-Modified; empty when it has neither.
std::u16string IfRangeHeader(const ResourceVersion& version);

}  // namespace kv
