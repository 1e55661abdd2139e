#pragma once
// What an answer to a Range request means for the bytes a download already
// holds. Only an answer that says exactly which bytes it brings, brings them
// from where the held bytes end, and belongs to a body as long as the one
// being downloaded can be appended; anything else would splice the file.

#include <cstdint>
#include <string>

#include "platform/http.h"
#include "transfer/resource_version.h"

namespace kv {

// What a Range request asked for: the bytes from offset (those held) up to
// last (inclusive; the server may end sooner) of a body of length bytes, of
// the version the download began with.
struct RangeAsked {
  std::uint64_t offset;
  std::uint64_t last;
  std::uint64_t length;
  const ResourceVersion& version;
};

// "Range: bytes=FIRST-LAST".
std::u16string RangeHeader(std::uint64_t first, std::uint64_t last);

// "Range: bytes=OFFSET-LAST", and the If-Range of the version when it has a
// validator, so that a server whose file changed sends the new one whole.
std::u16string RangeRequestHeaders(const RangeAsked& asked);

// The answer goes on from the held bytes, brings the body again from its
// first byte, belongs to another version of the file, or cannot be used.
enum class RangeAnswer { kContinues, kStartsOver, kOtherVersion, kUnusable };

struct RangeVerdict {
  RangeAnswer answer = RangeAnswer::kUnusable;
  std::uint64_t end = 0;  // one past the last byte of the body the answer brings
};

// Either must carry the version's validators. A 206 must name its bytes
// "bytes FIRST-LAST/LENGTH" with FIRST at the offset, LAST within what was
// asked and within the body, LENGTH the body's, and a Content-Length, when
// it has one, of exactly those bytes. A 200 is the whole body, as long as
// the one being downloaded.
RangeVerdict JudgeRangeAnswer(HINTERNET request, DWORD status, const RangeAsked& asked);

// The code a download ends with when an answer cannot be used: the status,
// or for a 200 or 206 that does not fit an answer that makes no sense.
DWORD UnusableRangeCode(DWORD status);

}  // namespace kv
