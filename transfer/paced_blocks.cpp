#include "transfer/paced_blocks.h"

#include <algorithm>

#include "base/log_writer.h"
#include "platform/system.h"
#include "platform/unicode.h"
#include "transfer/range_request.h"
#include "transfer/reconnect_budget.h"
#include "transfer/request_handle.h"
#include "transfer/transfer_state.h"

namespace kv {
namespace {

constexpr DWORD kBytesPerKBPerHalfSecond = 500;

bool IsLostConnection(DWORD code, bool resumable) {
  if (code == ERROR_WINHTTP_TIMEOUT) return true;
  return resumable && (code == ERROR_WINHTTP_CANNOT_CONNECT || code == ERROR_WINHTTP_CONNECTION_ERROR);
}

}  // namespace

DWORD TimeOfDayMs() {
  const SystemTime now = GetLocalTime();
  return static_cast<DWORD>(((now.hour * 60 + now.minute) * 60 + now.second) * 1000 + now.milliseconds);
}

DWORD BlockPauseMs(DWORD startMs, DWORD endMs) {
  if (endMs >= startMs && endMs - startMs < kSlowBlockMs) return kBlockPeriodMs - (endMs - startMs);
  return kShortPauseMs;
}

DWORD BlockSizeBytes(int rateKBps) {
  return rateKBps > 0 ? static_cast<DWORD>(rateKBps) * kBytesPerKBPerHalfSecond : 0;
}

DWORD FetchInPacedBlocks(const PacedDownload& download, BodySink& sink, std::uint64_t& total) {
  const char* op = download.operation;
  const BodyTexts texts{op, download.reachedLine, true};
  // A block that lost its connection is asked for again from where it
  // stopped, as long as the budget grants it; a whole block renews it.
  ReconnectBudget budget;
  while (total < download.contentLength) {
    const DWORD startMs = TimeOfDayMs();
    const std::uint64_t first = total;
    // Without a limit the one block runs to the end, wherever it starts.
    const std::uint64_t last = download.blockSize == 0
                                   ? download.contentLength
                                   : std::min<std::uint64_t>(first + download.blockSize - 1, download.contentLength);
    const RangeAsked asked{first, last, download.contentLength, download.version};
    LogDebug("%s: Content-Range Header message: %s\n", op, Utf16ToUtf8(RangeHeader(first, last)).c_str());
    const std::u16string headers = RangeRequestHeaders(asked);
    RequestHandleSet block;
    block.requestMode = REQUEST_MODE_EXTRA_HEADER;
    block.extraHeader = headers;
    DWORD rc = GetInternetRequestHandle(download.params, download.destination, download.requestType, true, block);
    const auto status = static_cast<DWORD>(block.httpStatus);
    if (download.resumable) {
      LogError("%s: GetInternetRequestHandle function return code: %u  %d\n", op, static_cast<unsigned>(rc),
               static_cast<int>(status));
    } else {
      LogDebug("%s: GetInternetRequestHandle function return code: %u\n", op, static_cast<unsigned>(rc));
    }
    if (rc != ERROR_SUCCESS) return rc;
    if (status != 200 && status != 206) {
      if (!download.resumable) LogError("%s : Failed with the http status code %d \n", op, static_cast<int>(status));
      return status;
    }
    std::uint64_t end = 0;
    if ((rc = AcceptRangeAnswer(op, block, asked, sink, total, &end)) != ERROR_SUCCESS) return rc;

    const BodyReadResult read = ReadBody(block, texts, sink, total, download.contentLength, end, nullptr);
    if (read.code != ERROR_SUCCESS && (!read.queryFailed || !IsLostConnection(read.code, download.resumable)))
      return read.code;
    // An answer that ended before the bytes it announced lost its connection,
    // whatever the HTTP layer made of the end.
    const DWORD lostWith = read.code != ERROR_SUCCESS ? read.code : total < end ? ERROR_WINHTTP_CONNECTION_ERROR : 0;
    const bool lost = lostWith != ERROR_SUCCESS;
    if (lost) {
      CloseRequestHandleSet(block);
      if (!budget.Grant(op, total)) return lostWith;
    }
    if (download.resumable) {
      LogInfo("%s: Bytes Read: %d\n", op, static_cast<int>(total));
    } else {
      LogDebug("%s: Bytes Read: %d\n", op, static_cast<int>(total));
    }
    if (lost) {
      LogInfo("%s : second attempt of the previous request\n", op);
      continue;
    }
    budget = ReconnectBudget();
    CloseRequestHandleSet(block);
    TransferSleep(BlockPauseMs(startMs, TimeOfDayMs()));
  }
  return ERROR_SUCCESS;
}

}  // namespace kv
