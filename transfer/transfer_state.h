#pragma once
// The transfer layer's process-wide state: the If-Modified-Since switch and
// the Last-Modified value it keeps, and how the layer waits and reports
// progress (so that a program can show it and tests can watch the pauses).

#include <cstdint>
#include <functional>
#include <string>

#include "platform/win_types.h"

namespace kv {

struct TransferState {
  // Only 1 turns the If-Modified-Since handling on; nothing in the agent
  // sets it, the transfer operations only read it.
  int ifModifiedSinceEnabled = 0;
  // The Last-Modified of the last successful download while the switch is on.
  std::u16string lastModifiedTime;

  // The resumable download mode for this process whatever the registry's
  // DownloadMode says, as DownloadMode 1 would turn it on: for a program
  // that asks for it on a single run. Nothing in the agent sets it.
  bool resumableDownloads = false;

  // How the layer pauses: before a resend and between paced blocks.
  std::function<void(DWORD milliseconds)> sleep;
  // Told of each piece of a download body as it is stored: bytes so far and
  // the expected total (0 when unknown). Unset: nobody is told.
  std::function<void(std::uint64_t received, std::uint64_t total)> progress;
};

// The process's transfer state.
TransferState& Transfer();
// Back to the initial values (tests).
void ResetTransferState();

// Pauses as the state says.
void TransferSleep(DWORD milliseconds);
void ReportProgress(std::uint64_t received, std::uint64_t total);

}  // namespace kv
