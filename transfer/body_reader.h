#pragma once
// Reading a response body in the amounts the server has made available,
// into whatever keeps it (a temporary file, or the resumable download's
// memory buffer), until the body ends, the expected length is reached or a
// call fails.

#include <cstdint>
#include <functional>

#include "platform/win_types.h"
#include "transfer/request_handle_set.h"

namespace kv {

// Where the bytes of a body go.
class BodySink {
 public:
  virtual ~BodySink() = default;
  // Room for up to *count bytes; the sink may lower *count. 0, or the code
  // of a failed save (logged by the sink).
  virtual DWORD Room(DWORD* count, char** room) = 0;
  // count bytes were read into the room: 0, or the code of a failed write
  // (logged by the sink).
  virtual DWORD Keep(DWORD count) = 0;
  // Drops every byte kept: the body comes again from its first byte.
  virtual DWORD StartOver() = 0;
};

// The texts that tell one download's loop from another's.
struct BodyTexts {
  const char* operation;
  const char* reachedLine;  // logged when the expected length is reached
  bool logAvailable;        // each answer to "how much is there?" logged
};

struct BodyReadResult {
  DWORD code = 0;            // 0 when the body or the answer ended, or the length was reached
  bool queryFailed = false;  // the code came from waiting for data
  bool overrun = false;      // the server had bytes beyond those the answer announced
};

// Called when waiting for data fails: 0 when the body goes on with a new
// request in the set (asked once more), else the code that ends the loop.
using BodyRecovery = std::function<DWORD(DWORD code)>;

// total counts the bytes of the body held so far (the caller's count goes
// on across requests); expected is the Content-Length, 0 when unknown. end
// is one past the last byte the answer in the set brings (a recovery moves
// it): no byte beyond it is read, so that what a server sends past what it
// announced never lands in the file.
BodyReadResult ReadBody(RequestHandleSet& set, const BodyTexts& texts, BodySink& sink, std::uint64_t& total,
                        std::uint64_t expected, const std::uint64_t& end, const BodyRecovery& recover);

}  // namespace kv
