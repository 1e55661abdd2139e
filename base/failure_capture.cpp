#include "base/failure_capture.h"

namespace kv {
namespace {

// The innermost capture open on this thread.
thread_local FailureCapture* innermost = nullptr;

// The text with every run of white space made one blank, and none at the
// ends: log entries end in a newline and some begin with a tab.
std::string OneLine(std::string_view text) {
  std::string line;
  bool blank = false;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      blank = !line.empty();
      continue;
    }
    if (blank) line += ' ';
    blank = false;
    line += c;
  }
  return line;
}

}  // namespace

FailureCapture::FailureCapture() : outer_(innermost) { innermost = this; }

// Captures live on the stack of their thread, so they end innermost first.
FailureCapture::~FailureCapture() { innermost = outer_; }

std::string FailureCapture::Reasons() const {
  std::string joined;
  for (const std::string& reason : reasons_) {
    if (!joined.empty()) joined += "; ";
    joined += reason;
  }
  return joined;
}

Status FailureCapture::StatusOf(bool succeeded, std::string_view fallback, Status::Code code) const {
  if (succeeded) return Status::Ok();
  std::string reasons = Reasons();
  return Status::Failure(reasons.empty() ? std::string(fallback) : std::move(reasons), code);
}

bool FailureCapture::Active() { return innermost != nullptr; }

void FailureCapture::Capture(std::string_view text) {
  if (!innermost) return;
  std::string line = OneLine(text);
  if (line.empty()) return;
  for (FailureCapture* capture = innermost; capture; capture = capture->outer_) capture->reasons_.push_back(line);
}

}  // namespace kv
