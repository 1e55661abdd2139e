#include "base/failure_capture.h"

#include <cstdarg>

#include "base/log_writer.h"
#include "platform/ascii.h"

namespace kv {
namespace {

// The innermost capture open on this thread.
thread_local FailureCapture* innermost = nullptr;

KV_PRINTF(1, 0) std::string LogFailureText(const char* format, std::va_list args) {
  std::string text = FormatV(format, args);
  LogError("%s", text.c_str());
  return ReasonLine(text);
}

}  // namespace

std::string ReasonLine(std::string_view text) {
  std::string line;
  bool blank = false;
  for (const char c : text) {
    if (ascii::IsWhiteSpace(c)) {
      blank = !line.empty();
      continue;
    }
    if (blank) line += ' ';
    blank = false;
    line += c;
  }
  return line;
}

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
  std::string line = ReasonLine(text);
  if (line.empty()) return;
  for (FailureCapture* capture = innermost; capture; capture = capture->outer_) capture->reasons_.push_back(line);
}

Status LogFailure(Status::Code code, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::string reason = LogFailureText(format, args);
  va_end(args);
  return Status::Failure(std::move(reason), code);
}

Status LogFailureAfter(const Status& inner, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::string reason = LogFailureText(format, args);
  va_end(args);
  if (!inner.ok() && !inner.message().empty()) return inner;
  return Status::Failure(std::move(reason), inner.ok() ? Status::Code::kFailed : inner.code());
}

}  // namespace kv
