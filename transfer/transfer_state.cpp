#include "transfer/transfer_state.h"

#include "platform/system.h"

namespace kv {
namespace {

TransferState Initial() {
  TransferState state;
  state.sleep = [](DWORD ms) { Sleep(ms); };
  return state;
}

}  // namespace

TransferState& Transfer() {
  static TransferState state = Initial();
  return state;
}

void ResetTransferState() { Transfer() = Initial(); }

void TransferSleep(DWORD milliseconds) {
  if (Transfer().sleep) Transfer().sleep(milliseconds);
}

void ReportProgress(std::uint64_t received, std::uint64_t total) {
  if (Transfer().progress) Transfer().progress(received, total);
}

}  // namespace kv
