#pragma once
// Asking for the rest of a body with a Range request, and deciding what the
// answer means for the bytes already held: a server may answer with the
// whole body or with a part that starts elsewhere, and appending either at
// the current offset would corrupt the file.

#include <cstdint>
#include <string_view>

#include "transfer/body_reader.h"
#include "transfer/range_answer.h"
#include "transfer/reconnect_budget.h"
#include "transfer/request_handle_set.h"
#include "transfer/transfer_types.h"

namespace kv {

// After the Range request asked (from total): 0 when the body can be read
// on up to *end (the sink started over when the server sent it whole), else
// the code that ends the download, logged; the bytes held stay as they are.
[[nodiscard]] DWORD AcceptRangeAnswer(const char* operation, const RequestHandleSet& set, const RangeAsked& asked,
                                      BodySink& sink, std::uint64_t& total, std::uint64_t* end);

// A download whose connection failed mid-body, asked for again from the
// bytes it holds.
struct RestOfBody {
  const ConnectionParameters& params;
  std::u16string_view destination;
  int requestType;
  bool keepAlive;
  const char* operation;      // leads the lines of the new attempt
  const char* soFarFormat;    // the "bytes read so far" line, with one %u
  const char* rangeLineName;  // leads the line that shows the Range header
  std::uint64_t contentLength;
  const ResourceVersion& version;  // of the first answer
  ReconnectBudget& budget;
};

// The connection failed with code: when the budget grants one more request,
// closes the set, requests the rest (from byte 0 when nothing is held) and
// judges the answer: 0 when the body goes on in the set up to *end, else the
// code that ends the download (code itself when no request is granted).
[[nodiscard]] DWORD RequestRestOfBody(const RestOfBody& rest, DWORD code, RequestHandleSet& set, BodySink& sink,
                                      std::uint64_t& total, std::uint64_t* end);

}  // namespace kv
