#pragma once
// What a caller learns of a failure that an operation reports only with its
// result (the store's operations keep their bool and 1/0/99 answers): while
// a FailureCapture lives, every entry the calling thread logs at the ERROR
// level is also kept here, as one line, whether a log is open or not and at
// whatever level. Captures nest: an entry reaches every capture open on its
// thread, so an outer one sees what inner ones saw.

#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "base/text_format.h"

namespace kv {

class FailureCapture {
 public:
  FailureCapture();
  ~FailureCapture();
  FailureCapture(const FailureCapture&) = delete;
  FailureCapture& operator=(const FailureCapture&) = delete;

  // The reasons captured so far, in order, joined with "; "; empty when none.
  std::string Reasons() const;
  // Forgets what was captured so far.
  void Clear() { reasons_.clear(); }
  // Success when the operation succeeded; else a failure saying the reasons
  // captured, or fallback when the operation logged none.
  Status StatusOf(bool succeeded, std::string_view fallback, Status::Code code = Status::Code::kFailed) const;

  // Whether any capture is open on the calling thread (the log asks before
  // it formats an entry for them).
  static bool Active();
  // Hands an ERROR entry's text to every capture open on the calling thread.
  static void Capture(std::string_view text);

 private:
  std::vector<std::string> reasons_;
  FailureCapture* outer_;
};

// A failure logged as it is made: the ERROR entry is written exactly as the
// format says (so the log reads as it always has), and the Status carries
// the same text on one line.
Status LogFailure(Status::Code code, const char* format, ...) KV_PRINTF(2, 3);
// The same for a failure that follows an inner one: the entry is logged,
// and the Status keeps the inner reason, the cause a caller can act on (the
// log holds the whole chain); this one when the inner failure gave none.
Status LogFailureAfter(const Status& inner, const char* format, ...) KV_PRINTF(2, 3);

// A log entry's text as a reason: every run of white space one blank, none
// at the ends.
std::string ReasonLine(std::string_view text);

}  // namespace kv
