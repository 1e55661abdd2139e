#include "progress_display.h"

namespace kv {
namespace {

// Work shorter than this shows no line at all.
constexpr auto kShowAfter = std::chrono::milliseconds(300);
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

}  // namespace

void ProgressDisplay::Show(const TableProgress& progress) {
  const auto now = Clock::now();
  const std::string work = std::string(progress.operation) + " " + progress.tableName;
  if (work != current_) {
    Clear();
    current_ = work;
    started_ = now;
  }
  if (progress.done >= progress.total) {
    Clear();
    current_.clear();
    return;
  }
  if (now - started_ < kShowAfter || (drawn_ && now - lastDrawn_ < kRedrawEvery)) return;
  lastDrawn_ = now;
  drawn_ = true;
  std::fprintf(terminal_, "\r\033[K%s: %lld of %lld rows", work.c_str(), static_cast<long long>(progress.done),
               static_cast<long long>(progress.total));
  std::fflush(terminal_);
}

void ProgressDisplay::Clear() {
  if (!drawn_) return;
  std::fprintf(terminal_, "\r\033[K");
  std::fflush(terminal_);
  drawn_ = false;
}

}  // namespace kv
