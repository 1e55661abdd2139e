#pragma once
// Downloading a body in Range blocks with a pause after each, so that a
// download takes about one block per 600 ms and leaves the line to others.

#include <cstdint>
#include <string_view>

#include "platform/win_types.h"
#include "transfer/body_reader.h"
#include "transfer/resource_version.h"
#include "transfer/transfer_types.h"

namespace kv {

// A block that took less than this is followed by the rest of the period;
// a longer one (or one across midnight) by the short pause.
constexpr DWORD kBlockPeriodMs = 600;
constexpr DWORD kSlowBlockMs = 450;
constexpr DWORD kShortPauseMs = 100;

// Milliseconds since local midnight.
DWORD TimeOfDayMs();
// The pause after a block that began and ended at these times of day.
DWORD BlockPauseMs(DWORD startMs, DWORD endMs);
// Bytes in one block at a transfer rate in KB per second: 500 ms of it.
// 0 means no limit: the whole body in one request.
DWORD BlockSizeBytes(int rateKBps);

struct PacedDownload {
  const ConnectionParameters& params;
  std::u16string_view destination;
  int requestType;
  const char* operation;
  // The resumable download logs its blocks more loudly, counts a refused
  // connection or a reset like a time-out, and leaves a refused status to
  // its caller's log.
  bool resumable;
  DWORD blockSize;
  std::uint64_t contentLength;
  const ResourceVersion& version;  // of the first answer
  const char* reachedLine;
};

// Fetches the bytes from total to the content length, block by block, into
// the sink. 0, or the code (or HTTP status) that ended the download.
[[nodiscard]] DWORD FetchInPacedBlocks(const PacedDownload& download, BodySink& sink, std::uint64_t& total);

}  // namespace kv
