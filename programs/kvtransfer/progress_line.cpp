#include "progress_line.h"

#include <string>

namespace kv::cli {
namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(250);

}  // namespace

std::string SizeText(double bytes) {
  static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
  int unit = 0;
  while (bytes >= 1024 && unit < 4) {
    bytes /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
  return text;
}

void ProgressLine::Update(std::uint64_t received, std::uint64_t total) {
  const auto now = Clock::now();
  if (drawn_ && now - lastDrawn_ < kRedrawEvery && received != total) return;
  lastDrawn_ = now;
  drawn_ = true;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double rate = seconds > 0 ? static_cast<double>(received) / seconds : 0;
  const std::string of = total ? " / " + SizeText(static_cast<double>(total)) : std::string();
  std::fprintf(terminal_, "\r\033[K%s%s  %s/s", SizeText(static_cast<double>(received)).c_str(), of.c_str(),
               SizeText(rate).c_str());
  std::fflush(terminal_);
}

void ProgressLine::Finish() {
  if (!drawn_) return;
  std::fprintf(terminal_, "\r\033[K");
  std::fflush(terminal_);
  drawn_ = false;
}

}  // namespace kv::cli
